#include "model/Notifications.h"
#include "search/SearchPanel.h"
#include "tests/common/JucePrinters.h"
#include "tests/search/SearchTestSupport.h"
#include "ui/kit/ComponentContainer.h"
#include "ui/kit/ComponentPaths.h"

#include <gtest/gtest.h>

using namespace SearchTestSupport;

namespace
{
/** The search components as the main window builds them, and a panel driving them; Core's
    database is "data.dat" of the scratch folder when one is written.
*/
class SearchPanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        content.addComponentAt (ComponentPaths::bottomPanel, new juce::Component(), true);
        content.addComponentAt (ComponentPaths::searchPanel, new juce::Component(), true);
        content.addComponentAt (ComponentPaths::searchEditor, new juce::TextEditor(), true);
        content.addComponentAt (ComponentPaths::clearSearchButton, new juce::TextButton(), true);
        content.addComponentAt (ComponentPaths::searchResultLabel, new juce::Label(), true);
    }

    void TearDown() override
    {
        panel = nullptr;
        core = nullptr;
    }

    void open (bool withDatabase)
    {
        if (withDatabase)
        {
            ASSERT_TRUE (writeDatabase (scratch.folder.getChildFile ("data.dat"), { { "ch", { "casa", "bella", "e", "nuova", "casa" }, { { 20, 0 } } } }));
        }

        core = std::make_unique<Core> (scratch.folder);
        core->setCatalog (makeCatalog ({ "ch" }));
        panel = std::make_unique<SearchPanel> (*core, content);
        panel->refresh();
    }

    /** Types into the field and presses Return, then lets the search finish. */
    void searchFor (const juce::String& text)
    {
        editor().setText (text, false);
        panel->returnPressed();
        ASSERT_TRUE (MessagePump::runUntil ([this]
                                            { return ! panel->getSearch().isRunning(); }));

        // The window refreshes the panel on "sc".
        panel->refresh();
    }

    juce::TextEditor& editor() { return *content.getRequired<juce::TextEditor> (ComponentPaths::searchEditor); }
    juce::Button& clearButton() { return *content.getRequired<juce::Button> (ComponentPaths::clearSearchButton); }
    juce::String label() { return content.getRequired<juce::Label> (ComponentPaths::searchResultLabel)->getText(); }

    ScratchFolder scratch;
    qo::ComponentContainer content { "content" };
    std::unique_ptr<Core> core;
    std::unique_ptr<SearchPanel> panel;
};
} // namespace

TEST (SearchPanel, SplitsTheTrimmedTextAtEverySeparator)
{
    EXPECT_EQ (SearchPanel::splitWords ("  casa   nuova \n"), juce::StringArray ({ "casa", "", "", "nuova" }));
    EXPECT_EQ (SearchPanel::splitWords ("a\tb\nc\rd e"), juce::StringArray ({ "a", "b", "c", "d", "e" }));
    EXPECT_EQ (SearchPanel::splitWords ("\"casa nuova\""), juce::StringArray ({ "\"casa", "nuova\"" })) << "no quoting";
    EXPECT_TRUE (SearchPanel::splitWords ("").isEmpty());
    EXPECT_TRUE (SearchPanel::splitWords (" \t\r\n ").isEmpty());
}

TEST_F (SearchPanelTest, WhileIndexingTheFieldIsDisabledWithAGreyHint)
{
    open (false);
    EXPECT_FALSE (editor().isEnabled());
    EXPECT_FALSE (clearButton().isEnabled());
    EXPECT_EQ (editor().getTextToShowWhenEmpty(), "     Indexing...");
    EXPECT_EQ (label(), "");

    // The indexer installs the database: "cd" makes the field usable.
    const auto built = scratch.folder.getChildFile ("new.tsy");
    ASSERT_TRUE (writeDatabase (built, { { "ch", { "casa" }, {} } }));
    core->installSearchDatabase (true, built, true);
    panel->refresh();
    EXPECT_TRUE (editor().isEnabled());
    EXPECT_TRUE (clearButton().isEnabled());
    EXPECT_EQ (editor().getTextToShowWhenEmpty(), "");
}

TEST_F (SearchPanelTest, ShowsTheSearchAsCoreRemembersIt)
{
    open (true);
    EXPECT_TRUE (editor().isEnabled());
    EXPECT_EQ (label(), "");

    searchFor ("  casa ");
    EXPECT_EQ (core->getSearchWords(), juce::StringArray { "casa" });
    EXPECT_EQ (editor().getText(), "casa") << "the field is rewritten from the stored words";
    EXPECT_EQ (label(), "2 found");

    searchFor ("  casa   nuova  ");
    EXPECT_EQ (core->getSearchWords(), juce::StringArray ({ "casa", "", "", "nuova" }));
    EXPECT_EQ (editor().getText(), "casa   nuova");
    EXPECT_EQ (label(), "1 found");

    searchFor ("ciao");
    EXPECT_EQ (editor().getText(), "ciao");
    EXPECT_EQ (label(), "0 found");

    core->addMarker ("ch", "casa", 3.0);
    searchFor ("casa");
    EXPECT_EQ (label(), "3 found") << "spoken and marker hits together";
}

TEST_F (SearchPanelTest, ShowsASearchUnderWayAndItsWords)
{
    open (true);
    editor().setText (" bella \t", false);
    panel->returnPressed();
    EXPECT_EQ (editor().getText(), "bella");
    EXPECT_EQ (label(), "Searching...");

    ASSERT_TRUE (MessagePump::runUntil ([this]
                                        { return ! panel->getSearch().isRunning(); }));
    panel->refresh();
    EXPECT_EQ (label(), "1 found");
}

TEST_F (SearchPanelTest, TheClearButtonAndABlankFieldClearTheSearch)
{
    open (true);
    Messages messages (*core);
    searchFor ("casa");
    ASSERT_EQ (core->getTotalSearchHits(), 2);
    messages.drain();

    panel->clearPressed();
    EXPECT_TRUE (core->getSearchWords().isEmpty());
    EXPECT_EQ (core->getTotalSearchHits(), 0);
    EXPECT_EQ (editor().getText(), "");
    EXPECT_EQ (messages.drain(), juce::StringArray { Notifications::searchChanged });
    panel->refresh();
    EXPECT_EQ (label(), "");

    searchFor ("casa");
    searchFor ("   ");
    EXPECT_EQ (core->getTotalSearchHits(), 0);
    EXPECT_EQ (editor().getText(), "");
    EXPECT_EQ (label(), "");
}
