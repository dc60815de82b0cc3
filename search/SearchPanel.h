#pragma once

#include "search/BackgroundSearch.h"

/**
    The search field of the bottom bar: Return searches the words typed, the clear button
    clears the search, and the field and its result label always show the last search as Core
    remembers it (or the one under way). While no search database is open the field and the
    button are disabled and the empty field says that indexing is running.

    The panel ("searchPanel") owns the field ("searchEditor"), the clear button
    ("clearSearchButton") and the result label ("searchResultLabel") and lays them out; the
    window refreshes it when the search results or the search database change.

    Message thread only.
*/
class SearchPanel final : public juce::Component
{
public:
    /** Builds the controls, wired to the search; refresh() loads them. */
    explicit SearchPanel (Core& core);
    ~SearchPanel() override;

    /** Called after the clear button was used, so that the window can put the keyboard focus
        back where it keeps it.
    */
    std::function<void()> onControlUsed;

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

    /** The search field, for the window to give it the keyboard focus. */
    juce::TextEditor& getEditor() noexcept { return editor; }

    /** The label saying how many places were found. */
    juce::Label& getResultLabel() noexcept { return resultLabel; }

    /** The colour of the hint the empty field shows while indexing. */
    static constexpr juce::uint32 hintColour = 0xff808080;

    void resized() override;

private:
    Core& core;
    juce::TextEditor editor { "searchEditor" };
    juce::DrawableButton clearButton { "clearSearchButton", juce::DrawableButton::ImageFitted };
    juce::Label resultLabel { "searchResultLabel" };
    BackgroundSearch search;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SearchPanel)
};
