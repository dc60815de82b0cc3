#pragma once

#include "search/SearchResults.h"
#include "search/TranscriptCache.h"

#include <JuceHeader.h>

#include <functional>

class Core;

/**
    The hits of the last search as a list: each row gives the course, "lesson.chapter - title"
    and the time, and below them the words said there with the searched ones in bold (a marker's
    label for a marker's hit). Up, Down and Return choose a row, as does a click; Escape closes
    the list.

    The rows' texts are read only for the rows painted, so the first rows show at once and
    scrolling costs the same for ten hits or a hundred thousand.

    Message thread only.
*/
class SearchResultsList final : public juce::Component,
                                private juce::ListBoxModel
{
public:
    /** A list reading titles from Core and transcripts from beside its search database. */
    explicit SearchResultsList (const Core& core);
    ~SearchResultsList() override;

    /** Shows a new list, the first row selected. */
    void setResults (SearchResults newResults);

    const SearchResults& getResults() const noexcept { return results; }

    /** Called with a row that was chosen (Return or a click). */
    std::function<void (const SearchResults::Row&)> onChosen;

    /** Called when Escape asks to close the list. */
    std::function<void()> onClose;

    /** The list's rows. */
    juce::ListBox& getList() noexcept { return list; }

    /** Forgets the transcripts read so far, after the kept file was replaced. */
    void transcriptsChanged() { transcripts.clear(); }

    void resized() override;
    bool keyPressed (const juce::KeyPress& key) override;

    /** The height of a row. */
    static constexpr int rowHeight = 46;

private:
    int getNumRows() override { return results.getNumRows(); }
    void paintListBoxItem (int row, juce::Graphics& g, int width, int height, bool selected) override;
    void listBoxItemClicked (int row, const juce::MouseEvent&) override;
    void returnKeyPressed (int row) override;

    void choose (int row);

    const Core& core;
    TranscriptCache transcripts;
    SearchResults results;
    juce::ListBox list { "searchResults", this };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SearchResultsList)
};
