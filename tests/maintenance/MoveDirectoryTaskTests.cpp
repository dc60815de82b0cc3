#include "maintenance/MoveDirectoryTask.h"
#include "maintenance/VerifiedCopy.h"
#include "tests/maintenance/MaintenanceTestSupport.h"

namespace
{
class MoveTest : public ::testing::Test
{
protected:
    MoveTest()
    {
        // A chapter tree: files at the top, in folders and in a folder inside a folder.
        writeBytes (source.getChildFile ("top.txt"), 10);
        writeBytes (source.getChildFile ("u1/ch1/ch1.bin"), 3000);
        writeBytes (source.getChildFile ("u1/ch1/ch1.xml"), 200);
        writeBytes (source.getChildFile ("u1/ch2/.hidden"), 5);
        writeBytes (source.getChildFile ("u2/ch9/ch9.bin"), 70000);
        original = listTree (source);
    }

    ~MoveTest() override { scratch.deleteRecursively(); }

    MoveDirectoryTask makeTask (const juce::File& to) const { return { source, to, "could not copy" }; }

    ScriptedPrompts prompts;
    const juce::File scratch = juce::File::createTempFile ("tsy-move");
    const juce::File source = scratch.getChildFile ("old/users");
    const juce::File destination = scratch.getChildFile ("new/users");
    juce::StringArray original;
};
} // namespace

TEST_F (MoveTest, MovesTheWholeTreeAndThenDeletesTheSource)
{
    auto task = makeTask (destination);
    EXPECT_TRUE (task.runModally());

    EXPECT_EQ (listTree (destination), original) << "hidden files and nested folders too";
    EXPECT_FALSE (source.exists());
    EXPECT_TRUE (source.getParentDirectory().isDirectory()) << "only the moved folder goes";
    EXPECT_EQ (prompts.progressTitles, juce::StringArray ("Moving video files"));
    EXPECT_TRUE (prompts.shown.empty()) << "no box after a move that worked";
}

TEST_F (MoveTest, NothingToMoveIsNoError)
{
    source.deleteRecursively();
    auto task = makeTask (destination);
    EXPECT_TRUE (task.runModally());
    EXPECT_TRUE (prompts.shown.empty()) << "no \"Copy error\" where nothing failed";
    EXPECT_FALSE (destination.exists());
}

TEST_F (MoveTest, ImpossibleMovesLeaveTheSourceAndSaySo)
{
    // A folder cannot be made below a file, also for root.
    ASSERT_TRUE (scratch.getChildFile ("new").replaceWithText ("a file"));

    for (const auto& to : { destination, source.getChildFile ("u1/users"), source })
    {
        prompts.shown.clear();
        auto task = makeTask (to);
        EXPECT_FALSE (task.runModally()) << to.getFullPathName();
        EXPECT_EQ (listTree (source), original);
        ASSERT_EQ (prompts.shown.size(), 1u);
        EXPECT_EQ (prompts.shown[0].title, "Copy error");
        EXPECT_EQ (prompts.shown[0].text, "could not copy");
    }

    source.deleteRecursively();
    ASSERT_TRUE (source.replaceWithText ("not a folder"));
    auto task = makeTask (scratch.getChildFile ("other"));
    EXPECT_FALSE (task.run());
    EXPECT_TRUE (source.existsAsFile());
}

TEST_F (MoveTest, AFullDiskStopsTheCopyAndKeepsEveryOriginal)
{
    // The framework's copy reports success for a file cut short by a full disk; the move must
    // not believe it.
    {
        const FileSizeLimit fullAfter (50000);
        const auto shortCopy = scratch.getChildFile ("short.bin");
        EXPECT_TRUE (source.getChildFile ("u2/ch9/ch9.bin").copyFileTo (shortCopy)) << "the fault this guards against";
        EXPECT_LT (shortCopy.getSize(), 70000);

        auto task = makeTask (destination);
        EXPECT_FALSE (task.runModally());
    }

    EXPECT_EQ (listTree (source), original) << "the source is untouched";
    EXPECT_TRUE (listTree (destination).contains ("top.txt:10")) << "what was copied before the failure stays";
    EXPECT_FALSE (destination.getChildFile ("u2/ch9/ch9.bin").exists()) << "no short copy passes for the chapter";
    ASSERT_EQ (prompts.shown.size(), 1u);
    EXPECT_EQ (prompts.shown[0].title, "Copy error");
}

TEST_F (MoveTest, IntoAnExistingUsersFolderOverwritesNamesakesAndKeepsTheRest)
{
    writeBytes (destination.getChildFile ("u1/ch1/ch1.bin"), 17);
    writeBytes (destination.getChildFile ("u3/other.bin"), 33);

    auto task = makeTask (destination);
    EXPECT_TRUE (task.runModally());

    auto expected = original;
    expected.add ("u3/other.bin:33");
    expected.sort (false);
    EXPECT_EQ (listTree (destination), expected);
    EXPECT_FALSE (source.exists());
}

TEST (VerifiedCopy, OnlyOriginalsWithAWholeCopyAreDeleted)
{
    const auto scratch = juce::File::createTempFile ("tsy-verified");
    const auto source = scratch.getChildFile ("a");
    const auto copy = scratch.getChildFile ("b");
    writeBytes (source.getChildFile ("x/one.bin"), 100);
    writeBytes (source.getChildFile ("x/two.bin"), 100);
    ASSERT_TRUE (VerifiedCopy::copyTree (source, copy));

    // A file filed after the copy was made, and a copy that went short since.
    writeBytes (source.getChildFile ("x/late.bin"), 100);
    writeBytes (copy.getChildFile ("x/two.bin"), 50);

    EXPECT_FALSE (VerifiedCopy::removeCopiedOriginals (source, copy));
    EXPECT_EQ (listTree (source), juce::StringArray ({ "x/late.bin:100", "x/two.bin:100" }));

    copy.getChildFile ("x/two.bin").deleteFile();
    ASSERT_TRUE (VerifiedCopy::copyTree (source, copy));
    EXPECT_TRUE (VerifiedCopy::removeCopiedOriginals (source, copy));
    EXPECT_FALSE (source.exists());
    EXPECT_EQ (listTree (copy).size(), 3);
    scratch.deleteRecursively();
}
