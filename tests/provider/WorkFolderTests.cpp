#include "ScratchFolder.h"
#include "provider/WorkFolder.h"

#include <gtest/gtest.h>

using namespace provider;

TEST (WorkFolder, RemovesOnlyFoldersThatNoLivingOwnerHolds)
{
    ScratchFolder scratch;
    const auto parent = scratch.get();

    // Left by a provider that died: the lock file is there, nobody holds it.
    const auto abandoned = parent.getChildFile (WorkFolder::namePrefix + juce::String ("dead"));
    abandoned.getChildFile ("archive.zip").create();
    abandoned.getChildFile (WorkFolder::lockFileName).create();

    // Still being made, or of unknown state but recent: left alone.
    const auto making = parent.getChildFile (WorkFolder::namePrefix + juce::String ("young") + WorkFolder::makingSuffix);
    making.createDirectory();
    const auto unlockedRecent = parent.getChildFile (WorkFolder::namePrefix + juce::String ("recent"));
    unlockedRecent.createDirectory();
    const auto unlockedOld = parent.getChildFile (WorkFolder::namePrefix + juce::String ("old"));
    unlockedOld.createDirectory();
    unlockedOld.setLastModificationTime (juce::Time::getCurrentTime() - juce::RelativeTime::minutes (5));

    // Not a work folder at all.
    const auto other = parent.getChildFile ("tsy-provider-test-other");
    other.createDirectory();

    {
        WorkFolder living (parent);
        ASSERT_TRUE (living.getFolder().isDirectory());
        EXPECT_TRUE (living.getFolder().getFileName().startsWith (WorkFolder::namePrefix));
        EXPECT_FALSE (living.getFolder().getFileName().endsWith (WorkFolder::makingSuffix));

        EXPECT_FALSE (abandoned.exists());
        EXPECT_FALSE (unlockedOld.exists());
        EXPECT_TRUE (making.isDirectory());
        EXPECT_TRUE (unlockedRecent.isDirectory());
        EXPECT_TRUE (other.isDirectory());

        // A second owner leaves the first alone.
        WorkFolder second (parent);
        EXPECT_TRUE (living.getFolder().isDirectory());
        EXPECT_EQ (WorkFolder::removeAbandoned (parent), 0);
        EXPECT_NE (second.getFolder(), living.getFolder());
    }

    EXPECT_EQ (parent.findChildFiles (juce::File::findDirectories, false, juce::String (WorkFolder::namePrefix) + "*").size(), 2)
        << "the owners took their folders with them";
}
