#pragma once

#include <JuceHeader.h>

#include <ctime>
#include <utility>

/** The clocks the benchmarks read: wall time and the calling thread's CPU time, in ms. */
namespace BenchClock
{
inline double nowMs()
{
    return juce::Time::getMillisecondCounterHiRes();
}

inline double threadCpuMs()
{
    timespec time {};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &time);
    return (double) time.tv_sec * 1000.0 + (double) time.tv_nsec / 1.0e6;
}

/** Times both sides of a comparison, the other side first on every other call, so neither
    always runs second on a machine the first has warmed up. Each side returns its own time in
    ms; the result is { ours, theirs }.
*/
template <typename Ours, typename Theirs>
std::pair<double, double> timeAlternately (bool& theirsFirst, Ours&& ours, Theirs&& theirs)
{
    double oursMs = 0.0, theirsMs = 0.0;

    if (theirsFirst)
    {
        theirsMs = theirs();
        oursMs = ours();
    }
    else
    {
        oursMs = ours();
        theirsMs = theirs();
    }

    theirsFirst = ! theirsFirst;
    return { oursMs, theirsMs };
}
} // namespace BenchClock
