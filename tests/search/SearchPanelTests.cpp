#include "app/SharedRes.h"
#include "kit/ComponentContainer.h"
#include "kit/ComponentPaths.h"
#include "model/Notifications.h"
#include "search/SearchPanel.h"
#include "tests/common/JucePrinters.h"
#include "tests/common/ScratchHome.h"
#include "tests/search/SearchTestSupport.h"

#include <gtest/gtest.h>

using namespace SearchTestSupport;

namespace
{
/** The panel in the window's bottom bar, driving a Core that has no search database yet; its
    controls are found by the paths the window's tests use.
*/
class SearchPanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        content.addComponentAt (ComponentPaths::bottomPanel, new juce::Component(), true);
        ASSERT_TRUE (content.attachComponentAt (ComponentPaths::searchPanel, panel, true));
        core->setCatalog (makeCatalog ({ "ch" }));
        panel.refresh();
    }

    void TearDown() override
    {
        content.removeComponent (ComponentPaths::searchPanel);
        SharedRes::deleteInstance();
    }

    bool waitUntilFinished()
    {
        return MessagePump::runUntil ([this]
                                      { return ! panel.getSearch().isRunning(); });
    }

    /** Types into the field and runs what its Return key runs, then lets the search finish and refreshes
        the panel as the window does on "sc".
    */
    void searchFor (const juce::String& text)
    {
        editor().setText (text, false);
        ASSERT_NE (editor().onReturnKey, nullptr);
        editor().onReturnKey();
        ASSERT_TRUE (waitUntilFinished());
        panel.refresh();
    }

    juce::TextEditor& editor() { return *content.getRequired<juce::TextEditor> (ComponentPaths::searchEditor); }
    juce::Button& clearButton() { return *content.getRequired<juce::Button> (ComponentPaths::clearSearchButton); }
    juce::String label() { return content.getRequired<juce::Label> (ComponentPaths::searchResultLabel)->getText(); }

    ScratchHome home; // the panel's skin comes from the program's shared resources
    ScratchFolder scratch;
    qo::ComponentContainer content { "content" };
    std::unique_ptr<Core> core = std::make_unique<Core> (scratch.folder);
    SearchPanel panel { *core };
};
} // namespace

TEST_F (SearchPanelTest, IsUsableOnceIndexedAndShowsTheSearchAsCoreRemembersIt)
{
    EXPECT_FALSE (editor().isEnabled());
    EXPECT_FALSE (clearButton().isEnabled());
    EXPECT_EQ (editor().getTextToShowWhenEmpty(), "     Indexing...");

    // The indexer installs the database: "cd" makes the field usable.
    const auto built = scratch.folder.getChildFile ("new.tsy");
    ASSERT_TRUE (writeDatabase (built, { { "ch", { "casa", "bella", "e", "nuova", "casa" }, { { 20, 0 } } } }));
    core->installSearchDatabase (true, built, juce::sendNotification);
    panel.refresh();
    EXPECT_TRUE (editor().isEnabled());
    EXPECT_TRUE (clearButton().isEnabled());
    EXPECT_EQ (editor().getTextToShowWhenEmpty(), "");
    EXPECT_EQ (label(), "");

    editor().setText (" bella \t", false);
    panel.returnPressed();
    EXPECT_EQ (editor().getText(), "bella");
    EXPECT_EQ (label(), "Searching...");
    ASSERT_TRUE (waitUntilFinished());
    panel.refresh();
    EXPECT_EQ (label(), "1 found");

    core->addMarker ("ch", "casa", 3.0);

    for (const auto& [typed, words, shown, found] : std::vector<std::tuple<juce::String, juce::StringArray, juce::String, juce::String>> {
             { "  casa   nuova \n", { "casa", "", "", "nuova" }, "casa   nuova", "1 found" },
             { "casa", { "casa" }, "casa", "3 found" }, // spoken and marker hits together
             { "ciao", { "ciao" }, "ciao", "0 found" } })
    {
        searchFor (typed);
        EXPECT_EQ (core->getSearchWords(), words);
        EXPECT_EQ (editor().getText(), shown) << "the field is rewritten from the stored words";
        EXPECT_EQ (label(), found);
    }

    // The clear button and a blank field clear the search.
    CoreBroadcasts messages (*core);
    searchFor ("casa");
    messages.drain();
    panel.clearPressed();
    EXPECT_EQ (core->getTotalSearchHits(), 0);
    EXPECT_EQ (editor().getText(), "");
    EXPECT_EQ (messages.drain(), juce::StringArray { Notifications::searchChanged });
    panel.refresh();
    EXPECT_EQ (label(), "");

    searchFor ("casa");
    searchFor (" \t\r\n ");
    EXPECT_TRUE (core->getSearchWords().isEmpty());
    EXPECT_EQ (core->getTotalSearchHits(), 0);
    EXPECT_EQ (editor().getText(), "");
    EXPECT_EQ (label(), "");
}
