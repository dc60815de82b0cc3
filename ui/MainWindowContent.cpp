#include "ui/MainWindowContent.h"

#include "app/SharedRes.h"
#include "kit/BackgroundPanel.h"
#include "kit/ComponentPaths.h"
#include "kit/CustomLookAndFeel2.h"
#include "kit/ResizeBar.h"

namespace
{
BackgroundPanel* makePanel()
{
    auto* panel = new BackgroundPanel ({});
    panel->setFillColour (juce::Colour (CustomLookAndFeel2::panelColour));
    return panel;
}

juce::ImageButton* makeImageButton (const juce::String& picture)
{
    auto* shared = SharedRes::getInstance();
    auto* button = new juce::ImageButton();
    button->setImages (false, true, true,
                       shared->getImage (picture + "-norm"), 1.0f, {},
                       {}, 1.0f, {},
                       shared->getImage (picture + "-down"), 1.0f, {});
    return button;
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

    content.attachComponentAt (downloadPanel, panels.downloads, false);

    content.attachComponentAt (preferencesPanel, panels.preferences, false);

    content.addComponentAt (webPanel, new juce::Component(), false);
    content.addComponentAt (webBrowser, browser, true);
    content.addComponentAt (imagePanel, makePanel(), false);
    content.addComponentAt (messagePanel, makePanel(), false);
    content.addComponentAt (messageLabel, new juce::Label(), true);

    content.addComponentAt (bottomPanel, new juce::Component(), true);
    auto* toggle = makeImageButton ("toggletab");
    toggle->addShortcut (juce::KeyPress ('h'));
    toggle->setWantsKeyboardFocus (true);
    content.addComponentAt (toggleLeftPanelButton, toggle, true);

    content.attachComponentAt (searchPanel, panels.search, false);

    content.attachComponentAt (extrasControlsPanel, panels.extras, false);

    content.attachComponentAt (movieControlsPanel, panels.movieControls, false);
}
