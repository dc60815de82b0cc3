#include "app/PreferencesManager.h"
#include "app/SharedRes.h"
#include "kit/CustomLookAndFeel2.h"
#include "kit/SearchTextEditorLookAndFeel.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/ScriptedPrompts.h"

#include <ProjectInfo.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace
{
class SharedResources : public ::testing::Test
{
protected:
    void TearDown() override
    {
        PreferencesManager::deleteInstance();
        SharedRes::deleteInstance();
    }

    SharedRes& create()
    {
        SharedRes::deleteInstance();
        return *SharedRes::getInstance();
    }

    ScratchHome home;
    ScriptedPrompts prompts;
};
} // namespace

TEST_F (SharedResources, DefaultsWithoutOverride)
{
    auto& shared = create();
    EXPECT_EQ (shared.getUserDataFolder(), home.getUserDataFolder());
    EXPECT_TRUE (shared.getUserDataFolder().isDirectory());
    EXPECT_EQ (shared.getCatalogUrl(), juce::String (ProjectInfo::defaultServiceBaseUrl) + "catalog.php");
    EXPECT_TRUE (shared.getCatalogUrl().startsWith ("http://"));
    EXPECT_TRUE (shared.getCommonDataFolder().getFullPathName().endsWith ("/share/Tessaly/TSY-Player"));
    EXPECT_TRUE (prompts.shown.empty());
}

TEST_F (SharedResources, OverrideFileRedirectsServiceAndData)
{
    ASSERT_TRUE (home.getFolder().getChildFile ("tsy-testurl.txt").replaceWithText ("  http://127.0.0.1:9/staging \n"));
    auto& shared = create();
    EXPECT_EQ (shared.getCatalogUrl(), "http://127.0.0.1:9/staging/catalog.php");
    EXPECT_EQ (shared.getUserDataFolder(), home.getUserDataFolder().getChildFile ("test"));

    ASSERT_EQ (prompts.shown.size(), 1u);
    EXPECT_EQ (prompts.shown[0].title, "Test site");
    EXPECT_EQ (prompts.shown[0].icon, Prompts::Icon::info);
    EXPECT_EQ (prompts.shown[0].text,
               "http://127.0.0.1:9/staging will be used as base address for the tests. To change this, edit the file "
                   + home.getFolder().getChildFile ("tsy-testurl.txt").getFullPathName()
                   + " or delete it to use the default address");

    // The preferences follow the redirection.
    PreferencesManager::getInstance()->load (shared.getUserDataFolder().getChildFile ("preferences.xml"));
    EXPECT_EQ (PreferencesManager::getInstance()->getMoviesRootDirectory(), home.getUserDataFolder().getChildFile ("test"));
    PreferencesManager::deleteInstance();
    EXPECT_TRUE (home.getUserDataFolder().getChildFile ("test/preferences.xml").existsAsFile());
    EXPECT_FALSE (home.getUserDataFolder().getChildFile ("preferences.xml").exists());
}

TEST_F (SharedResources, BlankOverrideReachesNoServer)
{
    ASSERT_TRUE (home.getFolder().getChildFile ("tsy-testurl.txt").replaceWithText (" \n\t"));
    EXPECT_EQ (create().getCatalogUrl(), "/catalog.php");
}

TEST_F (SharedResources, AFileInPlaceOfTheDataFolderIsRepairedWhenTheUserAgrees)
{
    const auto folder = home.getUserDataFolder();
    ASSERT_TRUE (folder.getParentDirectory().createDirectory());
    ASSERT_TRUE (folder.replaceWithText ("not a folder"));

    prompts.answerNext (true);
    create();
    ASSERT_EQ (prompts.shown.size(), 1u);
    EXPECT_EQ (prompts.shown[0].title, "Error");
    EXPECT_EQ (prompts.shown[0].icon, Prompts::Icon::warning);
    EXPECT_EQ (prompts.shown[0].buttons, juce::StringArray ({ "Delete file and create folder", "Cancel" }));
    EXPECT_EQ (prompts.shown[0].text,
               "The following path must be a folder, but it appears to be a file instead:\n" + folder.getFullPathName()
                   + "\nDo you want to delete the file and create a folder in its place?");
    EXPECT_TRUE (folder.isDirectory());
}

TEST_F (SharedResources, AFileInPlaceOfTheDataFolderStaysWhenTheUserCancels)
{
    const auto folder = home.getUserDataFolder();
    ASSERT_TRUE (folder.getParentDirectory().createDirectory());
    ASSERT_TRUE (folder.replaceWithText ("keep me"));

    prompts.answerNext (false);
    create();
    EXPECT_EQ (prompts.shown.size(), 1u);
    EXPECT_TRUE (folder.existsAsFile());
    EXPECT_EQ (folder.loadFileAsString(), "keep me");
}

TEST_F (SharedResources, DrawablesIconsAndLookAndFeels)
{
    auto& shared = create();

    for (int i = 0; i < SharedRes::numTreeIcons; ++i)
        EXPECT_NE (shared.getTreeIcon (i), nullptr) << "tree icon " << i;

    EXPECT_EQ (shared.getTreeIcon (9), shared.getDrawable ("/vector/clear-search"));
    EXPECT_EQ (shared.getTreeIcon (1), shared.getDrawable ("/vector/play-small"));
    EXPECT_EQ (shared.getTreeIcon (2), shared.getDrawable ("/vector/free-video"));
    EXPECT_EQ (shared.getTreeIcon (12), shared.getDrawable ("/vector/go-bottom-orange"));
    EXPECT_EQ (shared.getTreeIcon (13), nullptr);

    for (auto key : { "/vector/cover-icon", "/vector/credits-icon", "/vector/partners-icon", "/vector/min-volume", "/vector/max-volume" })
        EXPECT_NE (shared.getDrawable (key), nullptr) << key;

    auto* custom = shared.getObject<CustomLookAndFeel2> ("/custom");
    ASSERT_NE (custom, nullptr);
    EXPECT_EQ (shared.getObject<SearchTextEditorLookAndFeel> ("/custom"), nullptr);
    EXPECT_EQ (custom->getTickOnDrawable(), shared.getDrawable ("/vector/led-on"));
    EXPECT_EQ (custom->getTickOffDrawable(), shared.getDrawable ("/vector/led-off"));

    // The colour table, by the identifiers' numeric values.
    const std::pair<int, juce::uint32> colours[] = {
        { 0x1000100, 0xffffffff }, { 0x1000101, 0xffaaaaaa }, { 0x1005701, 0xff121212 }, { 0x1000206, 0x7f000000 },
        { 0x1000205, 0x66000000 }, { 0x1000207, 0x00ffffff }, { 0x1001300, 0xff666666 }, { 0x1001900, 0xffb9c3ce },
        { 0x1001a00, 0xffffcd9b }, { 0x1000400, 0xffb9c3ce }, { 0x1001800, 0xff303030 }, { 0x1000d00, 0xffe0e0e0 },
        { 0x1000700, 0xff303030 }, { 0x1000900, 0xffffcd9b }, { 0x1000501, 0x00000000 }, { 0x1000500, 0xffe6e9ec },
        { 0x1001c10, 0xff000000 }, { 0x1001b00, 0xffffd8b3 }, { 0x20003020, 0xff000000 }, { 0x20003030, 0xff000000 },
    };

    for (const auto& [id, argb] : colours)
        EXPECT_EQ (custom->findColour (id).getARGB(), argb) << std::hex << id;

    ASSERT_TRUE (custom->getButtonFont().has_value());
    EXPECT_FLOAT_EQ (custom->getButtonFont()->getHeight(), 12.5f);
    EXPECT_EQ (custom->getButtonFont()->getTypefacePtr(), shared.getTypeface ("Lucida Grande Bold"));
    ASSERT_TRUE (custom->getMenuFont().has_value());
    EXPECT_FLOAT_EQ (custom->getMenuFont()->getHeight(), 13.0f);
    EXPECT_EQ (custom->getTitleFont()->getTypefacePtr(), shared.getTypeface ("Lucida Grande Regular"));

    auto* search = shared.getObject<SearchTextEditorLookAndFeel> ("/searchEditor");
    ASSERT_NE (search, nullptr);
    EXPECT_EQ (search->findColour (juce::TextEditor::backgroundColourId).getARGB(), 0x00ffffffu);
}

TEST_F (SharedResources, TheUserDataFolderIsClosedToOtherUsers)
{
    const auto folder = home.getUserDataFolder();
    ASSERT_TRUE (folder.createDirectory());
    ASSERT_EQ (chmod (folder.getFullPathName().toRawUTF8(), 0755), 0);
    create();

    struct stat info
    {
    };

    ASSERT_EQ (stat (folder.getFullPathName().toRawUTF8(), &info), 0);
    EXPECT_EQ (info.st_mode & 0777, 0700u);
}
