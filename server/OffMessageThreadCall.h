#pragma once

#include <JuceHeader.h>

#include <functional>

/**
    Runs a blocking call, such as a catalog request, on a worker thread of its own while the
    message thread keeps dispatching events, so the windows repaint, move and close meanwhile.

    When the application is asked to quit before the call has ended, the worker is asked to stop
    (which ends an HttpClient request it is making within milliseconds), run() waits for it to end
    and reports the quit, so the caller gives up instead of going on with its flow.

    Called on the message thread; called on any other thread it simply makes the call there.
*/
class OffMessageThreadCall final
{
public:
    enum class Outcome
    {
        finished,
        quitRequested
    };

    /** Makes the call on a thread with this name and returns once it has ended. */
    static Outcome run (const juce::String& threadName, const std::function<void()>& call);

private:
    OffMessageThreadCall() = delete;
};
