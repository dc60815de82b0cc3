#pragma once

#include <JuceHeader.h>

class Core;
class MainWindow;

/**
    The program's application object: brings the shared services up in order, creates the main
    window and tears everything down again in the reverse order.

    The framework calls every operation on the message thread.
*/
class MyApplication final : public juce::JUCEApplication
{
public:
    MyApplication();
    ~MyApplication() override;

    /** "TSY-Player". */
    const juce::String getApplicationName() override;

    /** "1.36". */
    const juce::String getApplicationVersion() override;

    /** Always false: a second start finds the lock taken and ends without a window. */
    bool moreThanOneInstanceAllowed() override;

    /** Runs the start-up sequence; the command line is ignored. */
    void initialise (const juce::String& commandLine) override;

    /** Runs the shutdown sequence. Also called in a second instance that never initialised. */
    void shutdown() override;

    /** Ignored: the running instance keeps going as it is. */
    void anotherInstanceStarted (const juce::String& commandLine) override;

    /** The main window's title: the name, a blank and the version. */
    static juce::String getMainWindowTitle();

private:
    void startSharedServices();
    void stopSharedServices();

    std::unique_ptr<juce::Logger> logger;
    std::unique_ptr<Core> core;
    std::unique_ptr<MainWindow> mainWindow;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MyApplication)
};
