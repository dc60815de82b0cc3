#include "search/SearchResultsList.h"

#include "model/Core.h"

namespace
{
const juce::Colour background { 0xff1e1f22 };
const juce::Colour selectedBackground { 0xff2f4a6b };
const juce::Colour titleColour { 0xffe6e6e6 };
const juce::Colour detailColour { 0xffa8abb2 };
const juce::Colour matchColour { 0xff7bd88f };
} // namespace

SearchResultsList::SearchResultsList (const Core& c)
    : core (c),
      transcripts (c.getSearchDatabaseFile())
{
    list.setRowHeight (rowHeight);
    list.setColour (juce::ListBox::backgroundColourId, background);
    list.setMultipleSelectionEnabled (false);
    addAndMakeVisible (list);
    setWantsKeyboardFocus (true);
}

SearchResultsList::~SearchResultsList()
{
    list.setModel (nullptr);
}

void SearchResultsList::setResults (SearchResults newResults)
{
    jassert (juce::MessageManager::existsAndIsCurrentThread());
    results = std::move (newResults);
    list.updateContent();
    list.scrollToEnsureRowIsOnscreen (0);

    if (results.getNumRows() > 0)
        list.selectRow (0);
    else
        list.deselectAllRows();

    repaint();
}

void SearchResultsList::resized()
{
    list.setBounds (getLocalBounds());
}

bool SearchResultsList::keyPressed (const juce::KeyPress& key)
{
    if (key == juce::KeyPress::escapeKey)
    {
        if (onClose != nullptr)
            onClose();

        return true;
    }

    return list.keyPressed (key);
}

void SearchResultsList::paintListBoxItem (int row, juce::Graphics& g, int width, int height, bool selected)
{
    if (row < 0 || row >= results.getNumRows())
        return;

    g.fillAll (selected ? selectedBackground : background);
    g.setColour (background.brighter (0.15f));
    g.fillRect (0, height - 1, width, 1);

    const auto& hit = results.getRow (row);
    const auto top = juce::Rectangle<int> (8, 3, width - 16, height / 2 - 3);
    const auto time = SearchResults::formatTime (hit.seconds);
    const juce::Font titleFont (14.0f, juce::Font::bold);
    const auto timeWidth = (int) titleFont.getStringWidthFloat (time) + 8;

    g.setFont (titleFont);
    g.setColour (titleColour);
    g.drawText (results.getCourseText (core, row) + "  " + results.getChapterText (core, row), top.withTrimmedRight (timeWidth), juce::Justification::centredLeft, true);
    g.setColour (matchColour);
    g.drawText (time, top.withTrimmedLeft (top.getWidth() - timeWidth), juce::Justification::centredRight, false);

    juce::AttributedString context;
    context.setWordWrap (juce::AttributedString::none);
    context.setJustification (juce::Justification::centredLeft);

    for (const auto& span : results.getContext (transcripts, row))
        context.append (span.text, span.highlighted ? juce::Font (13.5f, juce::Font::bold) : juce::Font (13.5f), span.highlighted ? matchColour : detailColour);

    context.draw (g, juce::Rectangle<int> (8, height / 2, width - 16, height / 2 - 3).toFloat());
}

void SearchResultsList::listBoxItemClicked (int row, const juce::MouseEvent&)
{
    choose (row);
}

void SearchResultsList::returnKeyPressed (int row)
{
    choose (row);
}

void SearchResultsList::choose (int row)
{
    if (row >= 0 && row < results.getNumRows() && onChosen != nullptr)
        onChosen (results.getRow (row));
}
