#include "app/PrivateTempFolder.h"

#include "tests/common/JucePrinters.h"
#include "tests/downloads/DownloadTestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
mode_t modeOf (const juce::File& file)
{
    struct stat info
    {
    };
    lstat (file.getFullPathName().toRawUTF8(), &info);
    return info.st_mode & 0777;
}

class PrivateTempFolderTest : public ::testing::Test
{
protected:
    juce::File usualName() const
    {
        return temp.getParent().getChildFile ("tsy-player-" + juce::String ((juce::uint64) getuid()));
    }

    ScratchTempDir temp;
};
} // namespace

TEST_F (PrivateTempFolderTest, IsAFolderOfThisUserClosedToOthers)
{
    const auto folder = PrivateTempFolder::get();

    EXPECT_EQ (folder, usualName());
    EXPECT_TRUE (folder.isDirectory());
    EXPECT_EQ (modeOf (folder), (mode_t) 0700);
    EXPECT_EQ (PrivateTempFolder::get(), folder);
}

TEST_F (PrivateTempFolderTest, FollowsTmpdirAndFallsBackToTmp)
{
    EXPECT_EQ (PrivateTempFolder::getSystemTemporaryFolder(), temp.getParent());

    setenv ("TMPDIR", "relative/path", 1);
    EXPECT_EQ (PrivateTempFolder::getSystemTemporaryFolder(), juce::File ("/tmp"));

    unsetenv ("TMPDIR");
    EXPECT_EQ (PrivateTempFolder::getSystemTemporaryFolder(), juce::File ("/tmp"));
}

TEST_F (PrivateTempFolderTest, OwnFolderLeftOpenIsClosed)
{
    ASSERT_TRUE (usualName().createDirectory());
    chmod (usualName().getFullPathName().toRawUTF8(), 0777);

    EXPECT_EQ (PrivateTempFolder::get(), usualName());
    EXPECT_EQ (modeOf (usualName()), (mode_t) 0700);
}

TEST_F (PrivateTempFolderTest, NameTakenByAFileOrALinkGivesAFolderOfTheRunsOwn)
{
    const auto elsewhere = temp.getParent().getChildFile ("elsewhere");
    ASSERT_TRUE (elsewhere.createDirectory());

    for (const auto occupy : { 0, 1 })
    {
        usualName().deleteRecursively();

        if (occupy == 0)
            ASSERT_TRUE (usualName().replaceWithText ("planted"));
        else
            ASSERT_TRUE (elsewhere.createSymbolicLink (usualName(), true));

        EXPECT_EQ (PrivateTempFolder::getPrivateChild (temp.getParent()), juce::File()) << occupy;

        const auto folder = PrivateTempFolder::get();
        EXPECT_NE (folder, usualName());
        EXPECT_NE (folder, elsewhere);
        EXPECT_EQ (folder.getParentDirectory(), temp.getParent());
        EXPECT_TRUE (folder.getFileName().startsWith (usualName().getFileName() + "-"));
        EXPECT_EQ (modeOf (folder), (mode_t) 0700);
        EXPECT_EQ (PrivateTempFolder::get(), folder) << "the fallback is kept for the run";
    }

    EXPECT_TRUE (usualName().isSymbolicLink());
    EXPECT_EQ (elsewhere.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
}

TEST_F (PrivateTempFolderTest, FolderOfAnotherUserIsRefused)
{
    if (getuid() != 0)
        GTEST_SKIP() << "giving a folder to another user needs root";

    ASSERT_TRUE (usualName().createDirectory());
    ASSERT_EQ (chown (usualName().getFullPathName().toRawUTF8(), 12345, 12345), 0);

    EXPECT_EQ (PrivateTempFolder::getPrivateChild (temp.getParent()), juce::File());
    EXPECT_NE (PrivateTempFolder::get(), usualName());
}
