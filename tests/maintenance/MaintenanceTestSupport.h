#pragma once

#include "app/PreferencesManager.h"
#include "app/SharedRes.h"
#include "model/CatalogParser.h"
#include "model/Core.h"
#include "tests/common/CoreBroadcasts.h"
#include "tests/common/JucePrinters.h"
#include "tests/common/MessagePump.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

/**
    A full disk for the files this process writes: writing past the given size fails with
    EFBIG, as writing to a full file system fails with ENOSPC, also for root. Restores the
    previous limit afterwards.
*/
class FileSizeLimit final
{
public:
    explicit FileSizeLimit (rlim_t bytes)
    {
        getrlimit (RLIMIT_FSIZE, &previous);
        previousHandler = std::signal (SIGXFSZ, SIG_IGN);
        auto limited = previous;
        limited.rlim_cur = bytes;
        EXPECT_EQ (setrlimit (RLIMIT_FSIZE, &limited), 0);
    }

    ~FileSizeLimit()
    {
        setrlimit (RLIMIT_FSIZE, &previous);
        std::signal (SIGXFSZ, previousHandler);
    }

private:
    rlimit previous {};
    void (*previousHandler) (int) = nullptr;

    JUCE_DECLARE_NON_COPYABLE (FileSizeLimit)
};

using Broadcasts = CoreBroadcasts;

/** A file of the given size whose bytes depend on its name, so copies can be told apart. */
inline bool writeBytes (const juce::File& file, int size)
{
    juce::MemoryBlock bytes ((size_t) size);
    juce::Random random (file.getFileName().hashCode64());

    for (size_t i = 0; i < bytes.getSize(); ++i)
        bytes[i] = (char) random.nextInt (256);

    return file.getParentDirectory().createDirectory() && file.replaceWithData (bytes.getData(), bytes.getSize());
}

/** Every file below a folder as "relative path:size", sorted. */
inline juce::StringArray listTree (const juce::File& folder)
{
    juce::StringArray result;

    for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFiles))
        result.add (entry.getFile().getRelativePathFrom (folder) + ":" + juce::String (entry.getFile().getSize()));

    result.sort (false);
    return result;
}

/**
    A signed-in user's Core over a movies root in a scratch home, with the preferences pointing
    at that root: the setting of the maintenance tasks.
*/
class MaintenanceTest : public ::testing::Test
{
protected:
    MaintenanceTest()
    {
        auto* preferences = PreferencesManager::getInstance();
        preferences->load (home.getUserDataFolder().getChildFile ("preferences.xml"));
        preferences->setMoviesRootDirectory (root);
        core->setUsersDirectory (root.getChildFile ("users"), juce::dontSendNotification);
    }

    ~MaintenanceTest() override
    {
        core = nullptr;
        PreferencesManager::deleteInstance();
        SharedRes::deleteInstance();
    }

    /** One course of the catalog: its title and the chapter ids of each lesson. */
    struct CourseSpec
    {
        juce::String title;
        std::vector<juce::StringArray> lessons;
    };

    /** Installs a catalog of user "u1"; the chapters listed in "downloaded" get a video of 2000
        bytes first, so they come up present.
    */
    void install (const std::vector<CourseSpec>& courses, const juce::StringArray& downloaded)
    {
        juce::XmlElement document ("catalog");
        document.setAttribute ("userid", "u1");
        document.setAttribute ("username", "Ada");

        for (const auto& spec : courses)
        {
            auto* course = document.createNewChildElement ("course");
            course->setAttribute ("id", "id-" + spec.title);
            course->setAttribute ("title", spec.title);

            for (const auto& chapters : spec.lessons)
            {
                auto* lesson = course->createNewChildElement ("lesson");

                for (const auto& id : chapters)
                {
                    auto* chapter = lesson->createNewChildElement ("chapter");
                    chapter->setAttribute ("id", id);
                    chapter->setAttribute ("title", "T " + id);
                }
            }
        }

        for (const auto& id : downloaded)
            ASSERT_TRUE (writeBytes (chapterFolder (id).getChildFile (id + ".bin"), 2000));

        auto catalog = std::make_unique<Catalog>();
        ASSERT_TRUE (CatalogParser::parseCatalog (*catalog, document, true));
        ASSERT_TRUE (core->setCatalog (std::move (catalog)));
    }

    /** A chapter's folder under the movies root given at the start. */
    juce::File chapterFolder (const juce::String& id) const { return root.getChildFile ("users/u1/" + id); }

    /** The chapter ids of a backup folder, from its video files, sorted. */
    static juce::StringArray backedUp (const juce::File& folder)
    {
        juce::StringArray ids;

        for (const auto& file : folder.findChildFiles (juce::File::findFiles, false, "*.bin"))
            ids.add (file.getFileNameWithoutExtension());

        ids.sort (false);
        return ids;
    }

    int countTitled (const juce::String& title) const
    {
        return (int) std::count_if (prompts.shown.begin(), prompts.shown.end(), [&] (const auto& shown) { return shown.title == title; });
    }

    ScratchHome home;
    ScriptedPrompts prompts;
    const juce::File root = home.getFolder().getChildFile ("movies");
    std::unique_ptr<Core> core = std::make_unique<Core> (home.getUserDataFolder());
};
