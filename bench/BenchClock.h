#pragma once

#include <JuceHeader.h>

#include <ctime>

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
} // namespace BenchClock
