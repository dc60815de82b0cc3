#pragma once

#include <JuceHeader.h>

/**
    One row of the download list: the entry's title, a progress bar and a remove button. The
    list recycles its rows while it scrolls, so a row is told which entry it shows and renames
    its controls after it ("downloadLabel;7", "downloadProgress;7", "downloadRemove;7").

    Message thread only.
*/
class DownloadRow final : public juce::Component
{
public:
    DownloadRow();

    /** Called with the row's entry index when its remove button is clicked while showing. */
    std::function<void (int)> onRemove;

    /** The names of a row's controls, each followed by ";" and the entry's index. */
    static constexpr const char* labelName = "downloadLabel";
    static constexpr const char* progressName = "downloadProgress";
    static constexpr const char* removeName = "downloadRemove";

    /** The places of a row's label, progress bar and remove button. */
    struct Bounds
    {
        juce::Rectangle<int> label, progress, remove;
    };

    /** The places of the controls in a row of a list of the given width, which leaves room for
        its scroll bar whether it shows or not.
    */
    static Bounds getBounds (int listWidth, int scrollBarThickness);

    /** Shows an entry: its title, the fixed text of its bar (empty for a percentage) and its
        progress.
    */
    void show (int entry, const juce::String& title, const juce::String& barText, double progress);

    /** Shows nothing: a row past the end of the list keeps its place but hides its controls. */
    void clear();

    /** Moves the bar to a running download's progress. */
    void setProgress (double newProgress) noexcept { progress = newProgress; }

    /** The entry shown, or -1. */
    int getEntry() const noexcept { return entry; }

    juce::Label& getLabel() noexcept { return label; }
    juce::ProgressBar& getProgressBar() noexcept { return bar; }
    juce::Button& getRemoveButton() noexcept { return remove; }

    void resized() override;

private:
    void setControlsVisible (bool shouldBeVisible);

    int entry = -1;

    // The bar reads the value it shows on its own timer.
    double progress = 0.0;
    juce::Label label;
    juce::ProgressBar bar { progress };
    juce::DrawableButton remove { {}, juce::DrawableButton::ImageFitted };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DownloadRow)
};
