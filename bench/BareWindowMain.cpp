#include <JuceHeader.h>

/*
    A bare framework window program, for start-up measurements: what showing a window costs a
    program of the framework with nothing else in it, started the same way as the player and
    of the same size. When the environment variable TSY_FIRST_PAINT_FILE names a file, the
    window's first paint writes the time into it (the monotonic clock's milliseconds), as the
    player's main window does.
*/
namespace
{
class BareWindow final : public juce::DocumentWindow
{
public:
    BareWindow() : DocumentWindow ("Bare window", juce::Colours::black, juce::DocumentWindow::allButtons, true)
    {
        setOpaque (true);
        setResizable (true, true);
        centreWithSize (1030, 600);
        setVisible (true);
    }

    void paint (juce::Graphics& g) override
    {
        DocumentWindow::paint (g);

        if (reported)
            return;

        reported = true;
        const auto path = juce::SystemStats::getEnvironmentVariable ("TSY_FIRST_PAINT_FILE", {});

        if (juce::File::isAbsolutePath (path))
            juce::File (path).replaceWithText (juce::String (juce::Time::getMillisecondCounterHiRes(), 3));
    }

    void closeButtonPressed() override { juce::JUCEApplicationBase::quit(); }

private:
    bool reported = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BareWindow)
};

class BareWindowApplication final : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return "TSY bare window"; }
    const juce::String getApplicationVersion() override { return "1.0"; }
    bool moreThanOneInstanceAllowed() override { return true; }

    void initialise (const juce::String&) override { window = std::make_unique<BareWindow>(); }
    void shutdown() override { window = nullptr; }

private:
    std::unique_ptr<BareWindow> window;
};
} // namespace

START_JUCE_APPLICATION (BareWindowApplication)
