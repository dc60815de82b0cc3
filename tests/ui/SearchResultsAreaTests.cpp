#include "model/CatalogParser.h"
#include "model/Notifications.h"
#include "tests/common/MessagePump.h"
#include "tests/common/ScratchHome.h"
#include "ui/SearchResultsArea.h"

#include <gtest/gtest.h>

namespace
{
std::unique_ptr<Catalog> makeCatalog()
{
    auto catalog = std::make_unique<Catalog>();
    CatalogParser::parseCatalog (*catalog, *juce::parseXML ("<catalog><course id='c1' title='C'><lesson order='1'><chapter id='a' order='1' title='A'/></lesson></course></catalog>"), false);
    return catalog;
}
} // namespace

TEST (SearchResultsArea, OpensWithHitsReopensAndClosesWithEscapeAChoiceOrAnEmptySearch)
{
    const ScratchHome home;
    Core core (home.getUserDataFolder());
    ASSERT_TRUE (core.setCatalog (makeCatalog()));
    juce::Component parent, label;
    parent.setSize (800, 600);
    std::vector<double> chosen;
    SearchResultsArea area (core, parent, label, [&] (const SearchResults::Row& row)
                            { chosen.push_back (row.seconds); });
    area.setBounds ({ 100, 0, 700, 600 });
    EXPECT_FALSE (area.isOpen());

    core.setSearchResults ({ "casa" }, { { "a", { 12.0, 30.0 } } });
    core.broadcast (Notifications::searchChanged);
    ASSERT_TRUE (MessagePump::runUntil ([&]
                                        { return area.isOpen(); }))
        << "a search with hits opens the list";
    EXPECT_EQ (area.getList().getParentComponent(), &parent);
    EXPECT_EQ (area.getList().getBounds(), juce::Rectangle<int> (100, 0, 700, 600));
    EXPECT_EQ (area.getList().getResults().getNumRows(), 2);

    {
        juce::FileOutputStream out (juce::File (TSY_UI_TEST_OUTPUT_DIR).getChildFile ("search-results.png"));
        out.setPosition (0);
        out.truncate();
        EXPECT_TRUE (juce::PNGImageFormat().writeImageToStream (area.getList().createComponentSnapshot (area.getList().getLocalBounds()), out));
    }

    EXPECT_TRUE (area.getList().keyPressed (juce::KeyPress (juce::KeyPress::escapeKey)));
    EXPECT_FALSE (area.isOpen());

    area.open();
    EXPECT_TRUE (area.isOpen());
    EXPECT_TRUE (area.getList().keyPressed (juce::KeyPress (juce::KeyPress::downKey)));
    EXPECT_TRUE (area.getList().keyPressed (juce::KeyPress (juce::KeyPress::returnKey)));
    EXPECT_EQ (chosen, std::vector<double> { 30.0 });
    EXPECT_FALSE (area.isOpen()) << "a choice closes the list";

    core.setSearchResults ({}, {});
    core.broadcast (Notifications::searchChanged);
    ASSERT_TRUE (MessagePump::runUntil ([&]
                                        { return area.getList().getResults().getNumRows() == 0; }))
        << "the clear button's empty search";
    area.open();
    EXPECT_FALSE (area.isOpen()) << "nothing to show";
}
