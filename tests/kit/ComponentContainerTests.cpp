#include "kit/ComponentContainer.h"

#include <gtest/gtest.h>

namespace
{
/** Counts its own deletions so tests can see what the container deleted. */
struct Counted final : juce::Component
{
    Counted (const juce::String& name, int& deletions) : Component (name), deleted (deletions) {}
    ~Counted() override { ++deleted; }
    int& deleted;
};

juce::String pathProperty (const juce::Component* c)
{
    return c->getProperties()[qo::ComponentContainer::pathProperty].toString();
}
} // namespace

TEST (ComponentContainer, PathsAndProperties)
{
    qo::ComponentContainer content ("content");
    auto* leftPanel = new juce::Component ("leftPanel");
    auto* tree = new juce::TreeView ("treeView");
    ASSERT_TRUE (content.addComponent ({}, leftPanel, false));
    ASSERT_TRUE (content.addComponent ("leftPanel", tree, true));

    EXPECT_EQ (content.getComponent ("leftPanel/treeView"), tree);
    EXPECT_EQ (content.getComponent<juce::TreeView> ("leftPanel/treeView"), tree);
    EXPECT_EQ (content.getComponent<juce::Label> ("leftPanel/treeView"), nullptr) << "type-checked";
    EXPECT_EQ (pathProperty (tree), "leftPanel/treeView");
    EXPECT_EQ (pathProperty (leftPanel), "leftPanel");
    EXPECT_FALSE (leftPanel->isVisible());
    EXPECT_TRUE (tree->isVisible());
    EXPECT_EQ (tree->getParentComponent(), leftPanel);

    juce::Label* label = nullptr;
    EXPECT_FALSE (content.findComponent ("leftPanel/treeView", label));
    EXPECT_EQ (label, nullptr);
    juce::TreeView* found = nullptr;
    EXPECT_TRUE (content.findComponent ("leftPanel/treeView", found));
    EXPECT_EQ (found, tree);

    for (auto bad : { "leftPanel//treeView", "leftPanel/", "", "/leftPanel", "treeView", "leftpanel/treeView" })
        EXPECT_EQ (content.getComponent (bad), nullptr) << bad;
}

TEST (ComponentContainer, EmptyNamesAndFirstRegistrationWins)
{
    qo::ComponentContainer content ("content");
    content.addComponent ({}, new juce::Component ("moviePanel"), false);
    auto* unnamed = new juce::Component();
    content.addComponent ("moviePanel", unnamed, true);
    EXPECT_EQ (content.getComponent ("moviePanel/"), unnamed);
    EXPECT_EQ (pathProperty (unnamed), "moviePanel/");

    auto* first = new juce::Label ("timeLabel");
    auto* second = new juce::Label ("timeLabel");
    content.addComponent ("moviePanel", first, true);
    content.addComponent ("moviePanel", second, true);
    EXPECT_EQ (content.getComponent ("moviePanel/timeLabel"), first);
    EXPECT_EQ (second->getParentComponent(), content.getComponent ("moviePanel")) << "still a child";
    EXPECT_TRUE (pathProperty (second).isEmpty());
}

TEST (ComponentContainer, RemovingASubtreeAndDestruction)
{
    int deletions = 0;
    auto content = std::make_unique<qo::ComponentContainer> ("content");
    content->addComponent ({}, new Counted ("bottomPanel", deletions), true);
    content->addComponent ("bottomPanel", new Counted ("searchPanel", deletions), true);
    content->addComponent ("bottomPanel/searchPanel", new Counted ("searchEditor", deletions), true);
    content->addComponent ("bottomPanel", new Counted ("movieControlsPanel", deletions), true);
    auto* kept = new Counted ("leftPanel", deletions);
    content->addComponent ({}, kept, true);

    content->removeComponent ("bottomPanel/searchPanel");
    EXPECT_EQ (deletions, 2);
    EXPECT_EQ (content->getComponent ("bottomPanel/searchPanel"), nullptr);
    EXPECT_EQ (content->getComponent ("bottomPanel/searchPanel/searchEditor"), nullptr);
    EXPECT_NE (content->getComponent ("bottomPanel/movieControlsPanel"), nullptr);
    EXPECT_EQ (content->getComponent ("bottomPanel")->getNumChildComponents(), 1);

    content->removeComponent ("no/such/path");
    EXPECT_EQ (deletions, 2);

    EXPECT_FALSE (content->addComponent ("missing", new Counted ("orphan", deletions), true));
    EXPECT_EQ (deletions, 3) << "a component that cannot be placed is not leaked";

    content = nullptr;
    EXPECT_EQ (deletions, 6);
}

TEST (ComponentContainer, SplitPath)
{
    EXPECT_EQ (qo::ComponentContainer::splitPath ("a/b"), juce::StringArray ({ "a", "b" }));
    EXPECT_EQ (qo::ComponentContainer::splitPath ("a//b"), juce::StringArray ({ "a", "", "b" }));
    EXPECT_EQ (qo::ComponentContainer::splitPath ("a/"), juce::StringArray ({ "a", "" }));
    EXPECT_EQ (qo::ComponentContainer::splitPath (""), juce::StringArray ({ "" }));
}

TEST (ComponentContainer, AddingAtAPathNamesTheComponent)
{
    qo::ComponentContainer content ("content");
    ASSERT_TRUE (content.addComponentAt ("bottomPanel", new juce::Component ("whatever"), true));
    ASSERT_TRUE (content.addComponentAt ("bottomPanel/playPauseButton", new juce::TextButton(), true));
    EXPECT_FALSE (content.addComponentAt ("nowhere/button", new juce::TextButton(), true)) << "the parent must exist";

    auto* button = content.getRequired<juce::TextButton> ("bottomPanel/playPauseButton");
    ASSERT_NE (button, nullptr);
    EXPECT_EQ (button->getName(), "playPauseButton");
    EXPECT_EQ (pathProperty (button), "bottomPanel/playPauseButton");
}

TEST (ComponentContainer, AnAttachedPanelKeepsItsControlsAndTheirPathsResolve)
{
    int deletions = 0;
    Counted panel ("whatever", deletions);
    auto* play = new Counted ("playPauseButton", deletions);
    panel.addAndMakeVisible (play);

    {
        qo::ComponentContainer content ("content");
        content.addComponentAt ("bottomPanel", new juce::Component(), true);
        ASSERT_TRUE (content.attachComponentAt ("bottomPanel/movieControlsPanel", panel, false));
        EXPECT_EQ (panel.getName(), "movieControlsPanel");
        EXPECT_FALSE (panel.isVisible());
        EXPECT_EQ (content.getComponent ("bottomPanel/movieControlsPanel"), &panel);
        EXPECT_EQ (content.getComponent ("bottomPanel/movieControlsPanel/playPauseButton"), play) << "found through the panel's children";
        EXPECT_EQ (content.getComponent ("bottomPanel/movieControlsPanel/playPauseButton/deeper"), nullptr);
        EXPECT_EQ (content.getComponent ("bottomPanel/movieControlsPanel/nextButton"), nullptr);
        EXPECT_EQ (pathProperty (&panel), "bottomPanel/movieControlsPanel");

        content.removeComponent ("bottomPanel/movieControlsPanel");
        EXPECT_EQ (panel.getParentComponent(), nullptr) << "detached";
        EXPECT_EQ (deletions, 0) << "not deleted: the caller owns it";

        ASSERT_TRUE (content.attachComponentAt ("bottomPanel/movieControlsPanel", panel, true));
    }

    EXPECT_EQ (deletions, 0) << "the container went first and left the panel to its owner";
    EXPECT_EQ (panel.getParentComponent(), nullptr);
    panel.deleteAllChildren();
}

#if JUCE_DEBUG
TEST (ComponentContainerDeathTest, AMissingPathStopsADebugBuildAndIsNamed)
{
    qo::ComponentContainer content ("content");
    content.addComponentAt ("bottomPanel", new juce::Component(), true);

    EXPECT_DEATH (content.getRequired ("bottomPanel/playPauzeButton"), "bottomPanel/playPauzeButton");
    EXPECT_DEATH (content.getRequired<juce::Slider> ("bottomPanel"), "\"bottomPanel\"") << "a component of another type";
}
#endif
