#pragma once

#include <JuceHeader.h>

/**
    The paths of the main window's components: names joined with "/" from the window's content
    container. The main window builds its tree from these, lays it out by them and finds every
    control through them, and so do the panels and the tests; nowhere else is a path spelt out.

    A path's last name is the component's own name, the one the window dispatches clicks on.
*/
namespace ComponentPaths
{
inline constexpr const char* leftPanel = "leftPanel";
inline constexpr const char* treeView = "leftPanel/treeView";
inline constexpr const char* resizeBar = "resizeBar";

// The panels of the right-hand area, each shown alone.
inline constexpr const char* moviePanel = "moviePanel";
inline constexpr const char* movieComponent = "moviePanel/";
inline constexpr const char* transcriptPane = "moviePanel/transcriptPane";
inline constexpr const char* downloadPanel = "downloadPanel";
inline constexpr const char* clearCompletedDownloadsButton = "downloadPanel/clearCompletedDownloadsButton";
inline constexpr const char* downloadViewport = "downloadPanel/downloadViewport";
inline constexpr const char* preferencesPanel = "preferencesPanel";
inline constexpr const char* webPanel = "webPanel";
inline constexpr const char* webBrowser = "webPanel/";
inline constexpr const char* imagePanel = "imagePanel";
inline constexpr const char* messagePanel = "messagePanel";
inline constexpr const char* messageLabel = "messagePanel/messageLabel";

// The preferences panel.
inline constexpr const char* languageSectionLabel = "preferencesPanel/languageSectionLabel";
inline constexpr const char* coursesLanguageLabel = "preferencesPanel/coursesLanguageLabel";
inline constexpr const char* coursesLanguageCombo = "preferencesPanel/coursesLanguageCombo";
inline constexpr const char* storageSectionLabel = "preferencesPanel/storageSectionLabel";
inline constexpr const char* moviesRootDirectoryLabel = "preferencesPanel/moviesRootDirectoryLabel";
inline constexpr const char* moviesRootDirectoryComponent = "preferencesPanel/moviesRootDirectoryComponent";
inline constexpr const char* resetMoviesRootToDefaultButton = "preferencesPanel/resetMoviesRootToDefaultButton";
inline constexpr const char* backupSectionLabel = "preferencesPanel/backupSectionLabel";
inline constexpr const char* backupButton = "preferencesPanel/backupButton";
inline constexpr const char* restoreButton = "preferencesPanel/restoreButton";
inline constexpr const char* loggingSectionLabel = "preferencesPanel/loggingSectionLabel";
inline constexpr const char* loggingLabel = "preferencesPanel/loggingLabel";
inline constexpr const char* loggingCombo = "preferencesPanel/loggingCombo";

// The bottom bar.
inline constexpr const char* bottomPanel = "bottomPanel";
inline constexpr const char* toggleLeftPanelButton = "bottomPanel/toggleLeftPanelButton";
inline constexpr const char* searchPanel = "bottomPanel/searchPanel";
inline constexpr const char* searchEditor = "bottomPanel/searchPanel/searchEditor";
inline constexpr const char* clearSearchButton = "bottomPanel/searchPanel/clearSearchButton";
inline constexpr const char* searchResultLabel = "bottomPanel/searchPanel/searchResultLabel";
inline constexpr const char* extrasControlsPanel = "bottomPanel/extrasControlsPanel";
inline constexpr const char* coverButton = "bottomPanel/extrasControlsPanel/coverButton";
inline constexpr const char* creditsButton = "bottomPanel/extrasControlsPanel/creditsButton";
inline constexpr const char* partnersButton = "bottomPanel/extrasControlsPanel/partnersButton";
inline constexpr const char* movieControlsPanel = "bottomPanel/movieControlsPanel";
inline constexpr const char* minVolumeButton = "bottomPanel/movieControlsPanel/minVolumeButton";
inline constexpr const char* volumeSlider = "bottomPanel/movieControlsPanel/volumeSlider";
inline constexpr const char* maxVolumeButton = "bottomPanel/movieControlsPanel/maxVolumeButton";
inline constexpr const char* playPauseButton = "bottomPanel/movieControlsPanel/playPauseButton";
inline constexpr const char* nextButton = "bottomPanel/movieControlsPanel/nextButton";
inline constexpr const char* forwardButton = "bottomPanel/movieControlsPanel/forwardButton";
inline constexpr const char* prevButton = "bottomPanel/movieControlsPanel/prevButton";
inline constexpr const char* backButton = "bottomPanel/movieControlsPanel/backButton";
inline constexpr const char* addMarkerButton = "bottomPanel/movieControlsPanel/addMarkerButton";
inline constexpr const char* originalSizeButton = "bottomPanel/movieControlsPanel/originalSizeButton";
inline constexpr const char* favoriteToggleButton = "bottomPanel/movieControlsPanel/favoriteToggleButton";
inline constexpr const char* positionSlider = "bottomPanel/movieControlsPanel/positionSlider";
inline constexpr const char* timeLabel = "bottomPanel/movieControlsPanel/timeLabel";
inline constexpr const char* speedButton = "bottomPanel/movieControlsPanel/speedButton";

/** The panels of the right-hand area, in the order the window builds them. */
inline const juce::StringArray rightHandPanels { moviePanel, downloadPanel, preferencesPanel, webPanel, imagePanel, messagePanel };
} // namespace ComponentPaths
