#include "downloads/DownloadPanel.h"

#include "app/Prompts.h"
#include "kit/CustomLookAndFeel2.h"

DownloadPanel::DownloadPanel (Core& c) : BackgroundPanel ("downloadPanel"), core (c)
{
    setFillColour (juce::Colour (CustomLookAndFeel2::panelColour));
    for (int i = 0; i < numRows; ++i)
        barTexts.add ({});

    list.setRowHeight (rowHeight);
    list.setColour (juce::ListBox::backgroundColourId, juce::Colours::transparentBlack);
    list.setWantsKeyboardFocus (false);
    list.getViewport()->setScrollBarsShown (true, false);

    clearButton.setButtonText (TRANS ("Clear completed"));
    clearButton.onClick = [this]
    {
        if (! clearButton.isShowing())
            return;

        clearCompleted();
        controlUsed();
    };

    addAndMakeVisible (list);
    addAndMakeVisible (clearButton);

    core.addListener (this);
    update();
}

DownloadPanel::~DownloadPanel()
{
    core.removeListener (this);
    list.setModel (nullptr);
}

void DownloadPanel::resized()
{
    list.setBounds (0, 0, getWidth(), getHeight() - 55);
    clearButton.setBounds (5, getHeight() - 30, 120, 25);

    // The list scrolls by the framework's usual step, not by whole rows.
    list.getViewport()->setSingleStepSizes (16, 16);
}

int DownloadPanel::getNumRows()
{
    return juce::jmin (core.getDownloads().getDownloadCount(), numRows);
}

juce::Component* DownloadPanel::refreshComponentForRow (int row, bool, juce::Component* existing)
{
    // Rows are never deleted here: a click on a row's button may be what led to this refresh.
    auto* shown = dynamic_cast<DownloadRow*> (existing);

    if (! juce::isPositiveAndBelow (row, getNumRows()))
    {
        if (shown != nullptr)
            shown->clear();

        return shown;
    }

    if (shown == nullptr)
    {
        delete existing;
        shown = new DownloadRow();
        shown->onRemove = [this] (int entry)
        {
            removeRow (entry);
            controlUsed();
        };
    }

    shown->show (row, core.getDownloads().getDownloadTitle (row), barTexts[row], progressValues[(size_t) row]);
    return shown;
}

DownloadRow* DownloadPanel::getRow (int entry) const
{
    auto* row = dynamic_cast<DownloadRow*> (list.getComponentForRowNumber (entry));
    return row != nullptr && row->getEntry() == entry ? row : nullptr;
}

void DownloadPanel::update()
{
    const auto entries = getNumRows();
    const auto& queue = core.getDownloads();

    for (int i = 0; i < entries; ++i)
    {
        switch (queue.getDownloadState (i))
        {
            case DownloadState::Queued:
                progressValues[(size_t) i] = 0.0;
                barTexts.set (i, TRANS ("Queued"));
                break;
            case DownloadState::Downloading:
                barTexts.set (i, {});
                break;
            case DownloadState::Completed:
                progressValues[(size_t) i] = 1.0;
                barTexts.set (i, TRANS ("Completed"));
                break;
            case DownloadState::Failed:
                progressValues[(size_t) i] = 1.0;
                barTexts.set (i, TRANS ("Error"));
                break;
        }
    }

    list.updateContent();
}

void DownloadPanel::progressChanged (const juce::String& chapterId)
{
    const auto& queue = core.getDownloads();
    const auto index = queue.findDownload (chapterId);

    if (! juce::isPositiveAndBelow (index, numRows))
        return;

    progressValues[(size_t) index] = queue.getDownloadProgress (index);

    if (auto* row = getRow (index))
        row->setProgress (progressValues[(size_t) index]);
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

void DownloadPanel::controlUsed()
{
    if (onControlUsed != nullptr)
        onControlUsed();
}
