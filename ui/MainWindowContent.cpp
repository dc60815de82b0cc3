#include "ui/MainWindowContent.h"

#include "app/SharedRes.h"
#include "playback/ProSlider.h"
#include "ui/kit/BackgroundPanel.h"
#include "ui/kit/CustomLookAndFeel2.h"
#include "ui/kit/ResizeBar.h"
#include "ui/kit/SearchTextEditorLookAndFeel.h"

const juce::StringArray MainWindowContent::rightHandPanels { "moviePanel",      "downloadPanel", "preferencesPanel",
                                                             "webPanel",        "imagePanel",    "messagePanel" };

namespace
{
juce::Drawable* skinDrawable (const char* key)
{
    return SharedRes::getInstance()->getDrawable (key);
}

BackgroundPanel* makePanel (const juce::String& name)
{
    auto* panel = new BackgroundPanel (name);
    panel->setFillColour (juce::Colour (CustomLookAndFeel2::panelColour));
    return panel;
}

juce::ImageButton* makeImageButton (const juce::String& name, const juce::String& picture, juce::Button::Listener& listener)
{
    auto* shared = SharedRes::getInstance();
    auto* button = new juce::ImageButton (name);
    button->setImages (false, true, true,
                       shared->getImage (picture + "-norm"), 1.0f, {},
                       {}, 1.0f, {},
                       shared->getImage (picture + "-down"), 1.0f, {});
    button->addListener (&listener);
    return button;
}

juce::DrawableButton* makeDrawableButton (const juce::String& name, const char* key, juce::Button::Listener& listener,
                                          juce::DrawableButton::ButtonStyle style = juce::DrawableButton::ImageFitted)
{
    auto* button = new juce::DrawableButton (name, style);
    button->setImages (skinDrawable (key));
    button->setColour (juce::DrawableButton::backgroundColourId, juce::Colours::transparentBlack);
    button->setColour (juce::DrawableButton::backgroundOnColourId, juce::Colours::transparentBlack);
    button->addListener (&listener);
    return button;
}

juce::Label* makeLabel (const juce::String& name, const juce::String& text, float boldHeight = 0.0f)
{
    auto* label = new juce::Label (name, text);

    if (boldHeight > 0.0f)
        label->setFont (juce::Font (SharedRes::getInstance()->getTypeface ("Lucida Grande Bold")).withHeight (boldHeight));

    return label;
}

juce::TextButton* makeTextButton (const juce::String& name, const juce::String& text, juce::Button::Listener& listener)
{
    auto* button = new juce::TextButton (name, {});
    button->setButtonText (text);
    button->addListener (&listener);
    return button;
}

juce::ComboBox* makeComboBox (const juce::String& name, const juce::StringArray& items, juce::ComboBox::Listener& listener)
{
    auto* combo = new juce::ComboBox (name);
    combo->setEditableText (false);

    for (int i = 0; i < items.size(); ++i)
        combo->addItem (items[i], i + 1);

    combo->addListener (&listener);
    return combo;
}

void buildPlaybackControls (qo::ComponentContainer& content, const MainWindowContent::Listeners& listeners)
{
    const juce::String panel ("bottomPanel/movieControlsPanel");

    content.addComponent (panel, makeDrawableButton ("minVolumeButton", "/vector/min-volume", listeners.buttons), true);

    auto* volume = new qo::ProSlider ("volumeSlider");
    volume->addListener (&listeners.sliders);
    content.addComponent (panel, volume, true);

    content.addComponent (panel, makeDrawableButton ("maxVolumeButton", "/vector/max-volume", listeners.buttons), true);

    // The play/pause and favourite pictures follow the movie's state.
    auto* playPause = new juce::ImageButton ("playPauseButton");
    playPause->addListener (&listeners.buttons);
    playPause->addShortcut (juce::KeyPress (juce::KeyPress::spaceKey));
    playPause->addShortcut (juce::KeyPress ('k'));

    auto* next = makeImageButton ("nextButton", "next", listeners.buttons);
    next->addShortcut (juce::KeyPress ('L', juce::ModifierKeys::shiftModifier, 'L'));
    auto* forward = makeImageButton ("forwardButton", "ffwd", listeners.buttons);
    forward->addShortcut (juce::KeyPress ('l'));
    auto* prev = makeImageButton ("prevButton", "prev", listeners.buttons);
    prev->addShortcut (juce::KeyPress ('J', juce::ModifierKeys::shiftModifier, 'J'));
    auto* back = makeImageButton ("backButton", "rwnd", listeners.buttons);
    back->addShortcut (juce::KeyPress ('j'));
    auto* marker = makeImageButton ("addMarkerButton", "marker", listeners.buttons);
    marker->addShortcut (juce::KeyPress ('m'));
    marker->addShortcut (juce::KeyPress ('+'));
    auto* originalSize = makeImageButton ("originalSizeButton", "originalsize", listeners.buttons);
    auto* favorite = new juce::ImageButton ("favoriteToggleButton");
    favorite->addListener (&listeners.buttons);

    for (auto* button : std::initializer_list<juce::Component*> { playPause, next, forward, prev, back, marker, originalSize, favorite })
        content.addComponent (panel, button, true);

    auto* position = new qo::ProSlider ("positionSlider");
    position->addListener (&listeners.sliders);
    content.addComponent (panel, position, true);

    auto* time = makeLabel ("timeLabel", {});
    time->setFont (juce::Font (SharedRes::getInstance()->getTypeface ("Lucida Grande Bold")).withHeight (12.0f));
    time->setColour (juce::Label::textColourId, juce::Colour (0xff333333));
    content.addComponent (panel, time, true);
}

void buildExtrasControls (qo::ComponentContainer& content, juce::Button::Listener& listener)
{
    const struct
    {
        const char* name;
        const char* key;
        int connectedEdges;
    } buttons[] = {
        { "coverButton", "/vector/cover-icon", juce::Button::ConnectedOnRight },
        { "creditsButton", "/vector/credits-icon", juce::Button::ConnectedOnLeft | juce::Button::ConnectedOnRight },
        { "partnersButton", "/vector/partners-icon", juce::Button::ConnectedOnLeft },
    };

    for (const auto& b : buttons)
    {
        auto* button = makeDrawableButton (b.name, b.key, listener, juce::DrawableButton::ImageOnButtonBackground);
        button->setColour (juce::TextButton::buttonColourId, juce::Colours::white);
        button->setColour (juce::TextButton::buttonOnColourId, juce::Colours::white);
        button->setEdgeIndent (5);
        button->setRadioGroupId (1);
        button->setClickingTogglesState (true);
        button->setConnectedEdges (b.connectedEdges);
        content.addComponent ("bottomPanel/extrasControlsPanel", button, true);
    }
}

void buildPreferencesControls (qo::ComponentContainer& content, const MainWindowContent::Listeners& listeners)
{
    const juce::String panel ("preferencesPanel");
    content.addComponent (panel, makeLabel ("languageSectionLabel", TRANS ("Language"), 18.0f), true);
    content.addComponent (panel, makeLabel ("coursesLanguageLabel", TRANS ("Tutorials language:")), true);
    content.addComponent (panel, makeComboBox ("coursesLanguageCombo", { TRANS ("Italian"), TRANS ("English") }, listeners.comboBoxes), true);
    content.addComponent (panel, makeLabel ("storageSectionLabel", TRANS ("Storage"), 18.0f), true);
    content.addComponent (panel, makeLabel ("moviesRootDirectoryLabel", TRANS ("Folder where to store video files:")), true);

    auto* chooser = new juce::FilenameComponent ("moviesRootDirectoryComponent", {}, false, true, true, {}, {}, {});
    chooser->addListener (&listeners.filenames);
    content.addComponent (panel, chooser, true);

    content.addComponent (panel, makeTextButton ("resetMoviesRootToDefaultButton", TRANS ("Reset to default location"), listeners.buttons), true);
    content.addComponent (panel, makeLabel ("backupSectionLabel", TRANS ("Backup"), 18.0f), true);
    content.addComponent (panel, makeTextButton ("backupButton", TRANS ("Tutorials backup"), listeners.buttons), true);
    content.addComponent (panel, makeTextButton ("restoreButton", TRANS ("Restore tutorials from backup"), listeners.buttons), true);
    content.addComponent (panel, makeLabel ("loggingSectionLabel", TRANS ("Monitoring"), 18.0f), true);
    content.addComponent (panel, makeLabel ("loggingLabel", TRANS ("Log operations to file:")), true);
    content.addComponent (panel, makeComboBox ("loggingCombo", { TRANS ("Enabled"), TRANS ("Disabled") }, listeners.comboBoxes), true);
}

void buildSearchControls (qo::ComponentContainer& content, const MainWindowContent::Listeners& listeners)
{
    const juce::String panel ("bottomPanel/searchPanel");

    auto* editor = new juce::TextEditor ("searchEditor");
    editor->setColour (juce::TextEditor::backgroundColourId, juce::Colours::transparentWhite);
    editor->setOpaque (false);

    if (auto* lookAndFeel = SharedRes::getInstance()->getObject<SearchTextEditorLookAndFeel> ("/searchEditor"))
        editor->setLookAndFeel (lookAndFeel);

    editor->setBorder ({ 4, 22, 1, 22 });
    editor->addListener (&listeners.textEditors);
    content.addComponent (panel, editor, true);

    content.addComponent (panel, makeDrawableButton ("clearSearchButton", "/vector/clear-search", listeners.buttons), true);

    auto* result = makeLabel ("searchResultLabel", {});
    result->setFont (juce::Font (13.0f));
    content.addComponent (panel, result, true);
}
} // namespace

void MainWindowContent::build (qo::ComponentContainer& content, const Listeners& listeners)
{
    content.addComponent ({}, new juce::Component ("leftPanel"), false);

    auto* tree = new juce::TreeView ("treeView");
    tree->getViewport()->getVerticalScrollBar().setAutoHide (false);
    content.addComponent ("leftPanel", tree, true);

    content.addComponent ({}, new ResizeBar (listeners.resizeTarget), false);
    content.addComponent ({}, makePanel ("moviePanel"), false);

    content.addComponent ({}, makePanel ("downloadPanel"), false);
    content.addComponent ("downloadPanel", makeTextButton ("clearCompletedDownloadsButton", TRANS ("Clear completed"), listeners.buttons), true);
    auto* viewport = new juce::Viewport ("downloadViewport");
    viewport->setScrollBarsShown (true, false);
    content.addComponent ("downloadPanel", viewport, true);

    content.addComponent ({}, makePanel ("preferencesPanel"), false);
    buildPreferencesControls (content, listeners);

    content.addComponent ({}, new juce::Component ("webPanel"), false);
    content.addComponent ({}, makePanel ("imagePanel"), false);
    content.addComponent ({}, makePanel ("messagePanel"), false);
    content.addComponent ("messagePanel", new juce::Label ("messageLabel", {}), true);

    content.addComponent ({}, new juce::Component ("bottomPanel"), true);
    auto* toggle = makeImageButton ("toggleLeftPanelButton", "toggletab", listeners.buttons);
    toggle->addShortcut (juce::KeyPress ('h'));
    toggle->setWantsKeyboardFocus (true);
    content.addComponent ("bottomPanel", toggle, true);

    content.addComponent ("bottomPanel", new juce::Component ("searchPanel"), false);
    buildSearchControls (content, listeners);

    content.addComponent ("bottomPanel", new juce::Component ("extrasControlsPanel"), false);
    buildExtrasControls (content, listeners.buttons);

    content.addComponent ("bottomPanel", new juce::Component ("movieControlsPanel"), false);
    buildPlaybackControls (content, listeners);
}
