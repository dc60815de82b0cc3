#include "playback/VideoComponent.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>

/*
    Playback of a 10-second 1280x720 H.264 video at 30 frames per second, made with ffmpeg in a
    scratch folder that is removed afterwards, in a VideoComponent of the same size on screen,
    from the load to the end of the video. Time is the wall time of that.

    Counters: frames_rendered (frames mpv handed over to the renderer) against frames_expected
    (duration x frame rate); frames_dropped (mpv's own count of frames dropped by the decoder or
    the output); frames_painted (new frames that reached paint()); cpu_share (this process's CPU
    time over the wall time: 1.0 is one core fully used; the X server's own work is not in it).

    Needs a display and plays silently:
        xvfb-run -a build/bench/bench/tsy_bench --benchmark_filter=VideoPlayback
*/
namespace
{
constexpr int videoWidth = 1280, videoHeight = 720, framesPerSecond = 30, videoSeconds = 10;

double processCpuSeconds()
{
    timespec t {};
    clock_gettime (CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double) t.tv_sec + (double) t.tv_nsec * 1.0e-9;
}

/** The test video, made on construction and removed with its folder on destruction. */
class ScratchVideo final
{
public:
    ScratchVideo()
    {
        folder.createDirectory();

        const auto seconds = juce::String (videoSeconds);
        const auto picture = "testsrc2=size=" + juce::String (videoWidth) + "x" + juce::String (videoHeight)
                             + ":rate=" + juce::String (framesPerSecond) + ":duration=" + seconds;

        juce::StringArray command { "ffmpeg", "-v", "error", "-y" };
        command.addArray ({ "-f", "lavfi", "-i", picture });
        command.addArray ({ "-f", "lavfi", "-i", "sine=frequency=440:duration=" + seconds });
        command.addArray ({ "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac" });
        command.add (file.getFullPathName());

        juce::ChildProcess ffmpeg;
        made = ffmpeg.start (command) && ffmpeg.waitForProcessToFinish (120000) && ffmpeg.getExitCode() == 0;
    }

    ~ScratchVideo() { folder.deleteRecursively(); }

    const juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                                  .getChildFile ("tsy-video-bench-" + juce::String::toHexString (juce::Random().nextInt64()));
    const juce::File file = folder.getChildFile ("720p30.mp4");
    bool made = false;

    JUCE_DECLARE_NON_COPYABLE (ScratchVideo)
};
} // namespace

static void VideoPlayback720p30 (benchmark::State& state)
{
    if (std::getenv ("DISPLAY") == nullptr)
    {
        state.SkipWithError ("needs a display: run under xvfb-run -a");
        return;
    }

    // Silent unless an output was chosen.
    setenv ("TSY_AUDIO_OUTPUT", "null", 0);

    const ScratchVideo video;

    if (! video.made)
    {
        state.SkipWithError ("ffmpeg could not make the video");
        return;
    }

    for (auto _ : state)
    {
        VideoComponent component;
        component.setBounds (0, 0, videoWidth, videoHeight);
        component.addToDesktop (0);
        component.setVisible (true);

        const auto cpuBefore = processCpuSeconds();
        const auto started = juce::Time::getMillisecondCounterHiRes();

        if (! component.loadMovie (video.file))
        {
            state.SkipWithError ("the video did not load");
            return;
        }

        const auto framesExpected = component.getMovieDuration() * framesPerSecond;
        component.play();

        const auto deadline = started + 3000.0 * videoSeconds;

        while (component.isPlaying() && juce::Time::getMillisecondCounterHiRes() < deadline)
            juce::MessageManager::getInstance()->runDispatchLoopUntil (20);

        const auto wallSeconds = (juce::Time::getMillisecondCounterHiRes() - started) / 1000.0;
        const auto cpuSeconds = processCpuSeconds() - cpuBefore;
        state.SetIterationTime (wallSeconds);

        state.counters["frames_expected"] = framesExpected;
        state.counters["frames_rendered"] = (double) component.getNumFramesRendered();
        state.counters["frames_dropped"] = (double) component.getNumFramesDropped();
        state.counters["frames_painted"] = (double) component.getNumFramesPainted();
        state.counters["cpu_share"] = cpuSeconds / wallSeconds;
    }
}

BENCHMARK (VideoPlayback720p30)->UseManualTime()->Iterations (1)->Unit (benchmark::kSecond);
