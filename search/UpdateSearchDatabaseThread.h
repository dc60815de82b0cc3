#pragma once

#include "model/ThreadStop.h"

#include <JuceHeader.h>

class Core;

/**
    Rebuilds the search database once per run: downloads the provider's transcript document,
    indexes it into a new database file in the temporary folder, and hands the file to Core,
    which puts it in place of "data.dat" and broadcasts "cd". Just before, the transcripts of
    the same download replace those kept for reading beside it (TranscriptStore). Until then,
    and whenever the rebuild fails or is stopped, the old database and transcripts stay in use.

    Core creates, starts, stops and deletes it (Core::Workers); the run executes on its own
    thread, "updateSearchDatabase", and touches nothing but its own file and Core's install.
*/
class UpdateSearchDatabaseThread final : public juce::Thread
{
public:
    /** An updater asking a catalog service URL for the transcripts and building its database in
        a temporary folder; the notification type is passed on to Core's install.
    */
    UpdateSearchDatabaseThread (Core& core, const juce::String& catalogUrl, const juce::File& temporaryFolder, juce::NotificationType notification = juce::sendNotification);

    /** Stops the run if it is still going, waiting up to ten seconds. */
    ~UpdateSearchDatabaseThread() override;

    /** The factory the application hands to Core: the shared resources' catalog service and
        the program's private temporary folder.
    */
    static std::unique_ptr<juce::Thread> make (Core& core);

    /** The transcripts request: the catalog service with "nocache=1&auth=0&min=1". */
    static juce::String buildRequestUrl (const juce::String& catalogUrl);

    /** A name for a new database file in a folder: "temp_", a random hexadecimal number and
        "tsy", drawn again while the name is taken.
    */
    static juce::File chooseTemporaryFile (const juce::File& folder);

    /** The time a stop request waits for the run before ending it by force. */
    static constexpr int stopTimeoutMs = ThreadStop::timeoutMs;

private:
    void run() override;

    Core& core;
    const juce::String catalogUrl;
    const juce::File temporaryFolder;
    const juce::NotificationType notification;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UpdateSearchDatabaseThread)
};
