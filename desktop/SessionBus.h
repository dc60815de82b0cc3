#pragma once

#include <JuceHeader.h>

#include <functional>
#include <vector>

struct _GDBusConnection;
struct _GMainContext;
struct _GMainLoop;

/**
    A private connection to the desktop's session message bus, served by a thread of its own that
    runs its own GLib main context: the framework runs no GLib loop in the player's process, so
    every reply, signal and method call of the connection is handled there, never on the message
    thread.

    Connecting happens on that thread without blocking anyone. When there is no session bus, or
    it cannot be reached, the connection stays absent, one line goes to the log, and every posted
    task is given no connection; the program goes on as before.
*/
class SessionBus final : private juce::Thread
{
public:
    using Connection = _GDBusConnection;

    /** Connects to the bus at a D-Bus address ("unix:path=..."); an empty address means there
        is no session bus. Any thread; returns at once.
    */
    explicit SessionBus (const juce::String& address);

    /** Closes the connection and stops the thread, after running every task posted before. */
    ~SessionBus() override;

    /** The address of the user's session bus: DBUS_SESSION_BUS_ADDRESS when set, else the
        socket "bus" in XDG_RUNTIME_DIR when there is one, else empty. Nothing is started to find
        one. Any thread.
    */
    static juce::String findSessionAddress();

    /** Runs a task on the bus thread with the connection, or with nullptr when there is none.
        Tasks posted while the connection is still being made wait for it; they run in the
        order posted. Any thread.
    */
    void post (std::function<void (Connection*)> task);

    /** Posts a task and waits until it has run. Never from the bus thread; the message thread
        uses it only to take a service off the bus when it goes.
    */
    void postAndWait (std::function<void (Connection*)> task);

    /** Waits until the connection is made or found impossible; true when connected. For
        callers that must know (tests). Any thread but the bus thread.
    */
    bool waitUntilSettled (int timeoutMs) const;

    /** True while the bus thread runs the caller. */
    bool isBusThread() const noexcept { return juce::Thread::getCurrentThread() == this; }

    /** The bus's log line when no session bus can be used. */
    static constexpr const char* noBusLogPrefix = "desktop bus: no session bus";

private:
    enum class Link
    {
        connecting,
        connected,
        absent
    };

    void run() override;
    // A failure without a reason (a cancelled attempt) is not logged.
    void settle (Connection* newConnection, const juce::String& failure);
    void runTask (std::function<void (Connection*)>& task);

    static void connectionReady (void* source, void* result, void* self);

    const juce::String address;
    _GMainContext* context = nullptr;
    _GMainLoop* loop = nullptr;

    // Touched on the bus thread only, except `link`, which waitUntilSettled reads.
    Connection* connection = nullptr;
    std::atomic<Link> link { Link::connecting };
    std::vector<std::function<void (Connection*)>> waiting;
    juce::WaitableEvent settled { true };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SessionBus)
};
