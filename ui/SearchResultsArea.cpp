#include "ui/SearchResultsArea.h"

SearchResultsArea::SearchResultsArea (Core& c, juce::Component& parent, juce::Component& label, std::function<void (const SearchResults::Row&)> chosen)
    : core (c),
      foundLabel (label),
      list (c),
      onChosen (std::move (chosen))
{
    list.setName ("searchResultsList");
    parent.addChildComponent (list);
    foundLabel.addMouseListener (this, false);

    list.onClose = [this]
    { close(); };
    list.onChosen = [this] (const SearchResults::Row& row)
    {
        close();

        if (onChosen != nullptr)
            onChosen (row);
    };

    core.addListener (this);
}

SearchResultsArea::~SearchResultsArea()
{
    core.removeListener (this);
    foundLabel.removeMouseListener (this);

    if (auto* parent = list.getParentComponent())
        parent->removeChildComponent (&list);
}

void SearchResultsArea::open()
{
    if (list.getResults().getNumRows() == 0)
        return;

    const auto wasOpen = isOpen();
    list.setVisible (true);
    list.toFront (true);

    if (! wasOpen && onOpenedOrClosed != nullptr)
        onOpenedOrClosed();
}

void SearchResultsArea::close()
{
    if (! isOpen())
        return;

    list.setVisible (false);

    if (onOpenedOrClosed != nullptr)
        onOpenedOrClosed();
}

void SearchResultsArea::mouseUp (const juce::MouseEvent&)
{
    open();
}

void SearchResultsArea::searchResultsChanged()
{
    list.setResults (SearchResults::collect (core));

    if (list.getResults().getNumRows() > 0)
        open();
    else
        close();
}
