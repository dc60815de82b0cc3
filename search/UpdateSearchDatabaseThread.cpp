#include "search/UpdateSearchDatabaseThread.h"

#include "app/PrivateTempFolder.h"
#include "app/SharedRes.h"
#include "model/CatalogDocument.h"
#include "model/Core.h"
#include "search/TranscriptIndexer.h"
#include "search/TranscriptStore.h"
#include "server/HttpClient.h"

#include <pugixml.hpp>

UpdateSearchDatabaseThread::UpdateSearchDatabaseThread (Core& owner, const juce::String& url, const juce::File& folder, juce::NotificationType notificationType)
    : Thread ("updateSearchDatabase"),
      core (owner),
      catalogUrl (url),
      temporaryFolder (folder),
      notification (notificationType)
{
}

UpdateSearchDatabaseThread::~UpdateSearchDatabaseThread()
{
    stopThread (stopTimeoutMs);
}

std::unique_ptr<juce::Thread> UpdateSearchDatabaseThread::make (Core& core)
{
    return std::make_unique<UpdateSearchDatabaseThread> (core, SharedRes::getInstance()->getCatalogUrl(), PrivateTempFolder::get());
}

juce::String UpdateSearchDatabaseThread::buildRequestUrl (const juce::String& url)
{
    return HttpClient::withQuery (url, { { "nocache", "1" }, { "auth", "0" }, { "min", "1" } });
}

juce::File UpdateSearchDatabaseThread::chooseTemporaryFile (const juce::File& folder)
{
    return folder.getNonexistentChildFile ("temp_" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt()), "tsy", false);
}

void UpdateSearchDatabaseThread::run()
{
    juce::MemoryBlock body;
    const auto response = HttpClient::forThisThread().get (buildRequestUrl (catalogUrl), body);

    // An error page is never read as transcripts, however well-formed it is.
    CatalogDocument document;

    if (! response.isSuccess() || ! document.parse (std::move (body)) || document.getRootName() != "catalog")
    {
        core.installSearchDatabase (false, {}, notification);
        return;
    }

    const auto file = temporaryFolder != juce::File() ? chooseTemporaryFile (temporaryFolder) : juce::File();
    const auto result = file != juce::File() ? TranscriptIndexer::build (document.getRoot(), file, [this]
                                                                         { return threadShouldExit(); })
                                             : TranscriptIndexer::Result::failed;

    // The transcripts kept for reading go in first, so that the "cd" of the install finds them
    // in place; they come from the same download as the database, and only a whole one.
    if (result == TranscriptIndexer::Result::built)
    {
        const auto transcripts = chooseTemporaryFile (temporaryFolder);

        if (TranscriptStore::build (document.getRoot(), transcripts, [this]
                                    { return threadShouldExit(); }))
            TranscriptStore::install (transcripts, TranscriptStore::getFileBeside (core.getSearchDatabaseFile()));
    }

    core.installSearchDatabase (result == TranscriptIndexer::Result::built, file, notification);
}
