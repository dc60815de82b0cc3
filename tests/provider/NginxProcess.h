#pragma once

#include <JuceHeader.h>

#include <sys/types.h>

/**
    Runs Debian's nginx for a test or benchmark: a web server of static files on a free loopback
    port, serving one folder as its root, with its configuration, logs and temporary files in an
    output folder of its own. Stopped (SIGQUIT, then SIGKILL if it lingers) when the object goes
    or when the thread that started it ends. Used from the test's thread.
*/
class NginxProcess final
{
public:
    /** Starts nginx serving root, and waits until it listens; check isRunning. */
    NginxProcess (const juce::File& root, const juce::File& outputFolder);

    ~NginxProcess();

    bool isRunning() const noexcept { return port > 0; }
    int getPort() const noexcept { return port; }

    /** "http://127.0.0.1:PORT/" with its final "/". */
    juce::String getBaseUrl() const { return "http://127.0.0.1:" + juce::String (port) + "/"; }

    /** The requests served so far, one line each: "STATUS BYTES REQUEST-LINE". */
    juce::String readAccessLog() const { return accessLog.loadFileAsString(); }

    /** What nginx said about its own troubles so far. */
    juce::String readErrors() const { return errorLog.loadFileAsString(); }

    /** Stops the server and waits for it to end. */
    void stop();

    /** The installed program; a default File when nginx is not installed. */
    static juce::File getExecutable();

private:
    bool start (const juce::File& root, int portToTry);
    bool waitUntilListening (int portToTry, int timeoutMs);

    juce::File folder, accessLog, errorLog;
    pid_t pid = -1;
    int port = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (NginxProcess)
};
