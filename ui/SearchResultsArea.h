#pragma once

#include "model/Core.h"
#include "search/SearchResultsList.h"

/**
    The results list in the window's right-hand area, over whichever panel shows there: it opens
    after each search with hits and when the "N found" label is clicked, and closes with
    Escape, the clear button (a search without words) or a chosen row.

    Message thread only; created after the search panel and deleted before it.
*/
class SearchResultsArea final : private juce::MouseListener,
                                private Core::Listener
{
public:
    /** An area in a parent component, reopened by clicks on a label; a chosen row goes to the
        function after the list closed.
    */
    SearchResultsArea (Core& core, juce::Component& parent, juce::Component& foundLabel, std::function<void (const SearchResults::Row&)> chosen);
    ~SearchResultsArea() override;

    /** Where the list lies when open. */
    void setBounds (juce::Rectangle<int> area) { list.setBounds (area); }

    void open();
    void close();
    bool isOpen() const noexcept { return list.isVisible(); }

    SearchResultsList& getList() noexcept { return list; }

    /** Called after the list opened or closed, so the window can lay out what it covers. */
    std::function<void()> onOpenedOrClosed;

private:
    void mouseUp (const juce::MouseEvent& event) override;
    void searchResultsChanged() override;
    void searchDatabaseChanged() override { list.transcriptsChanged(); }

    Core& core;
    juce::Component& foundLabel;
    SearchResultsList list;
    std::function<void (const SearchResults::Row&)> onChosen;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SearchResultsArea)
};
