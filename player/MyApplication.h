#pragma once

#include <JuceHeader.h>

class Core;
class MainWindow;
class SingleInstance;

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

    /** True: the framework's own lock is one file for the whole machine, so the program keeps
        one instance per user and session itself (SingleInstance).
    */
    bool moreThanOneInstanceAllowed() override;

    /** Runs the start-up sequence; the command line is ignored. A start that finds this user's
        player running hands over to it and ends without a window.
    */
    void initialise (const juce::String& commandLine) override;

    /** Runs the shutdown sequence; a start that handed over has nothing to shut down. */
    void shutdown() override;

    /** Another start of this user's player: the main window comes to the front. */
    void anotherInstanceStarted (const juce::String& commandLine) override;

    /** The main window's title: the name, a blank and the version. */
    static juce::String getMainWindowTitle();

private:
    void startSharedServices();
    void stopSharedServices();

    std::unique_ptr<SingleInstance> instance;
    bool isFirstInstance = false;
    std::unique_ptr<juce::Logger> logger;
    std::unique_ptr<Core> core;
    std::unique_ptr<MainWindow> mainWindow;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MyApplication)
};
