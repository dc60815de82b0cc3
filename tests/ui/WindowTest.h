#pragma once

#include "app/PreferencesManager.h"
#include "app/SharedRes.h"
#include "downloads/DownloadThread.h"
#include "model/Core.h"
#include "tests/common/MessagePump.h"
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

    /** Signs the sample library's user in against the provider at an address, opens the window
        with a Core that downloads, and waits until it is filled and holds the keyboard.
    */
    void openSignedIn (const juce::String& baseUrl, const std::function<bool()>& filled)
    {
        ASSERT_NO_FATAL_FAILURE (useCatalogFrom (baseUrl));
        auto* preferences = PreferencesManager::getInstance();
        preferences->setCredentials ("giulia.rossi@example.com", juce::MD5 (juce::String ("tessaly-giulia").toUTF8()).toHexString());
        preferences->setLanguage (1);

        core = std::make_unique<Core> (SharedRes::getInstance()->getUserDataFolder(), Core::Workers { DownloadThread::makeJob });
        window = std::make_unique<MainWindow> ("TSY-Player 1.36", *core);
        window->setVisible (true);
        ASSERT_TRUE (MessagePump::runUntil (filled)) << "the window never filled";
        window->toFront (true);
        ASSERT_TRUE (MessagePump::runUntil ([this] { return window->getPeer() != nullptr && window->getPeer()->isFocused(); }));
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
