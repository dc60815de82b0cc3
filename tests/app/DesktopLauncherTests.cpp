#include "app/DesktopLauncher.h"
#include "tests/common/RecordingOpener.h"

#include <gtest/gtest.h>

TEST (DesktopLauncher, ProgramsAreStartedAndEverythingElseGoesToXdgOpen)
{
    const auto xdgOpen = [] (const juce::File& file) {
        juce::StringArray command;
        command.add ("xdg-open");
        command.add (file.getFullPathName());
        return command;
    };

    const juce::TemporaryFile scratch;
    const auto folder = scratch.getFile();
    ASSERT_TRUE (folder.createDirectory());
    const auto document = folder.getChildFile ("manual $(touch X) `y`.pdf");
    ASSERT_TRUE (document.replaceWithText ("%PDF"));
    const auto program = folder.getChildFile ("setup \"1\".run");
    ASSERT_TRUE (program.replaceWithText ("#!/bin/sh\n", false, false, "\n"));
    ASSERT_TRUE (program.setExecutePermission (true));

    EXPECT_EQ (DesktopLauncher::getOpeningCommand (document), xdgOpen (document));
    EXPECT_EQ (DesktopLauncher::getOpeningCommand (program), juce::StringArray ({ program.getFullPathName() }));
    EXPECT_EQ (DesktopLauncher::getOpeningCommand (folder), xdgOpen (folder));
    EXPECT_EQ (DesktopLauncher::getRevealingCommand (document), xdgOpen (folder));
    EXPECT_EQ (DesktopLauncher::getRevealingCommand (folder), xdgOpen (folder));

    EXPECT_FALSE (DesktopLauncher::start ({ folder.getChildFile ("no such program").getFullPathName() }));
    EXPECT_FALSE (DesktopLauncher::start ({}));

    const RecordingOpener opener;
    ASSERT_TRUE (DesktopLauncher::open (document));
    EXPECT_EQ (opener.waitForArguments(), juce::StringArray ({ document.getFullPathName() }));
    EXPECT_FALSE (juce::File::getCurrentWorkingDirectory().getChildFile ("X").exists());
}
