#include "downloads/DownloadPanel.h"

#include "app/Prompts.h"
#include "app/SharedRes.h"
#include "model/Core.h"

DownloadPanel::DownloadPanel (Core& c, qo::ComponentContainer& r, juce::Button::Listener& clicks) : core (c), rows (r)
{
    auto* stopPicture = SharedRes::getInstance()->getDrawable ("/vector/process-stop");

    for (int i = 0; i < numRows; ++i)
    {
        const auto index = ";" + juce::String (i);
        rows.addComponent ({}, new juce::Label (labelName + index), true);

        auto* progress = new juce::ProgressBar (progressValues[(size_t) i]);
        progress->setName (progressName + index);
        rows.addComponent ({}, progress, true);

        auto* remove = new juce::DrawableButton (removeName + index, juce::DrawableButton::ImageFitted);
        remove->setImages (stopPicture);
        remove->setColour (juce::DrawableButton::backgroundColourId, juce::Colours::transparentBlack);
        remove->setColour (juce::DrawableButton::backgroundOnColourId, juce::Colours::transparentBlack);
        remove->addListener (&clicks);
        rows.addComponent ({}, remove, true);

        barTexts.add ({});
    }
}

DownloadPanel::RowBounds DownloadPanel::getRowBounds (int row, int areaWidth, int scrollBarThickness)
{
    const auto v = areaWidth - scrollBarThickness - 35;
    const auto y = 5 + rowHeight * row;
    return { { 5, y + 5, v, 20 }, { 5, y + 30, v, 25 }, { v + 10, y + 30, 25, 25 } };
}

juce::Rectangle<int> DownloadPanel::getListBounds (int rowCount, int areaWidth, int scrollBarThickness)
{
    return { 0, 0, areaWidth - scrollBarThickness, 5 + rowHeight * rowCount };
}

void DownloadPanel::setBarText (juce::ProgressBar& bar, int row, const juce::String& text)
{
    barTexts.set (row, text);
    bar.setTextToDisplay (text);
}

juce::Component& DownloadPanel::rowComponent (const char* baseName, int row) const
{
    return *rows.getComponent (baseName + juce::String (";") + juce::String (row));
}

int DownloadPanel::getVisibleRows() const
{
    return juce::jmin (core.getDownloads().getDownloadCount(), numRows);
}

void DownloadPanel::update()
{
    const auto entries = getVisibleRows();
    const auto& queue = core.getDownloads();

    for (int i = 0; i < numRows; ++i)
    {
        auto& label = dynamic_cast<juce::Label&> (rowComponent (labelName, i));
        auto& progress = dynamic_cast<juce::ProgressBar&> (rowComponent (progressName, i));
        auto& remove = rowComponent (removeName, i);
        const auto shown = i < entries;

        label.setVisible (shown);
        progress.setVisible (shown);
        remove.setVisible (shown);

        if (! shown)
            continue;

        switch (queue.getDownloadState (i))
        {
            case DownloadState::Queued:
                progressValues[(size_t) i] = 0.0;
                setBarText (progress, i, TRANS ("Queued"));
                break;
            case DownloadState::Downloading:
                setBarText (progress, i, {});
                break;
            case DownloadState::Completed:
                progressValues[(size_t) i] = 1.0;
                setBarText (progress, i, TRANS ("Completed"));
                break;
            case DownloadState::Failed:
                progressValues[(size_t) i] = 1.0;
                setBarText (progress, i, TRANS ("Error"));
                break;
        }

        label.setText (queue.getDownloadTitle (i), juce::dontSendNotification);
    }
}

void DownloadPanel::progressChanged (const juce::String& chapterId)
{
    const auto& queue = core.getDownloads();
    const auto index = queue.findDownload (chapterId);

    if (juce::isPositiveAndBelow (index, numRows))
        progressValues[(size_t) index] = queue.getDownloadProgress (index);
}

void DownloadPanel::removeRow (int row)
{
    auto& queue = core.getDownloads();

    if (! juce::isPositiveAndBelow (row, queue.getDownloadCount()))
        return;

    const auto state = queue.getDownloadState (row);
    const auto finished = state == DownloadState::Completed || state == DownloadState::Failed;

    if (! finished
        && ! Prompts::get().askOkCancel (Prompts::Icon::info, {}, TRANS ("The download is not complete. Remove it anyway?"), TRANS ("Yes"), TRANS ("No")))
        return;

    queue.removeDownload (row);
}

void DownloadPanel::clearCompleted()
{
    core.getDownloads().removeFinishedDownloads();
}

bool DownloadPanel::startDownload (int course, const juce::String& chapterId, const juce::String& title)
{
    if (core.getDownloads().getDownloadCount() >= numRows)
    {
        Prompts::get().showMessage (Prompts::Icon::info,
                                    TRANS ("Download list full"),
                                    TRANS ("Wait for some downloads to complete, then clear the list to free the needed slots"),
                                    TRANS ("OK"));
        return false;
    }

    return core.getDownloads().addDownload (core.getCourseId (course), chapterId, title);
}

void DownloadPanel::layoutRows (int areaWidth, int scrollBarThickness)
{
    const auto entries = getVisibleRows();

    for (int i = 0; i < entries; ++i)
    {
        const auto row = getRowBounds (i, areaWidth, scrollBarThickness);
        rowComponent (labelName, i).setBounds (row.label);
        rowComponent (progressName, i).setBounds (row.progress);
        rowComponent (removeName, i).setBounds (row.remove);
    }

    rows.setBounds (getListBounds (entries, areaWidth, scrollBarThickness));
}
