#pragma once

#include <JuceHeader.h>

/**
    The operation log: a plain text file on the user's desktop behind the framework's process-wide
    logger, so Logger::writeToLog works from any thread. Without it, lines go to debug output.

    Installed and removed by the application's start-up and shutdown on the message thread.
*/
class OperationLog final
{
public:
    /** The log file: "TSY-Player Log.txt" on the user's desktop. */
    static juce::File getDefaultFile();

    /** Opens a log file (trimming it to 4 MiB on a line break and appending the opening block)
        and makes it the process's logger. The returned object must outlive its installation.
    */
    static std::unique_ptr<juce::FileLogger> install (const juce::File& file);

    /** Removes the process's logger; later lines go to debug output. */
    static void remove();

    /** The size an earlier log is cut down to when a run opens it. */
    static constexpr juce::int64 maximumInitialSize = 4194304;

private:
    OperationLog() = delete;
};
