#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/**
    What waits for the window's first frame: work the first frame does not need, started once
    that frame is out, and the start-up measurement's report (the monotonic clock's milliseconds
    written to the file the environment variable TSY_FIRST_PAINT_FILE names, at the first paint
    that shows a catalog).

    Message thread only.
*/
class FirstFrame final
{
public:
    /** Reads TSY_FIRST_PAINT_FILE; an unset or relative name asks for no report. */
    FirstFrame();

    /** Runs work after the window's next paint, unless the window is gone by then. */
    void runAfterNextPaint (std::function<void()> work) { afterPaint = std::move (work); }

    /** Called by the window's paint: starts the waiting work and writes the report once. */
    void windowPainted (juce::Component& window, bool showsCatalog);

    /** True until the report is written (and always false without one). */
    bool isReportPending() const noexcept { return report != juce::File(); }

private:
    std::function<void()> afterPaint;
    juce::File report;

    JUCE_DECLARE_NON_COPYABLE (FirstFrame)
};
