#pragma once

#include <JuceHeader.h>

#include <atomic>
#include <memory>

/** Waiting on the message thread for events rather than for time, so a loaded machine only
    makes tests slower, never wrong. Called on the test's (message) thread.
*/
namespace MessagePump
{
/** Runs the message loop until the condition holds; false if it still does not after the
    deadline, which is only a guard against hanging for ever.
*/
template <typename Condition>
bool runUntil (Condition&& condition, int timeoutMs = 20000)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() > end)
            return false;

        juce::MessageManager::getInstance()->runDispatchLoopUntil (5);
    }

    return true;
}

/** Delivers every message posted before the call: a marker queued behind them is awaited, and
    messages are delivered in the order they were posted.
*/
inline bool deliverPending()
{
    auto delivered = std::make_shared<std::atomic<bool>> (false);
    juce::MessageManager::callAsync ([delivered] { *delivered = true; });
    return runUntil ([&] { return delivered->load(); });
}
} // namespace MessagePump
