#include "provider/LibraryMonitor.h"

#include <iostream>

namespace provider
{
LibraryMonitor::LibraryMonitor (const juce::File& libraryFolder)
    : juce::Thread ("library-monitor"),
      loader (libraryFolder, workFolder.getFolder())
{
}

LibraryMonitor::~LibraryMonitor()
{
    stopWatching();
}

bool LibraryMonitor::loadInitial (juce::String& error)
{
    auto result = loader.load();
    error = result.error;
    install (std::move (result), false);
    return error.isEmpty();
}

void LibraryMonitor::startWatching()
{
    startThread();
}

void LibraryMonitor::stopWatching()
{
    stopThread (5000);
}

void LibraryMonitor::run()
{
    while (! threadShouldExit())
    {
        wait (pollIntervalMs);

        if (! threadShouldExit())
            checkForChanges();
    }
}

bool LibraryMonitor::checkForChanges()
{
    if (watchedSettled && FileFingerprint::of (watchedFiles) == watchedFingerprint)
        return false;

    auto result = loader.load();

    // Files touched without a change of content, or read again only because they had just been
    // written, leave the library as clients know it.
    const bool changed = result.signature != signature;

    if (changed || result.error != getState().loadError)
    {
        if (result.error.isNotEmpty())
            std::cerr << "tsy-provider: the library cannot be used until it is fixed:\n"
                      << result.error << std::endl;
        else
            std::cerr << "tsy-provider: library reloaded" << std::endl;
    }

    install (std::move (result), changed);
    return changed;
}

void LibraryMonitor::install (LibraryLoader::Result result, bool isChange)
{
    watchedFiles = result.watchedFiles;
    watchedFingerprint = result.fingerprint;
    watchedSettled = result.settled;
    signature = result.signature;

    const juce::ScopedLock scope (stateLock);
    state.library = std::move (result.library);
    state.loadError = result.error;

    if (isChange)
        state.lastChange = juce::Time::getCurrentTime();
}

LibraryState LibraryMonitor::getState() const
{
    const juce::ScopedLock scope (stateLock);
    return state;
}
} // namespace provider
