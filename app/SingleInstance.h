#pragma once

#include <JuceHeader.h>

#include <functional>

/**
    One running player per user and session. The first start takes a lock in the user's own
    runtime folder and listens on a local socket beside it; a later start of the same user finds
    the lock taken, tells the running player through the socket to come to the front, and ends.

    The folder belongs to the user alone (mode 0700), so another account's player neither blocks
    this one nor is blocked by it, and nobody else can take the lock or send the hand-over.

    Created and used on the message thread; hand-overs are read on a thread of its own and
    delivered to onHandOver on the message thread.
*/
class SingleInstance final : private juce::Thread
{
public:
    /** "tsy-player-<uid>" in $XDG_RUNTIME_DIR when that is a folder of this user's, else in the
        user's data folder; created with mode 0700. File() when neither can be had.
    */
    static juce::File getDefaultFolder();

    /** Works in folder; takes nothing yet. */
    explicit SingleInstance (juce::File folder);

    /** Releases the lock and stops listening. */
    ~SingleInstance() override;

    /** Takes the lock and starts listening for hand-overs. False when another instance of this
        user holds it. Without a usable folder there is no lock to take, and this start runs.
    */
    bool acquire();

    /** Sends a command line to the instance holding the lock, asking it to come to the front;
        false when nothing answered within timeoutMs.
    */
    bool handOver (const juce::String& commandLine, int timeoutMs = 2000) const;

    /** Called on the message thread with the command line of each later start. */
    std::function<void (const juce::String&)> onHandOver;

    /** The lock file's and the socket's names inside the folder. */
    static constexpr const char* lockFileName = "instance.lock";
    static constexpr const char* socketName = "instance.socket";

private:
    void run() override;

    juce::File folder;
    int lockDescriptor = -1;
    int listener = -1;
    std::shared_ptr<bool> alive = std::make_shared<bool> (true);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SingleInstance)
};
