#pragma once

#include "search/BackgroundSearch.h"

namespace qo
{
class ComponentContainer;
}

/**
    The search field of the bottom bar: Return searches the words typed, the clear button
    clears the search, and the field and its result label always show the last search as Core
    remembers it (or the one under way). While no search database is open the field and the
    button are disabled and the empty field says that indexing is running.

    The components belong to the main window's tree; the window passes the field's Return, the
    button's click and the notifications "ec", "sc" and "cd" on to this class.

    Message thread only.
*/
class SearchPanel final
{
public:
    /** Drives the search components found in the window's tree. */
    SearchPanel (Core& core, qo::ComponentContainer& content);

    /** Return in the field: searches the words of its text. */
    void returnPressed();

    /** The clear button: clears the search, then the field. */
    void clearPressed();

    /** Enables the controls when a database is open and shows the last search: its words in the
        field and the number of hits, or that it is still running.
    */
    void refresh();

    /** The words of a field's text: the trimmed text split at every blank, newline, carriage
        return and tab, so that two separators in a row leave an empty word between them.
    */
    static juce::StringArray splitWords (const juce::String& text);

    /** The search that runs the queries away from the message thread. */
    BackgroundSearch& getSearch() noexcept { return search; }

    /** The colour of the hint the empty field shows while indexing. */
    static constexpr juce::uint32 hintColour = 0xff808080;

private:
    Core& core;
    juce::TextEditor& editor;
    juce::Button& clearButton;
    juce::Label& resultLabel;
    BackgroundSearch search;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SearchPanel)
};
