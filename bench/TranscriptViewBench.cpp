#include "bench/BenchCatalog.h"
#include "model/CatalogDocument.h"
#include "model/CatalogParser.h"
#include "model/Core.h"
#include "search/SearchResultsList.h"
#include "search/TranscriptPane.h"
#include "search/TranscriptStore.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <algorithm>

/*
    What the user sees of the search and of a transcript, painted into images as the window
    would paint them (software rendering, the program's own path on Linux).

    Transcript pane: a 20,000-word transcript with a stamp every 20 words and, here and there,
    markup. Ready: from the transcript's text to the pane's first painted frame (parse, measure,
    wrap, paint); ready_ms. Follow: a refresh every 1/25 s of playback through the whole
    transcript (the spoken line looked up, the list scrolled when it changed) and, for the
    refreshes where the line changed, the pane's repaint; follow_us is the mean cost of a
    refresh, paint_ms the worst repaint.

    Results list: 100,000 hits over 100 chapters of kept transcripts. First rows: from Core's
    hits to the list's first painted frame (the rows collected, the visible rows' texts read
    from the transcripts and painted); first_ms. Scrolling: 300 frames, each scrolled by a
    fifth of a page further through the whole list (every fifth by a hundred pages, so that new
    chapters' transcripts are read), each painted; worst_frame_ms and mean_frame_ms.
*/
namespace
{
double nowMs()
{
    return juce::Time::getMillisecondCounterHiRes();
}

juce::String makeTranscript (int numWords, juce::Random& random)
{
    const juce::StringArray vocabulary { "casa", "nuova", "e", "il", "di", "che", "buon", "giorno", "modello", "luce", "superficie", "vertice", "spigolo", "poligono", "rendering", "materiale" };
    juce::String text;
    text.preallocateBytes ((size_t) numWords * 10);

    for (int w = 0; w < numWords; ++w)
    {
        if (w % 20 == 0)
            text << "[" << (w / 2) / 60 << ":" << (w / 2) % 60 << "]";

        const auto roll = random.nextInt (100);
        text << (roll == 0 ? "*" : "") << vocabulary[random.nextInt (vocabulary.size())] << (roll == 1 ? " (ride)" : "") << (w % 12 == 11 ? ". " : " ");
    }

    return text;
}

const juce::String& getPaneTranscript()
{
    static const auto text = []
    {
        juce::Random random (29);
        return makeTranscript (20000, random);
    }();

    return text;
}

void BM_TranscriptPaneReady20000Words (benchmark::State& state)
{
    const auto& text = getPaneTranscript();

    for (auto _ : state)
    {
        const auto start = nowMs();
        TranscriptPane pane;
        pane.setBounds (0, 0, 420, 640);
        pane.setTranscript (std::make_shared<const TranscriptLines> (TranscriptLines::parse (text)), "none");
        pane.setSearchWords ({ "casa" });
        benchmark::DoNotOptimize (pane.createComponentSnapshot (pane.getLocalBounds()));
        const auto elapsed = nowMs() - start;

        state.SetIterationTime (elapsed / 1000.0);
        state.counters["ready_ms"] = elapsed;
        state.counters["lines"] = pane.getList().getModel()->getNumRows();
    }
}

void BM_TranscriptPaneFollowsPlayback (benchmark::State& state)
{
    const auto lines = std::make_shared<const TranscriptLines> (TranscriptLines::parse (getPaneTranscript()));
    const auto end = lines->getSpokenTime (lines->getNumWords() - 1) + 1.0;
    TranscriptPane pane;
    pane.setBounds (0, 0, 420, 640);
    pane.setTranscript (lines, "none");

    for (auto _ : state)
    {
        double followMs = 0.0, worstPaintMs = 0.0;
        int refreshes = 0;

        for (double t = 0.0; t < end; t += 1.0 / 25.0, ++refreshes)
        {
            const auto before = pane.getSpokenLine();
            const auto start = nowMs();
            pane.setPosition (t);
            followMs += nowMs() - start;

            if (pane.getSpokenLine() != before)
            {
                const auto paintStart = nowMs();
                benchmark::DoNotOptimize (pane.createComponentSnapshot (pane.getLocalBounds()));
                worstPaintMs = juce::jmax (worstPaintMs, nowMs() - paintStart);
            }
        }

        state.SetIterationTime (followMs / 1000.0);
        state.counters["follow_us"] = followMs * 1000.0 / refreshes;
        state.counters["paint_ms"] = worstPaintMs;
        state.counters["refreshes"] = refreshes;
    }
}

/** A Core over 100 chapters of kept transcripts with the 100,000 hits of "casa", as the search
    gives them.
*/
struct ResultsFixture
{
    ResultsFixture()
    {
        folder.deleteRecursively();
        folder.createDirectory();

        juce::Random random (31);
        juce::String document = "<catalog>", catalog = "<catalog>";
        Core::SearchHits hits;

        for (int c = 0; c < 100; ++c)
        {
            const auto id = "CH" + juce::String (c);
            juce::String text;

            for (int w = 0; w < 2000; ++w)
                text << (w % 20 == 0 ? "[" + juce::String (w / 120) + ":" + juce::String ((w / 2) % 60) + "]" : juce::String()) << (w % 2 == 0 ? "casa " : "bella ");

            const auto lines = TranscriptLines::parse (text);

            for (auto word : lines.findPhrase ({ "casa" }))
                hits[id].push_back (lines.getSeekTime (word));

            if (c % 10 == 0)
                document << (c > 0 ? "</lesson></course>" : "") << "<course id='K" << c / 10 << "'><lesson>",
                    catalog << (c > 0 ? "</lesson></course>" : "") << "<course id='K" << c / 10 << "' title='Corso " << c / 10 << "'><lesson order='1' title='Lezione'>";

            document << "<chapter id='" << id << "'><text>" << text << "</text></chapter>";
            catalog << "<chapter id='" << id << "' order='" << c % 10 + 1 << "' title='Capitolo " << c << "'/>";
        }

        document << "</lesson></course></catalog>";
        catalog << "</lesson></course></catalog>";

        CatalogDocument parsed;

        if (! parsed.parse (document))
            jassertfalse;

        const auto newFile = folder.getChildFile ("new.tsy");

        if (! TranscriptStore::build (parsed.getRoot(), newFile) || ! TranscriptStore::install (newFile, TranscriptStore::getFileBeside (folder.getChildFile ("data.dat"))))
            jassertfalse;

        core = std::make_unique<Core> (folder);
        auto records = std::make_unique<Catalog>();

        if (auto root = juce::parseXML (catalog); root == nullptr || ! CatalogParser::parseCatalog (*records, *root, false) || ! core->setCatalog (std::move (records)))
            jassertfalse;

        core->setSearchResults ({ "casa" }, std::move (hits));
    }

    juce::File folder = BenchCatalog::getScratchFolder().getChildFile ("results");
    std::unique_ptr<Core> core;
};

ResultsFixture& getResultsFixture()
{
    static ResultsFixture fixture;
    return fixture;
}

void BM_ResultsListFirstRows100000Hits (benchmark::State& state)
{
    auto& fixture = getResultsFixture();

    for (auto _ : state)
    {
        const auto start = nowMs();
        SearchResultsList list (*fixture.core);
        list.setBounds (0, 0, 640, 720);
        list.setResults (SearchResults::collect (*fixture.core));
        benchmark::DoNotOptimize (list.createComponentSnapshot (list.getLocalBounds()));
        const auto elapsed = nowMs() - start;

        state.SetIterationTime (elapsed / 1000.0);
        state.counters["first_ms"] = elapsed;
        state.counters["hits"] = list.getResults().getNumRows();
    }
}

void BM_ResultsListScrolls100000Hits (benchmark::State& state)
{
    auto& fixture = getResultsFixture();
    SearchResultsList list (*fixture.core);
    list.setBounds (0, 0, 640, 720);
    list.setResults (SearchResults::collect (*fixture.core));
    auto* viewport = list.getList().getViewport();
    const auto page = viewport->getViewHeight();

    for (auto _ : state)
    {
        double worst = 0.0, total = 0.0;
        int y = 0;
        constexpr int frames = 300;

        for (int f = 0; f < frames; ++f)
        {
            y += f % 5 == 4 ? page * 100 : page / 5;
            y %= juce::jmax (1, viewport->getViewedComponent()->getHeight() - page);

            const auto start = nowMs();
            viewport->setViewPosition (0, y);
            benchmark::DoNotOptimize (list.createComponentSnapshot (list.getLocalBounds()));
            const auto elapsed = nowMs() - start;
            worst = juce::jmax (worst, elapsed);
            total += elapsed;
        }

        state.SetIterationTime (total / 1000.0);
        state.counters["worst_frame_ms"] = worst;
        state.counters["mean_frame_ms"] = total / frames;
    }
}
} // namespace

BENCHMARK (BM_TranscriptPaneReady20000Words)->Unit (benchmark::kMillisecond)->UseManualTime()->Iterations (5);
BENCHMARK (BM_TranscriptPaneFollowsPlayback)->Unit (benchmark::kMillisecond)->UseManualTime()->Iterations (1);
BENCHMARK (BM_ResultsListFirstRows100000Hits)->Unit (benchmark::kMillisecond)->UseManualTime()->Iterations (3);
BENCHMARK (BM_ResultsListScrolls100000Hits)->Unit (benchmark::kMillisecond)->UseManualTime()->Iterations (1);
