#pragma once

#include "provider/LibraryLoader.h"
#include "provider/LibraryState.h"
#include "provider/WorkFolder.h"

namespace provider
{
/**
    Keeps the provider's library current: loads it at start, then watches the manifest and every
    file it names and reloads when any of them changes, remembering when that happened.

    A failed reload leaves the library unavailable (requests then answer with an error) until the
    files are fixed, because the previous library may describe files that are gone. Its thread
    compares the files' sizes and modification times twice a second; getState may be called from
    any thread at any time.
*/
class LibraryMonitor final : private juce::Thread
{
public:
    /** Works on libraryFolder; partners archives go into a private work folder (WorkFolder)
        in the temporary directory.
    */
    explicit LibraryMonitor (const juce::File& libraryFolder);

    /** Stops watching and deletes the work folder. */
    ~LibraryMonitor() override;

    /** The first load, on the calling thread; false with the reasons in error when it failed. */
    bool loadInitial (juce::String& error);

    /** Starts the watching thread. */
    void startWatching();

    /** Stops the watching thread, waiting for it. */
    void stopWatching();

    /** Looks at the files once and reloads if they changed (or had just changed when they were
        last read); returns true when the library as clients see it changed. Called by the
        watching thread, and by tests that do not want to wait for it.
    */
    bool checkForChanges();

    /** A copy of the current state; callable from any thread. */
    LibraryState getState() const;

    const juce::File& getLibraryFolder() const noexcept { return loader.getLibraryFolder(); }

    /** How often the watching thread looks at the files. */
    static constexpr int pollIntervalMs = 500;

private:
    void run() override;
    void install (LibraryLoader::Result result, bool isChange);

    WorkFolder workFolder;
    LibraryLoader loader;

    // Only the loading thread touches these.
    juce::Array<juce::File> watchedFiles;
    juce::uint64 watchedFingerprint = 0;
    bool watchedSettled = true;
    juce::String signature;

    mutable juce::CriticalSection stateLock;
    LibraryState state;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LibraryMonitor)
};
} // namespace provider
