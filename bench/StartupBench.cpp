#include "bench/BenchCatalog.h"
#include "bench/BenchClock.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <optional>
#include <string>

/*
    Start-up: from starting tsy-player to the first paint of its main window with a cached
    catalog of 10,000 chapters in place (the service is not reachable, so the remembered user's
    cached copy is read), against a bare framework window program of the same size started the
    same way. Both programs write the time of that paint into the file named by
    TSY_FIRST_PAINT_FILE; each is ended once it has. Needs a display: run the benchmarks under
    xvfb-run (scripts/bench does).

    Counters: tsy_ms and bare_ms (start to first paint) and ratio (tsy / bare). Run with
    repetitions and compare the medians.
*/
namespace
{
constexpr int servicePort = 8642;

/** A home folder with what an offline start needs: a remembered login, and that user's
    cached catalog of 10,000 chapters.
*/
class StartupHome final
{
public:
    StartupHome()
    {
        const auto dataFolder = getDataHome().getChildFile ("Tessaly/TSY-Player");
        dataFolder.createDirectory();
        BenchCatalog::writeCatalog (dataFolder.getChildFile ("cat4711en.xml"), 100);
        dataFolder.getChildFile ("preferences.xml")
            .replaceWithText (R"(<?xml version="1.0" encoding="UTF-8"?>
<PROPERTIES>
  <VALUE name="startupUsername" val="mario.rossi@example.com"/>
  <VALUE name="startupPasswordHash" val="5f4dcc3b5aa765d61d8327deb882cf99"/>
  <VALUE name="startupUserId" val="4711"/>
  <VALUE name="language" val="1"/>
  <VALUE name="loggingEnabled" val="0"/>
  <VALUE name="editorStartupWidth" val="1030"/>
  <VALUE name="editorStartupHeight" val="600"/>
</PROPERTIES>)");
    }

    ~StartupHome() { folder.deleteRecursively(); }

    juce::File getFolder() const { return folder; }
    juce::File getDataHome() const { return folder.getChildFile (".local/share"); }
    juce::File getReportFile() const { return folder.getChildFile ("first-paint.txt"); }

private:
    const juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                                  .getChildFile ("tsy-bench-startup-" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64()));

    JUCE_DECLARE_NON_COPYABLE (StartupHome)
};

/** Sets an environment variable for as long as it lives. */
class ScopedEnvironment final
{
public:
    ScopedEnvironment (const char* variableName, const juce::String& value) : name (variableName)
    {
        if (const auto* old = std::getenv (name))
            previous = old;

        setenv (name, value.toRawUTF8(), 1);
    }

    ~ScopedEnvironment()
    {
        if (previous.has_value())
            setenv (name, previous->c_str(), 1);
        else
            unsetenv (name);
    }

private:
    const char* const name;
    std::optional<std::string> previous;

    JUCE_DECLARE_NON_COPYABLE (ScopedEnvironment)
};

/** Milliseconds from starting a program to its first report, or a negative number when no
    report came (the program ended first, or took longer than half a minute).
*/
double timeToFirstPaint (const juce::String& executable, const StartupHome& home)
{
    const auto report = home.getReportFile();
    report.deleteFile();
    juce::ChildProcess program;
    double started = 0.0;

    {
        // The child inherits the environment as it is when it starts.
        const ScopedEnvironment homeFolder ("HOME", home.getFolder().getFullPathName());
        const ScopedEnvironment dataHome ("XDG_DATA_HOME", home.getDataHome().getFullPathName());
        const ScopedEnvironment reportFile ("TSY_FIRST_PAINT_FILE", report.getFullPathName());
        started = juce::Time::getMillisecondCounterHiRes();

        if (! program.start (juce::StringArray { executable }))
            return -1.0;
    }

    auto painted = -1.0;

    for (int waited = 0; waited < 30000 && program.isRunning(); waited += 2)
    {
        if (report.getSize() > 0)
        {
            painted = report.loadFileAsString().getDoubleValue();
            break;
        }

        juce::Thread::sleep (2);
    }

    program.kill();
    program.waitForProcessToFinish (5000);
    return painted > 0.0 ? painted - started : -1.0;
}

bool servicePortIsTaken()
{
    juce::StreamingSocket socket;
    return socket.connect ("127.0.0.1", servicePort, 500);
}

void BM_StartupToFirstPaintVsBareWindow (benchmark::State& state)
{
    if (juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}).isEmpty())
    {
        state.SkipWithError ("needs a display: run under xvfb-run");
        return;
    }

    // With the service reachable the program would start online, which is another measurement.
    if (servicePortIsTaken())
    {
        state.SkipWithError ("something answers on the service port 8642");
        return;
    }

    const StartupHome home;
    double tsyMs = 0.0, bareMs = 0.0;
    auto bareFirst = true;

    for (auto _ : state)
    {
        const auto [tsy, bare] = BenchClock::timeAlternately (
            bareFirst, [&] { return timeToFirstPaint (TSY_PLAYER_EXECUTABLE, home); }, [&] { return timeToFirstPaint (TSY_BARE_WINDOW_EXECUTABLE, home); });

        if (tsy < 0.0 || bare < 0.0)
        {
            // tsy-player runs once per machine: another copy running makes this one end at once.
            state.SkipWithError ("a program ended or stalled before its first paint");
            break;
        }

        tsyMs += tsy;
        bareMs += bare;
        state.SetIterationTime (tsy / 1000.0);
    }

    const auto iterations = (double) state.iterations();
    state.counters["tsy_ms"] = tsyMs / iterations;
    state.counters["bare_ms"] = bareMs / iterations;
    state.counters["ratio"] = tsyMs / bareMs;
}
} // namespace

BENCHMARK (BM_StartupToFirstPaintVsBareWindow)->Unit (benchmark::kMillisecond)->UseManualTime()->Iterations (3);
