#include "downloads/DownloadPanel.h"

#include "app/Prompts.h"
#include "model/Core.h"
#include "ui/MainWindowLayout.h"

DownloadPanel::DownloadPanel (Core& c, qo::ComponentContainer& r, double* values) : core (c), rows (r), progressValues (values)
{
    for (int i = 0; i < numRows; ++i)
        barTexts.add ({});
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
    return juce::jmin (core.getDownloadCount(), numRows);
}

void DownloadPanel::update()
{
    const auto entries = getVisibleRows();

    for (int i = 0; i < numRows; ++i)
    {
        auto& label = dynamic_cast<juce::Label&> (rowComponent ("downloadLabel", i));
        auto& progress = dynamic_cast<juce::ProgressBar&> (rowComponent ("downloadProgress", i));
        auto& remove = rowComponent ("downloadRemove", i);
        const auto shown = i < entries;

        label.setVisible (shown);
        progress.setVisible (shown);
        remove.setVisible (shown);

        if (! shown)
            continue;

        switch (core.getDownloadState (i))
        {
            case DownloadState::Queued:
                progressValues[i] = 0.0;
                setBarText (progress, i, TRANS ("Queued"));
                break;
            case DownloadState::Downloading:
                setBarText (progress, i, {});
                break;
            case DownloadState::Completed:
                progressValues[i] = 1.0;
                setBarText (progress, i, TRANS ("Completed"));
                break;
            case DownloadState::Failed:
                progressValues[i] = 1.0;
                setBarText (progress, i, TRANS ("Error"));
                break;
        }

        label.setText (core.getDownloadTitle (i), juce::dontSendNotification);
    }
}

void DownloadPanel::progressChanged (const juce::String& chapterId)
{
    const auto index = core.findDownload (chapterId);

    if (juce::isPositiveAndBelow (index, numRows))
        progressValues[index] = core.getDownloadProgress (index);
}

void DownloadPanel::removeRow (int row)
{
    if (! juce::isPositiveAndBelow (row, core.getDownloadCount()))
        return;

    const auto state = core.getDownloadState (row);
    const auto finished = state == DownloadState::Completed || state == DownloadState::Failed;

    if (! finished
        && ! Prompts::get().askOkCancel (Prompts::Icon::info, {}, TRANS ("The download is not complete. Remove it anyway?"), TRANS ("Yes"), TRANS ("No")))
        return;

    core.removeDownload (row);
}

void DownloadPanel::clearCompleted()
{
    core.removeFinishedDownloads();
}

bool DownloadPanel::startDownload (int course, const juce::String& chapterId, const juce::String& title)
{
    if (core.getDownloadCount() >= numRows)
    {
        Prompts::get().showMessage (Prompts::Icon::info,
                                    TRANS ("Download list full"),
                                    TRANS ("Wait for some downloads to complete, then clear the list to free the needed slots"),
                                    TRANS ("OK"));
        return false;
    }

    return core.addDownload (core.getCourseId (course), chapterId, title);
}

void DownloadPanel::layoutRows (int areaWidth, int scrollBarThickness)
{
    const auto entries = getVisibleRows();

    for (int i = 0; i < entries; ++i)
    {
        const auto row = MainWindowLayout::getDownloadRow (i, areaWidth, scrollBarThickness);
        rowComponent ("downloadLabel", i).setBounds (row.label);
        rowComponent ("downloadProgress", i).setBounds (row.progress);
        rowComponent ("downloadRemove", i).setBounds (row.remove);
    }

    rows.setBounds (MainWindowLayout::getDownloadListBounds (entries, areaWidth, scrollBarThickness));
}
