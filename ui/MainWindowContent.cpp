#include "ui/MainWindowContent.h"

#include "app/SharedRes.h"
#include "playback/ProSlider.h"
#include "playback/VideoComponent.h"
#include "playback/SpeedButton.h"
#include "ui/kit/BackgroundPanel.h"
#include "ui/kit/ComponentPaths.h"
#include "ui/kit/CustomLookAndFeel2.h"
#include "ui/kit/ResizeBar.h"
#include "ui/kit/SearchTextEditorLookAndFeel.h"

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

juce::Label* makeLabel (const juce::String& text, float boldHeight = 0.0f)
{
    auto* label = new juce::Label ({}, text);

    if (boldHeight > 0.0f)
        label->setFont (juce::Font (SharedRes::getInstance()->getTypeface ("Lucida Grande Bold")).withHeight (boldHeight));

    return label;
}

juce::TextButton* makeTextButton (const juce::String& text, juce::Button::Listener& listener)
{
    auto* button = new juce::TextButton();
    button->setButtonText (text);
    button->addListener (&listener);
    return button;
}

juce::ComboBox* makeComboBox (const juce::StringArray& items, juce::ComboBox::Listener& listener)
{
    auto* combo = new juce::ComboBox();
    combo->setEditableText (false);

    for (int i = 0; i < items.size(); ++i)
        combo->addItem (items[i], i + 1);

    combo->addListener (&listener);
    return combo;
}

void buildPlaybackControls (qo::ComponentContainer& content, const MainWindowContent::Listeners& listeners)
{
    using namespace ComponentPaths;
    content.addComponentAt (minVolumeButton, makeDrawableButton ("/vector/min-volume", listeners.buttons), true);

    auto* volume = new qo::ProSlider ({});
    volume->addListener (&listeners.sliders);
    content.addComponentAt (volumeSlider, volume, true);

    content.addComponentAt (maxVolumeButton, makeDrawableButton ("/vector/max-volume", listeners.buttons), true);

    // The play/pause and favourite pictures follow the movie's state.
    auto* playPause = new juce::ImageButton();
    playPause->addListener (&listeners.buttons);
    playPause->addShortcut (juce::KeyPress (juce::KeyPress::spaceKey));
    playPause->addShortcut (juce::KeyPress ('k'));
    content.addComponentAt (playPauseButton, playPause, true);

    auto* next = makeImageButton ("next", listeners.buttons);
    next->addShortcut (juce::KeyPress ('L', juce::ModifierKeys::shiftModifier, 'L'));
    content.addComponentAt (nextButton, next, true);

    auto* forward = makeImageButton ("ffwd", listeners.buttons);
    forward->addShortcut (juce::KeyPress ('l'));
    content.addComponentAt (forwardButton, forward, true);

    auto* prev = makeImageButton ("prev", listeners.buttons);
    prev->addShortcut (juce::KeyPress ('J', juce::ModifierKeys::shiftModifier, 'J'));
    content.addComponentAt (prevButton, prev, true);

    auto* back = makeImageButton ("rwnd", listeners.buttons);
    back->addShortcut (juce::KeyPress ('j'));
    content.addComponentAt (backButton, back, true);

    auto* marker = makeImageButton ("marker", listeners.buttons);
    marker->addShortcut (juce::KeyPress ('m'));
    content.addComponentAt (addMarkerButton, marker, true);

    content.addComponentAt (originalSizeButton, makeImageButton ("originalsize", listeners.buttons), true);

    auto* favorite = new juce::ImageButton();
    favorite->addListener (&listeners.buttons);
    content.addComponentAt (favoriteToggleButton, favorite, true);

    auto* position = new qo::ProSlider ({});
    position->addListener (&listeners.sliders);
    content.addComponentAt (positionSlider, position, true);

    auto* time = new juce::Label();
    time->setFont (juce::Font (SharedRes::getInstance()->getTypeface ("Lucida Grande Bold")).withHeight (12.0f));
    time->setColour (juce::Label::textColourId, juce::Colour (0xff333333));
    content.addComponentAt (timeLabel, time, true);
    content.addComponentAt (speedButton, new SpeedButton(), true);
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

void buildPreferencesControls (qo::ComponentContainer& content, const MainWindowContent::Listeners& listeners)
{
    using namespace ComponentPaths;
    content.addComponentAt (languageSectionLabel, makeLabel (TRANS ("Language"), 18.0f), true);
    content.addComponentAt (coursesLanguageLabel, makeLabel (TRANS ("Tutorials language:")), true);
    content.addComponentAt (coursesLanguageCombo, makeComboBox ({ TRANS ("Italian"), TRANS ("English") }, listeners.comboBoxes), true);
    content.addComponentAt (storageSectionLabel, makeLabel (TRANS ("Storage"), 18.0f), true);
    content.addComponentAt (moviesRootDirectoryLabel, makeLabel (TRANS ("Folder where to store video files:")), true);

    auto* chooser = new juce::FilenameComponent ({}, {}, false, true, true, {}, {}, {});
    chooser->addListener (&listeners.filenames);
    content.addComponentAt (moviesRootDirectoryComponent, chooser, true);

    content.addComponentAt (resetMoviesRootToDefaultButton, makeTextButton (TRANS ("Reset to default location"), listeners.buttons), true);
    content.addComponentAt (backupSectionLabel, makeLabel (TRANS ("Backup"), 18.0f), true);
    content.addComponentAt (backupButton, makeTextButton (TRANS ("Tutorials backup"), listeners.buttons), true);
    content.addComponentAt (restoreButton, makeTextButton (TRANS ("Restore tutorials from backup"), listeners.buttons), true);
    content.addComponentAt (loggingSectionLabel, makeLabel (TRANS ("Monitoring"), 18.0f), true);
    content.addComponentAt (loggingLabel, makeLabel (TRANS ("Log operations to file:")), true);
    content.addComponentAt (loggingCombo, makeComboBox ({ TRANS ("Enabled"), TRANS ("Disabled") }, listeners.comboBoxes), true);
}

void buildSearchControls (qo::ComponentContainer& content, const MainWindowContent::Listeners& listeners)
{
    auto* editor = new juce::TextEditor();
    editor->setColour (juce::TextEditor::backgroundColourId, juce::Colours::transparentWhite);
    editor->setOpaque (false);

    if (auto* lookAndFeel = SharedRes::getInstance()->getObject<SearchTextEditorLookAndFeel> ("/searchEditor"))
        editor->setLookAndFeel (lookAndFeel);

    editor->setBorder ({ 4, 22, 1, 22 });
    editor->addListener (&listeners.textEditors);
    content.addComponentAt (ComponentPaths::searchEditor, editor, true);

    content.addComponentAt (ComponentPaths::clearSearchButton, makeDrawableButton ("/vector/clear-search", listeners.buttons), true);

    auto* result = new juce::Label();
    result->setFont (juce::Font (13.0f));
    content.addComponentAt (ComponentPaths::searchResultLabel, result, true);
}
} // namespace

void MainWindowContent::build (qo::ComponentContainer& content, const Listeners& listeners, juce::Component* browser)
{
    using namespace ComponentPaths;
    content.addComponentAt (leftPanel, new juce::Component(), false);

    auto* tree = new juce::TreeView();
    tree->getViewport()->getVerticalScrollBar().setAutoHide (false);
    content.addComponentAt (treeView, tree, true);

    content.addComponentAt (resizeBar, new ResizeBar (listeners.resizeTarget), false);
    content.addComponentAt (moviePanel, makePanel(), false);
    content.addComponentAt (movieComponent, new VideoComponent(), true);

    content.addComponentAt (downloadPanel, makePanel(), false);
    content.addComponentAt (clearCompletedDownloadsButton, makeTextButton (TRANS ("Clear completed"), listeners.buttons), true);
    auto* viewport = new juce::Viewport();
    viewport->setScrollBarsShown (true, false);
    content.addComponentAt (downloadViewport, viewport, true);

    content.addComponentAt (preferencesPanel, makePanel(), false);
    buildPreferencesControls (content, listeners);

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

    content.addComponentAt (searchPanel, new juce::Component(), false);
    buildSearchControls (content, listeners);

    content.addComponentAt (extrasControlsPanel, new juce::Component(), false);
    buildExtrasControls (content, listeners.buttons);

    content.addComponentAt (movieControlsPanel, new juce::Component(), false);
    buildPlaybackControls (content, listeners);
}
