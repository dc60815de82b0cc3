#include "model/CatalogParser.h"
#include "model/Core.h"

#include "tests/common/JucePrinters.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace
{
/** Records every call into a journal instead of fetching. */
class RecordingExtras final : public ExtrasDownloader
{
public:
    explicit RecordingExtras (juce::StringArray& j) : journal (j) {}
    ~RecordingExtras() override { journal.add ("deleted"); }

    void start() override { journal.add ("start"); }
    void stop (int timeoutMs) override { journal.add ("stop " + juce::String (timeoutMs)); }

    void request (ExtrasKind kind, const juce::String& courseId, const juce::URL& url) override
    {
        journal.add (juce::String ((int) kind) + " " + courseId + " " + url.toString (true));
    }

    juce::File findCoverFile (const juce::String&) const override { return {}; }
    juce::File findCreditsFile (const juce::String&) const override { return {}; }
    juce::File findPartnersFolder (const juce::String&) const override { return {}; }

private:
    juce::StringArray& journal;
};

std::unique_ptr<Catalog> makeCatalog()
{
    auto root = juce::parseXML ("<catalog><course id='B' coverurl='http://h/b1.png' creditsurl='http://h/b2.png' partnersurl='http://h/b3.zip'/>"
                                "<course id='A' coverurl='http://h/a1.png' creditsurl='http://h/a2.png'/></catalog>");
    auto catalog = std::make_unique<Catalog>();
    EXPECT_TRUE (CatalogParser::parseCatalog (*catalog, *root, true));
    return catalog;
}

const juce::File coreFolder = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("tsy-core-extras");
} // namespace

TEST (CoreExtras, EveryNewCatalogHandsOverEachCoursesThreeAddressesInCourseOrder)
{
    juce::StringArray journal;
    Core::Workers workers;
    workers.makeExtrasDownloader = [&] (const juce::File& folder)
    {
        journal.add ("made for " + folder.getFileName());
        return std::make_unique<RecordingExtras> (journal);
    };

    {
        Core core (coreFolder, std::move (workers));
        EXPECT_EQ (journal, juce::StringArray ({ "made for tsy-core-extras", "start" }));

        const juce::StringArray handedOver { "0 B http://h/b1.png", "1 B http://h/b2.png", "2 B http://h/b3.zip",
                                             "0 A http://h/a1.png", "1 A http://h/a2.png", "2 A " };

        for (int i = 0; i < 2; ++i)
        {
            journal.clear();
            ASSERT_TRUE (core.setCatalog (makeCatalog()));
            EXPECT_EQ (journal, handedOver) << "catalog order, not identifier order; an empty address too; for every catalog";
        }

        journal.clear();
    }

    EXPECT_EQ (journal, juce::StringArray ({ "stop 10000", "deleted" })) << "stopped before it is deleted";

    Core withoutFactory (coreFolder);
    EXPECT_EQ (withoutFactory.getExtrasDownloader(), nullptr);
    EXPECT_TRUE (withoutFactory.setCatalog (makeCatalog()));
}

TEST (CoreExtras, ADeferredStartLeavesTheDatabaseAndTheDownloaderUntilItIsCalledOnce)
{
    // A search database in place, which an immediate start would open.
    const auto folder = coreFolder.getSiblingFile ("tsy-core-deferred");
    folder.deleteRecursively();
    ASSERT_TRUE (folder.createDirectory());
    sqlite3* db = nullptr;
    ASSERT_EQ (sqlite3_open (folder.getChildFile ("data.dat").getFullPathName().toRawUTF8(), &db), SQLITE_OK);
    EXPECT_EQ (sqlite3_exec (db, "CREATE TABLE main.words (idmovie VARCHAR(255), wordindex INTEGER, word VARCHAR(255))", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close (db);

    juce::StringArray journal;
    Core::Workers workers;
    workers.makeExtrasDownloader = [&] (const juce::File&) { return std::make_unique<RecordingExtras> (journal); };

    {
        Core core (folder, std::move (workers), Core::Start::deferred);
        EXPECT_TRUE (journal.isEmpty()) << "not started: " << journal.joinIntoString (", ");
        EXPECT_FALSE (core.isSearchDatabaseOpen());

        // The catalog's requests are handed over before the start, to be served after it.
        ASSERT_TRUE (core.setCatalog (makeCatalog()));
        EXPECT_EQ (journal.size(), 6);
        EXPECT_FALSE (journal.contains ("start"));

        core.startDeferredWork();
        EXPECT_EQ (journal[journal.size() - 1], "start");
        EXPECT_TRUE (core.isSearchDatabaseOpen());

        core.startDeferredWork();
        EXPECT_EQ (journal.joinIntoString (",").indexOf ("start"), journal.joinIntoString (",").lastIndexOf ("start")) << "started once";
    }

    // Nothing is deferred by default, and the call does nothing then.
    journal.clear();
    Core::Workers immediate;
    immediate.makeExtrasDownloader = [&] (const juce::File&) { return std::make_unique<RecordingExtras> (journal); };
    Core core (folder, std::move (immediate));
    EXPECT_EQ (journal, juce::StringArray ({ "start" }));
    EXPECT_TRUE (core.isSearchDatabaseOpen());
    core.startDeferredWork();
    EXPECT_EQ (journal, juce::StringArray ({ "start" }));
}
