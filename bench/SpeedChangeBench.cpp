#include "playback/MpvPlayer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

/*
    Changing the playback speed while a video plays: a 20-second 640x360 H.264 video at 30
    frames per second with sound, played at 1x for 3 seconds, switched to the speed under test
    (1.5x, 2x, 3x; 1x is the same run without a change, to compare with) and played 3 more
    seconds of real time. The player's sound and frames are watched every 2 ms from 250 ms
    before the change to 500 ms after it.

    Counters: dropped_at_change (frames mpv dropped, in the decoder or at output, from 250 ms
    before to 500 ms after the change; 0 means the change lost no frame), frames_dropped (the
    same over the whole run), frames_rendered against frames_expected (video time played x frame
    rate), audio_gap_ms (the longest stretch of real time during which the sound's clock did not
    move, around the change), audio_rate (how fast the sound's clock ran after the change,
    against real time: it should be the speed). Time is the real time from the load to the end
    of the measurement.

    Needs a display and plays through mpv's null audio output, which keeps time as a sound
    card does:
        xvfb-run -a build/bench/bench/tsy_bench --benchmark_filter=SpeedChange
*/
namespace
{
constexpr int framesPerSecond = 30, videoSeconds = 20;

/** The test video, made on construction and removed with its folder on destruction. */
class SpeedBenchVideo final
{
public:
    SpeedBenchVideo()
    {
        folder.createDirectory();
        const auto seconds = juce::String (videoSeconds);
        juce::StringArray command { "ffmpeg", "-v", "error", "-y" };
        command.addArray ({ "-f", "lavfi", "-i", "testsrc2=size=640x360:rate=" + juce::String (framesPerSecond) + ":duration=" + seconds });
        command.addArray ({ "-f", "lavfi", "-i", "sine=frequency=440:duration=" + seconds });
        command.addArray ({ "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac" });
        command.add (file.getFullPathName());

        juce::ChildProcess ffmpeg;
        made = ffmpeg.start (command) && ffmpeg.waitForProcessToFinish (120000) && ffmpeg.getExitCode() == 0;
    }

    ~SpeedBenchVideo() { folder.deleteRecursively(); }

    const juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                                  .getChildFile ("tsy-speed-bench-" + juce::String::toHexString (juce::Random().nextInt64()));
    const juce::File file = folder.getChildFile ("360p30.mp4");
    bool made = false;

    JUCE_DECLARE_NON_COPYABLE (SpeedBenchVideo)
};

double now() { return juce::Time::getMillisecondCounterHiRes(); }

/** Runs the message loop for a while, calling a probe every 2 ms. */
void runFor (double milliseconds, const std::function<void()>& probe)
{
    const auto end = now() + milliseconds;

    while (now() < end)
    {
        juce::MessageManager::getInstance()->runDispatchLoopUntil (2);
        probe();
    }
}
} // namespace

static void SpeedChangeWhilePlaying (benchmark::State& state)
{
    if (std::getenv ("DISPLAY") == nullptr)
    {
        state.SkipWithError ("needs a display: run under xvfb-run -a");
        return;
    }

    setenv ("TSY_AUDIO_OUTPUT", "null", 0);
    const SpeedBenchVideo video;

    if (! video.made)
    {
        state.SkipWithError ("ffmpeg could not make the video");
        return;
    }

    const auto speed = (double) state.range (0) / 100.0;

    for (auto _ : state)
    {
        MpvPlayer player;
        const auto started = now();

        if (! player.load (video.file))
        {
            state.SkipWithError ("the video did not load");
            return;
        }

        player.setSpeed (1.0);
        player.play();
        runFor (3000.0, [] {});

        // The sound's clock: when it last moved, and the longest time it stood still.
        auto lastClock = player.getAudioClock().value_or (-1.0);
        auto lastMove = now();
        double longestStill = 0.0;
        const auto watchClock = [&] {
            const auto clock = player.getAudioClock().value_or (-1.0);
            const auto t = now();

            if (clock != lastClock)
            {
                lastClock = clock;
                lastMove = t;
            }

            longestStill = juce::jmax (longestStill, t - lastMove);
        };

        const auto droppedBefore = player.getNumFramesDropped();
        runFor (250.0, watchClock);
        const auto changedAt = now();
        const auto clockAtChange = player.getAudioClock().value_or (0.0);
        player.setSpeed (speed);
        runFor (500.0, watchClock);
        const auto gapAroundChange = longestStill;
        const auto droppedAtChange = player.getNumFramesDropped() - droppedBefore;

        runFor (2500.0, [] {});
        const auto clockAfter = player.getAudioClock().value_or (0.0);
        const auto realSecondsAfter = (now() - changedAt) / 1000.0;
        const auto videoTimePlayed = player.getPosition();

        state.SetIterationTime ((now() - started) / 1000.0);
        state.counters["speed"] = speed;
        state.counters["dropped_at_change"] = (double) droppedAtChange;
        state.counters["frames_dropped"] = (double) player.getNumFramesDropped();
        state.counters["frames_rendered"] = (double) player.getNumFramesRendered();
        state.counters["frames_expected"] = videoTimePlayed * framesPerSecond;
        state.counters["audio_gap_ms"] = gapAroundChange;
        state.counters["audio_rate"] = (clockAfter - clockAtChange) / realSecondsAfter;
    }
}

BENCHMARK (SpeedChangeWhilePlaying)->Arg (100)->Arg (150)->Arg (200)->Arg (300)->UseManualTime()->Iterations (1)->Unit (benchmark::kSecond);
