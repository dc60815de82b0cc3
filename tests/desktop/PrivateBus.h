#pragma once

#include <JuceHeader.h>

#include <gio/gio.h>

#include <functional>
#include <thread>

/**
    A session message bus of the test's own: Debian's dbus-daemon started with the session
    configuration on a socket in a fresh folder, ended when this goes.
*/
class PrivateBus final
{
public:
    /** Listens on this socket file, or on one in a fresh folder when none is given. */
    explicit PrivateBus (const juce::File& socketFile = {});
    ~PrivateBus();

    /** The bus's address, empty when the daemon did not start. */
    const juce::String& getAddress() const noexcept { return address; }

private:
    juce::File folder;
    juce::ChildProcess daemon;
    juce::String address;

    JUCE_DECLARE_NON_COPYABLE (PrivateBus)
};

/**
    Another program on a bus, written with plain GDBus: a connection of its own with a GLib loop
    on a thread of its own, for calling the player's objects, watching its signals and serving
    objects the player calls.
*/
class BusPeer final
{
public:
    explicit BusPeer (const juce::String& address);
    ~BusPeer();

    GDBusConnection* getConnection() const noexcept { return connection; }

    /** Runs a function on the peer's loop thread and waits until it has run. */
    void runOnLoop (std::function<void()> function);

    /** Calls a method and waits for the reply (nullptr on an error, whose text goes to
        `error`).
    */
    GVariant* call (const char* destination, const char* path, const char* interface, const char* method, GVariant* parameters, juce::String* error = nullptr);

    /** Reads a property through org.freedesktop.DBus.Properties.Get; nullptr when that fails. */
    GVariant* getProperty (const char* destination, const char* interface, const char* name);

    /** Asks the bus to give the peer a name and waits until it is the owner. */
    bool ownName (const char* name);

    /** The unique names owning a name, empty when none. */
    juce::String getNameOwner (const char* name);

private:
    GMainContext* context = g_main_context_new();
    GMainLoop* loop = g_main_loop_new (context, FALSE);
    GDBusConnection* connection = nullptr;
    std::thread thread;

    JUCE_DECLARE_NON_COPYABLE (BusPeer)
};

/** A value as GLib writes it, with the types of its numbers ("uint32 7", "int64 5"). */
juce::String printVariant (GVariant* value);

/** A logger that keeps every line, installed as the process's logger while it lives. */
class CapturedLog final : public juce::Logger
{
public:
    CapturedLog() { juce::Logger::setCurrentLogger (this); }
    ~CapturedLog() override { juce::Logger::setCurrentLogger (nullptr); }

    void logMessage (const juce::String& message) override
    {
        const juce::ScopedLock sl (lock);
        lines.add (message);
    }

    /** The lines that start with a prefix. */
    juce::StringArray linesStartingWith (const juce::String& prefix) const;

private:
    juce::CriticalSection lock;
    juce::StringArray lines;
};
