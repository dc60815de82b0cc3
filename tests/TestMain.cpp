#include <JuceHeader.h>
#include <gtest/gtest.h>

int main (int argc, char** argv)
{
    // A test that creates the web browser has the framework run this program again as the
    // browser's process, which must not run the tests.
    if (argc >= 2 && juce::String (argv[1]) == "--juce-gtkwebkitfork-child")
        return juce::JUCEApplicationBase::main (argc, const_cast<const char**> (argv));

    ::testing::InitGoogleTest (&argc, argv);

    // Without an application object JUCE installs its own X error handler, which keeps a test
    // binary alive under a window-manager-less Xvfb.
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };

    const juce::ScopedJuceInitialiser_GUI juceInitialiser;
    return RUN_ALL_TESTS();
}
