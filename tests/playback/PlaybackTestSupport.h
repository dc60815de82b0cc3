#pragma once

#include "tests/common/MessagePump.h"

#include <JuceHeader.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

/** One of the provider's sample chapter videos (480x270, 12 fps H.264 with AAC sound). */
inline juce::File sampleVideo (const char* name)
{
    return juce::File (TSY_SAMPLE_VIDEOS_DIR).getChildFile (name);
}

/** Lets the message loop run until the condition holds or the time is up. */
inline bool waitUntil (const std::function<bool()>& condition, int timeoutMs = 10000)
{
    return MessagePump::runUntil (condition, timeoutMs);
}

/** Lets the message loop run for a while and reports whether the condition held all along:
    for checking that something does not happen. */
inline bool holdsFor (int milliseconds, const std::function<bool()>& condition)
{
    return ! waitUntil ([&]
                        { return ! condition(); },
                        milliseconds);
}

/**
    Base of the playback fixtures: silent audio, and a scratch folder removed afterwards.
*/
class PlaybackTest : public ::testing::Test
{
protected:
    PlaybackTest()
    {
        setenv ("TSY_AUDIO_OUTPUT", "null", 1);
        scratch.createDirectory();
    }

    ~PlaybackTest() override { scratch.deleteRecursively(); }

    juce::File scratchFile (const juce::String& name) const { return scratch.getChildFile (name); }

    /** Runs ffmpeg (a build dependency) to make a test file; false when it fails. */
    static bool runFfmpeg (const juce::StringArray& arguments)
    {
        juce::StringArray command { "ffmpeg", "-v", "error", "-y" };
        command.addArray (arguments);
        juce::ChildProcess ffmpeg;
        return ffmpeg.start (command) && ffmpeg.waitForProcessToFinish (60000) && ffmpeg.getExitCode() == 0;
    }

    static constexpr double frameTime = 1.0 / 12.0;

private:
    // Unique, as suites may run side by side.
    const juce::File scratch = juce::File::getSpecialLocation (juce::File::tempDirectory)
                                   .getChildFile ("tsy-playback-test-" + juce::String::toHexString (juce::Random().nextInt64()));
};
