#pragma once

#include "search/TranscriptLines.h"

#include <JuceHeader.h>

#include <functional>
#include <memory>
#include <optional>

/**
    The open chapter's transcript beside the video: its lines, each with its time at the left,
    wrapped to the pane's width; what the search passes over dimmed, the words of the last
    search highlighted, and the line being spoken marked and kept in view while playing. A click
    on a word plays from where a search hit on it would, a click elsewhere on a line from the
    line's first word.

    Only the rows in view are painted, so a long transcript scrolls as fast as a short one, and
    following playback costs a binary search per refresh.

    Message thread only.
*/
class TranscriptPane final : public juce::Component,
                             private juce::ListBoxModel
{
public:
    TranscriptPane();
    ~TranscriptPane() override;

    /** Shows a chapter's lines, or, without any, a message saying why. */
    void setTranscript (std::shared_ptr<const TranscriptLines> lines, const juce::String& messageWhenNone);

    /** The words whose matches are highlighted; none for no search. */
    void setSearchWords (const juce::StringArray& words);

    /** Follows playback: marks the line being spoken at a moment and scrolls it into view
        when it changed.
    */
    void setPosition (double seconds);

    /** Called with the moment to play from when a line or a word is clicked. */
    std::function<void (double seconds)> onSeek;

    /** The line marked as being spoken; -1 for none. */
    int getSpokenLine() const noexcept { return spokenLine; }

    /** The row that shows the start of a line; -1 for none. */
    int getFirstRowOfLine (int line) const;

    /** The list of wrapped rows. */
    juce::ListBox& getList() noexcept { return list; }

    /** The moment a click at a point of a row plays from; nullopt off the text. */
    std::optional<double> getSeekTimeAt (int row, juce::Point<int> positionInRow) const;

    void resized() override;
    void paint (juce::Graphics& g) override;

    /** The width of the time column. */
    static constexpr int timeColumnWidth = 56;

    /** The height of a row. */
    static constexpr int rowHeight = 22;

private:
    /** A wrapped row: a line's pieces from first up to but not including end. */
    struct Row
    {
        int line = 0;
        int firstPiece = 0;
        int endPiece = 0;
    };

    int getNumRows() override { return (int) rows.size(); }
    void paintListBoxItem (int row, juce::Graphics& g, int width, int height, bool selected) override;
    void listBoxItemClicked (int row, const juce::MouseEvent& event) override;

    void measurePieces();
    void wrapRows();
    bool isHighlighted (const TranscriptLines::Piece& piece) const;

    juce::ListBox list { "transcript", this };
    juce::Font font { 15.0f };
    std::shared_ptr<const TranscriptLines> lines;
    juce::String message;
    std::vector<std::string> stems;

    // Every piece's width, line by line, measured once per transcript; the rows are wrapped
    // from them whenever the width changes.
    std::vector<std::vector<float>> pieceWidths;
    std::vector<Row> rows;
    std::vector<int> firstRowOfLine;
    int wrappedWidth = -1;
    int spokenLine = -1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TranscriptPane)
};
