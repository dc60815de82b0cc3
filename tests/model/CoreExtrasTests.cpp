#include "model/CatalogParser.h"
#include "model/Core.h"

#include "tests/common/JucePrinters.h"

#include <gtest/gtest.h>

namespace
{
/** What Core did with its extras downloader, in order. */
struct Journal
{
    juce::StringArray events;
};

/** Records every call instead of fetching. */
class RecordingExtras final : public ExtrasDownloader
{
public:
    explicit RecordingExtras (Journal& j) : journal (j) {}
    ~RecordingExtras() override { journal.events.add ("deleted"); }

    void start() override { journal.events.add ("start"); }
    void stop (int timeoutMs) override { journal.events.add ("stop " + juce::String (timeoutMs)); }

    void request (ExtrasKind kind, const juce::String& courseId, const juce::URL& url) override
    {
        journal.events.add (juce::String ((int) kind) + " " + courseId + " " + url.toString (true));
    }

    juce::File findCoverFile (const juce::String&) const override { return {}; }
    juce::File findCreditsFile (const juce::String&) const override { return {}; }
    juce::File findPartnersFolder (const juce::String&) const override { return {}; }

private:
    Journal& journal;
};

std::unique_ptr<Catalog> makeCatalog()
{
    auto root = juce::parseXML ("<catalog homeurl='http://h/home.php'>"
                                "<course id='B' coverurl='http://h/b1.png' creditsurl='http://h/b2.png' partnersurl='http://h/b3.zip'/>"
                                "<course id='A' coverurl='http://h/a1.png' creditsurl='http://h/a2.png'/>"
                                "</catalog>");
    auto catalog = std::make_unique<Catalog>();
    EXPECT_TRUE (CatalogParser::parseCatalog (*catalog, *root, true));
    return catalog;
}
} // namespace

TEST (CoreExtras, EveryNewCatalogHandsOverEachCoursesThreeAddressesInCourseOrder)
{
    Journal journal;
    Core::Workers workers;
    workers.makeExtrasDownloader = [&] (const juce::File& folder)
    {
        journal.events.add ("made for " + folder.getFileName());
        return std::make_unique<RecordingExtras> (journal);
    };

    {
        Core core (juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("tsy-core-extras"), std::move (workers));
        ASSERT_NE (core.getExtrasDownloader(), nullptr);
        EXPECT_EQ (journal.events, juce::StringArray ({ "made for tsy-core-extras", "start" }));
        journal.events.clear();

        const juce::StringArray handedOver { "0 B http://h/b1.png", "1 B http://h/b2.png", "2 B http://h/b3.zip",
                                             "0 A http://h/a1.png", "1 A http://h/a2.png", "2 A " };
        ASSERT_TRUE (core.setCatalog (makeCatalog()));
        EXPECT_EQ (journal.events, handedOver) << "catalog order, not identifier order; an empty address too";

        journal.events.clear();
        ASSERT_TRUE (core.setCatalog (makeCatalog()));
        EXPECT_EQ (journal.events, handedOver) << "repeated for every catalog";
        journal.events.clear();
    }

    EXPECT_EQ (journal.events, juce::StringArray ({ "stop 10000", "deleted" })) << "stopped before it is deleted";
}

TEST (CoreExtras, WithoutAFactoryThereIsNoDownloader)
{
    Core core (juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("tsy-core-extras"));
    EXPECT_EQ (core.getExtrasDownloader(), nullptr);
    EXPECT_TRUE (core.setCatalog (makeCatalog()));
}
