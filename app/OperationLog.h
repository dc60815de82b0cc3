#pragma once

#include <JuceHeader.h>

/**
    The operation log: a plain text file on the user's desktop behind the framework's process-wide
    logger, so Logger::writeToLog works from any thread. Each line opens, appends to and closes the
    file under a lock; nothing else (no debug output) is written.

    With logging off, a silent logger takes its place, so the program's lines go nowhere at all.
    Installed and removed by the application's start-up and shutdown on the message thread.
*/
class OperationLog final : public juce::Logger
{
public:
    /** Opens a log file: cuts an earlier one to 4 MiB on a line break, creates it (and its
        folder) if missing and appends the opening block.
    */
    explicit OperationLog (const juce::File& file);

    /** Appends a line and a CR LF. Any thread. */
    void logMessage (const juce::String& message) override;

    /** The log file: "TSY-Player Log.txt" on the user's desktop. */
    static juce::File getDefaultFile();

    /** Opens a log file and makes it the process's logger. The returned object must outlive
        its installation.
    */
    static std::unique_ptr<juce::Logger> install (const juce::File& file);

    /** Makes a logger that drops every line the process's logger; for runs with logging off. */
    static std::unique_ptr<juce::Logger> installSilent();

    /** Removes the process's logger. */
    static void remove();

    /** The size an earlier log is cut down to when a run opens it. */
    static constexpr juce::int64 maximumInitialSize = 4194304;

private:
    void append (const juce::String& text);

    const juce::File file;
    juce::CriticalSection lock;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OperationLog)
};
