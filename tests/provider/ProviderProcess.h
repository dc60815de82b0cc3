#pragma once

#include <JuceHeader.h>

#include <sys/types.h>

/**
    Runs the real tsy-provider executable for a test: started on a free loopback port with the
    given arguments, its standard output and error captured in files and its temporary directory
    inside the output folder, and stopped (SIGTERM, then SIGKILL if it lingers) when the object
    goes or when the thread that started it ends (so a test that is killed leaves no provider
    running). Used from the test's thread.
*/
class ProviderProcess final
{
public:
    /** Starts the program with "--port 0" and these further arguments, and waits until it says
        where it listens; check isRunning.
    */
    ProviderProcess (const juce::StringArray& arguments, const juce::File& outputFolder);

    ~ProviderProcess();

    bool isRunning() const noexcept { return port > 0; }
    int getPort() const noexcept { return port; }

    /** "http://127.0.0.1:PORT" without a final "/". */
    juce::String getOrigin() const { return "http://127.0.0.1:" + juce::String (port); }

    /** Everything the program wrote to standard output so far. */
    juce::String readOutput() const { return stdoutFile.loadFileAsString(); }

    /** Everything the program wrote to standard error so far. */
    juce::String readErrors() const { return stderrFile.loadFileAsString(); }

    /** Waits until the output contains text; false after timeoutMs without it. */
    bool waitForOutput (const juce::String& text, int timeoutMs) const;

    /** Sends SIGTERM and waits for the exit; returns the exit code, or -1 when it had to be
        killed or was not running.
    */
    int stop (int timeoutMs = 5000);

    /** The process identifier (for reading /proc). */
    pid_t getPid() const noexcept { return pid; }

    /** The built program, as the build passes it. */
    static juce::File getExecutable();

    /** The program's temporary directory (TMPDIR) for an output folder. */
    static juce::File getTemporaryFolder (const juce::File& outputFolder);

private:
    juce::File stdoutFile, stderrFile;
    mutable pid_t pid = -1;
    int port = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ProviderProcess)
};
