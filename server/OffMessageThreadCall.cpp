#include "server/OffMessageThreadCall.h"

#include <atomic>

namespace
{
/** How long each turn of the message loop runs before the worker is looked at again: the loop
    does not return early when the worker ends, so a long turn is time the caller waits for
    nothing (the start-up's first paint waits on such a call). A turn that finds no message
    sleeps a millisecond, so a short one costs no processor time.
*/
constexpr int dispatchSliceMs = 1;

class CallThread final : public juce::Thread
{
public:
    CallThread (const juce::String& name, const std::function<void()>& callToMake) : Thread (name), call (callToMake) {}

    ~CallThread() override { stopThread (-1); }

    void run() override
    {
        call();
        finished = true;
    }

    std::atomic<bool> finished { false };

private:
    const std::function<void()>& call;

    JUCE_DECLARE_NON_COPYABLE (CallThread)
};
} // namespace

OffMessageThreadCall::Outcome OffMessageThreadCall::run (const juce::String& threadName, const std::function<void()>& call)
{
    auto* messageManager = juce::MessageManager::getInstanceWithoutCreating();

    if (messageManager == nullptr || ! messageManager->isThisTheMessageThread())
    {
        call();
        return Outcome::finished;
    }

    CallThread thread (threadName, call);

    if (! thread.startThread())
    {
        call();
        return Outcome::finished;
    }

    // The framework's loop returns false once a quit has arrived, and from then on at once.
    auto quit = false;

    while (! thread.finished && ! quit)
        quit = ! messageManager->runDispatchLoopUntil (dispatchSliceMs);

    if (quit)
        thread.signalThreadShouldExit();

    thread.waitForThreadToExit (-1);
    return quit ? Outcome::quitRequested : Outcome::finished;
}
