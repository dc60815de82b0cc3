#include "app/SingleInstance.h"
#include "tests/common/MessagePump.h"
#include "tests/common/ScratchHome.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace
{
int modeOf (const juce::File& file)
{
    struct stat info
    {
    };

    return lstat (file.getFullPathName().toRawUTF8(), &info) == 0 ? (int) (info.st_mode & 0777) : -1;
}

/** Sets XDG_RUNTIME_DIR for the lifetime of the object, or removes it. */
struct RuntimeDirectory final
{
    explicit RuntimeDirectory (const juce::File& folder)
    {
        if (folder == juce::File())
            unsetenv ("XDG_RUNTIME_DIR");
        else
            setenv ("XDG_RUNTIME_DIR", folder.getFullPathName().toRawUTF8(), 1);
    }

    ~RuntimeDirectory()
    {
        if (previous.isNotEmpty())
            setenv ("XDG_RUNTIME_DIR", previous.toRawUTF8(), 1);
        else
            unsetenv ("XDG_RUNTIME_DIR");
    }

    const juce::String previous = juce::SystemStats::getEnvironmentVariable ("XDG_RUNTIME_DIR", {});
};
} // namespace

TEST (SingleInstance, ASecondStartIsRefusedAndHandsItsCommandLineToTheFirst)
{
    juce::ScopedJuceInitialiser_GUI gui;
    ScratchHome home;
    const auto folder = home.getFolder().getChildFile ("run");
    ASSERT_TRUE (folder.createDirectory());

    auto first = std::make_unique<SingleInstance> (folder);
    juce::StringArray received;
    bool onMessageThread = true;
    first->onHandOver = [&] (const juce::String& commandLine) {
        received.add (commandLine);
        onMessageThread = onMessageThread && juce::MessageManager::getInstance()->isThisTheMessageThread();
    };
    ASSERT_TRUE (first->acquire());

    SingleInstance second (folder);
    EXPECT_FALSE (second.acquire()) << "the lock is taken";
    EXPECT_TRUE (second.handOver ("--from second"));
    EXPECT_TRUE (second.handOver ({}));
    ASSERT_TRUE (MessagePump::runUntil ([&] { return received.size() == 2; }));
    EXPECT_EQ (received, juce::StringArray ({ "--from second", "" }));
    EXPECT_TRUE (onMessageThread);

    // Once the first has gone the lock is free again, and a later start is the first.
    first = nullptr;
    EXPECT_FALSE (second.handOver ("nobody", 200));
    SingleInstance third (folder);
    EXPECT_TRUE (third.acquire());
    EXPECT_TRUE (third.handOver ("again"));
}

TEST (SingleInstance, EachSessionHasItsOwnLock)
{
    ScratchHome home;
    std::vector<std::unique_ptr<SingleInstance>> instances;

    for (auto* name : { "session-1", "session-2" })
    {
        const RuntimeDirectory runtime (home.getFolder().getChildFile (name));
        ASSERT_TRUE (home.getFolder().getChildFile (name).createDirectory());
        const auto folder = SingleInstance::getDefaultFolder();
        EXPECT_TRUE (folder.isAChildOf (home.getFolder().getChildFile (name))) << folder.getFullPathName();
        EXPECT_EQ (modeOf (folder), 0700);
        instances.push_back (std::make_unique<SingleInstance> (folder));
        EXPECT_TRUE (instances.back()->acquire()) << name;
    }
}

TEST (SingleInstance, WithoutAUsableRuntimeFolderTheLockLivesInTheUsersDataFolder)
{
    ScratchHome home;

    {
        const RuntimeDirectory runtime ({});
        const auto folder = SingleInstance::getDefaultFolder();
        EXPECT_TRUE (folder.isAChildOf (home.getUserDataFolder())) << folder.getFullPathName();
        EXPECT_EQ (modeOf (folder), 0700);
    }

    // A runtime folder that is a link, or someone else's, is not this user's to lock in.
    const auto real = home.getFolder().getChildFile ("real");
    ASSERT_TRUE (real.createDirectory());
    const auto link = home.getFolder().getChildFile ("link");
    ASSERT_TRUE (real.createSymbolicLink (link, true));
    const RuntimeDirectory runtime (link);
    EXPECT_TRUE (SingleInstance::getDefaultFolder().isAChildOf (home.getUserDataFolder()));

    if (getuid() == 0)
    {
        ASSERT_EQ (chown (real.getFullPathName().toRawUTF8(), 65534, 65534), 0);
        const RuntimeDirectory foreign (real);
        EXPECT_TRUE (SingleInstance::getDefaultFolder().isAChildOf (home.getUserDataFolder()));
    }
}
