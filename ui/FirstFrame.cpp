#include "ui/FirstFrame.h"

FirstFrame::FirstFrame()
{
    const auto path = juce::SystemStats::getEnvironmentVariable ("TSY_FIRST_PAINT_FILE", {});

    if (juce::File::isAbsolutePath (path))
        report = juce::File (path);
}

void FirstFrame::windowPainted (juce::Component& window, bool showsCatalog)
{
    // The paint itself must end first: the work runs from the message loop after it.
    if (afterPaint != nullptr)
        juce::MessageManager::callAsync ([safeWindow = juce::Component::SafePointer<juce::Component> (&window), work = std::exchange (afterPaint, nullptr)]
                                         {
                                             if (safeWindow != nullptr)
                                                 work();
                                         });

    if (isReportPending() && showsCatalog)
    {
        report.replaceWithText (juce::String (juce::Time::getMillisecondCounterHiRes(), 3));
        report = juce::File();
    }
}
