#pragma once

#include "app/PreferencesManager.h"
#include "app/SharedRes.h"
#include "model/Core.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/ScriptedPrompts.h"
#include "ui/MainWindow.h"

#include <gtest/gtest.h>

/** A test of the main window in a scratch home, whose window and Core go before the shared
    instances they use.
*/
class WindowTest : public ::testing::Test
{
protected:
    /** Points the program at a catalog service and loads the scratch preferences; SetUp calls it. */
    void useCatalogFrom (const juce::String& baseUrl)
    {
        ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
        ASSERT_TRUE (home.getFolder().getChildFile ("tsy-testurl.txt").replaceWithText (baseUrl));
        PreferencesManager::getInstance()->load (SharedRes::getInstance()->getUserDataFolder().getChildFile ("preferences.xml"));
    }

    void TearDown() override
    {
        window = nullptr;
        core = nullptr;
        PreferencesManager::deleteInstance();
        SharedRes::deleteInstance();
    }

    juce::Component* get (const juce::String& path) { return window->getContent().getComponent (path); }

    ScratchHome home;
    ScriptedPrompts prompts;
    std::unique_ptr<Core> core;
    std::unique_ptr<MainWindow> window;
};
