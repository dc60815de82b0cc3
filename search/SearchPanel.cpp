#include "search/SearchPanel.h"

#include "ui/kit/ComponentContainer.h"
#include "ui/kit/ComponentPaths.h"

SearchPanel::SearchPanel (Core& c, qo::ComponentContainer& content)
    : core (c),
      editor (*content.getRequired<juce::TextEditor> (ComponentPaths::searchEditor)),
      clearButton (*content.getRequired<juce::Button> (ComponentPaths::clearSearchButton)),
      resultLabel (*content.getRequired<juce::Label> (ComponentPaths::searchResultLabel)),
      search (c)
{
}

juce::StringArray SearchPanel::splitWords (const juce::String& text)
{
    juce::StringArray words;
    words.addTokens (text.trim(), " \n\r\t", {});
    return words;
}

void SearchPanel::returnPressed()
{
    search.start (splitWords (editor.getText()));
    refresh();
}

void SearchPanel::clearPressed()
{
    search.start ({});
    editor.setText ({}, false);
}

void SearchPanel::refresh()
{
    const auto open = core.isSearchDatabaseOpen();
    clearButton.setEnabled (open);
    editor.setEnabled (open);
    editor.setTextToShowWhenEmpty (open ? juce::String() : TRANS ("     Indexing..."), juce::Colour (hintColour));

    const auto running = search.isRunning();
    const auto words = running ? search.getRunningWords() : core.getSearchWords();

    if (words.isEmpty())
    {
        editor.setText ({}, false);
        resultLabel.setText ({}, juce::dontSendNotification);
        return;
    }

    editor.setText (words.joinIntoString (" "), false);
    resultLabel.setText (running ? TRANS ("Searching...") : juce::String (core.getTotalSearchHits()) + TRANS (" found"), juce::dontSendNotification);
}
