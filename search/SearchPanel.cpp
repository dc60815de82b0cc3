#include "search/SearchPanel.h"

#include "app/SharedRes.h"
#include "kit/SearchTextEditorLookAndFeel.h"

SearchPanel::SearchPanel (Core& c) : juce::Component ("searchPanel"), core (c), search (c)
{
    auto* skin = SharedRes::getInstance();

    editor.setColour (juce::TextEditor::backgroundColourId, juce::Colours::transparentWhite);
    editor.setOpaque (false);

    if (auto* fieldLook = skin->getObject<SearchTextEditorLookAndFeel> ("/searchEditor"))
        editor.setLookAndFeel (fieldLook);

    editor.setBorder ({ 4, 22, 1, 22 });
    editor.onReturnKey = [this] { returnPressed(); };

    if (auto* cross = skin->getDrawable ("/vector/clear-search"))
        clearButton.setImages (cross);

    clearButton.setColour (juce::DrawableButton::backgroundColourId, juce::Colours::transparentBlack);
    clearButton.setColour (juce::DrawableButton::backgroundOnColourId, juce::Colours::transparentBlack);

    // A click queued while the bar was hidden does nothing.
    clearButton.onClick = [this]
    {
        if (! clearButton.isShowing())
            return;

        clearPressed();

        if (onControlUsed != nullptr)
            onControlUsed();
    };

    resultLabel.setFont (juce::Font (13.0f));

    // The clear button lies over the field's right end.
    addAndMakeVisible (editor);
    addAndMakeVisible (clearButton);
    addAndMakeVisible (resultLabel);
}

SearchPanel::~SearchPanel()
{
    editor.setLookAndFeel (nullptr);
}

void SearchPanel::resized()
{
    editor.setBounds (0, 16, 150, 22);
    clearButton.setBounds (128, 16, 22, 22);
    resultLabel.setBounds (150, 16, 70, 22);
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
