#include "ui/MainWindowContent.h"

#include "app/SharedRes.h"
#include "ui/kit/BackgroundPanel.h"
#include "ui/kit/ComponentPaths.h"
#include "ui/kit/CustomLookAndFeel2.h"
#include "ui/kit/ResizeBar.h"

namespace
{
juce::Drawable* skinDrawable (const char* key)
{
    return SharedRes::getInstance()->getDrawable (key);
}

BackgroundPanel* makePanel()
{
    auto* panel = new BackgroundPanel ({});
    panel->setFillColour (juce::Colour (CustomLookAndFeel2::panelColour));
    return panel;
}

juce::ImageButton* makeImageButton (const juce::String& picture, juce::Button::Listener& listener)
{
    auto* shared = SharedRes::getInstance();
    auto* button = new juce::ImageButton();
    button->setImages (false, true, true,
                       shared->getImage (picture + "-norm"), 1.0f, {},
                       {}, 1.0f, {},
                       shared->getImage (picture + "-down"), 1.0f, {});
    button->addListener (&listener);
    return button;
}

juce::DrawableButton* makeDrawableButton (const char* key, juce::Button::Listener& listener,
                                          juce::DrawableButton::ButtonStyle style = juce::DrawableButton::ImageFitted)
{
    auto* button = new juce::DrawableButton ({}, style);
    button->setImages (skinDrawable (key));
    button->setColour (juce::DrawableButton::backgroundColourId, juce::Colours::transparentBlack);
    button->setColour (juce::DrawableButton::backgroundOnColourId, juce::Colours::transparentBlack);
    button->addListener (&listener);
    return button;
}

juce::TextButton* makeTextButton (const juce::String& text, juce::Button::Listener& listener)
{
    auto* button = new juce::TextButton();
    button->setButtonText (text);
    button->addListener (&listener);
    return button;
}

void buildExtrasControls (qo::ComponentContainer& content, juce::Button::Listener& listener)
{
    const struct
    {
        const char* path;
        const char* key;
        int connectedEdges;
    } buttons[] = {
        { ComponentPaths::coverButton, "/vector/cover-icon", juce::Button::ConnectedOnRight },
        { ComponentPaths::creditsButton, "/vector/credits-icon", juce::Button::ConnectedOnLeft | juce::Button::ConnectedOnRight },
        { ComponentPaths::partnersButton, "/vector/partners-icon", juce::Button::ConnectedOnLeft },
    };

    for (const auto& b : buttons)
    {
        auto* button = makeDrawableButton (b.key, listener, juce::DrawableButton::ImageOnButtonBackground);
        button->setColour (juce::TextButton::buttonColourId, juce::Colours::white);
        button->setColour (juce::TextButton::buttonOnColourId, juce::Colours::white);
        button->setEdgeIndent (5);
        button->setRadioGroupId (1);
        button->setClickingTogglesState (true);
        button->setConnectedEdges (b.connectedEdges);
        content.addComponentAt (b.path, button, true);
    }
}

} // namespace

void MainWindowContent::build (qo::ComponentContainer& content, const Listeners& listeners, const Panels& panels, juce::Component* browser)
{
    using namespace ComponentPaths;
    content.addComponentAt (leftPanel, new juce::Component(), false);

    auto* tree = new juce::TreeView();
    tree->getViewport()->getVerticalScrollBar().setAutoHide (false);
    content.addComponentAt (treeView, tree, true);

    content.addComponentAt (resizeBar, new ResizeBar (listeners.resizeTarget), false);
    content.addComponentAt (moviePanel, makePanel(), false);
    content.attachComponentAt (movieComponent, panels.video, true);

    content.addComponentAt (downloadPanel, makePanel(), false);
    content.addComponentAt (clearCompletedDownloadsButton, makeTextButton (TRANS ("Clear completed"), listeners.buttons), true);
    auto* viewport = new juce::Viewport();
    viewport->setScrollBarsShown (true, false);
    content.addComponentAt (downloadViewport, viewport, true);

    content.attachComponentAt (preferencesPanel, panels.preferences, false);

    content.addComponentAt (webPanel, new juce::Component(), false);
    content.addComponentAt (webBrowser, browser, true);
    content.addComponentAt (imagePanel, makePanel(), false);
    content.addComponentAt (messagePanel, makePanel(), false);
    content.addComponentAt (messageLabel, new juce::Label(), true);

    content.addComponentAt (bottomPanel, new juce::Component(), true);
    auto* toggle = makeImageButton ("toggletab", listeners.buttons);
    toggle->addShortcut (juce::KeyPress ('h'));
    toggle->setWantsKeyboardFocus (true);
    content.addComponentAt (toggleLeftPanelButton, toggle, true);

    content.attachComponentAt (searchPanel, panels.search, false);

    content.addComponentAt (extrasControlsPanel, new juce::Component(), false);
    buildExtrasControls (content, listeners.buttons);

    content.attachComponentAt (movieControlsPanel, panels.movieControls, false);
}
