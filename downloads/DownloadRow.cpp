#include "downloads/DownloadRow.h"

#include "app/SharedRes.h"

DownloadRow::DownloadRow()
{
    if (auto* stopPicture = SharedRes::getInstance()->getDrawable ("/vector/process-stop"))
        remove.setImages (stopPicture);

    remove.setColour (juce::DrawableButton::backgroundColourId, juce::Colours::transparentBlack);
    remove.setColour (juce::DrawableButton::backgroundOnColourId, juce::Colours::transparentBlack);

    // A click queued while the list was hidden or the row recycled does nothing.
    remove.onClick = [this]
    {
        if (remove.isShowing() && entry >= 0 && onRemove != nullptr)
            onRemove (entry);
    };

    addChildComponent (label);
    addChildComponent (bar);
    addChildComponent (remove);
}

DownloadRow::Bounds DownloadRow::getBounds (int listWidth, int scrollBarThickness)
{
    const auto v = listWidth - scrollBarThickness - 35;
    return { { 5, 10, v, 20 }, { 5, 35, v, 25 }, { v + 10, 35, 25, 25 } };
}

void DownloadRow::resized()
{
    auto* list = findParentComponentOfClass<juce::ListBox>();

    if (list == nullptr)
        return;

    const auto places = getBounds (list->getWidth(), list->getViewport()->getScrollBarThickness());
    label.setBounds (places.label);
    bar.setBounds (places.progress);
    remove.setBounds (places.remove);
}

void DownloadRow::show (int newEntry, const juce::String& title, const juce::String& barText, double newProgress)
{
    jassert (newEntry >= 0);
    entry = newEntry;

    const auto index = ";" + juce::String (entry);
    label.setName (labelName + index);
    bar.setName (progressName + index);
    remove.setName (removeName + index);

    label.setText (title, juce::dontSendNotification);
    bar.setTextToDisplay (barText);
    progress = newProgress;
    setControlsVisible (true);
}

void DownloadRow::clear()
{
    entry = -1;
    setControlsVisible (false);
}

void DownloadRow::setControlsVisible (bool shouldBeVisible)
{
    label.setVisible (shouldBeVisible);
    bar.setVisible (shouldBeVisible);
    remove.setVisible (shouldBeVisible);
}
