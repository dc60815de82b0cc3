#include "app/MyApplication.h"

#include "app/CoreRegistry.h"
#include <ProjectInfo.h>

/** The window shown until the full main window takes its place; closing it quits. */
class MyApplication::PlainWindow final : public juce::DocumentWindow
{
public:
    explicit PlainWindow (const juce::String& title)
        : DocumentWindow (title,
                          juce::Desktop::getInstance().getDefaultLookAndFeel().findColour (
                              juce::ResizableWindow::backgroundColourId),
                          juce::DocumentWindow::allButtons)
    {
        setUsingNativeTitleBar (false);
        setResizable (true, true);
        setResizeLimits (950, 500, 10000, 10000);
        centreWithSize (1030, 600);
    }

    void closeButtonPressed() override
    {
        juce::JUCEApplication::getInstance()->systemRequestedQuit();
    }

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PlainWindow)
};

MyApplication::~MyApplication() = default;

const juce::String MyApplication::getApplicationName()
{
    return ProjectInfo::applicationName;
}

const juce::String MyApplication::getApplicationVersion()
{
    return ProjectInfo::versionString;
}

bool MyApplication::moreThanOneInstanceAllowed()
{
    return false;
}

juce::String MyApplication::getMainWindowTitle()
{
    return juce::String (ProjectInfo::applicationName) + " " + ProjectInfo::versionString;
}

void MyApplication::initialise (const juce::String&)
{
    if (CoreRegistry::size() == 0)
        juce::Logger::writeToLog ("Program started");

    mainWindow = std::make_unique<PlainWindow> (getMainWindowTitle());
    mainWindow->setVisible (true);
}

void MyApplication::shutdown()
{
    mainWindow = nullptr;

    if (CoreRegistry::size() == 0)
    {
        juce::Logger::writeToLog ("Program terminated");
        juce::Logger::setCurrentLogger (nullptr);
    }
}

void MyApplication::anotherInstanceStarted (const juce::String&)
{
}
