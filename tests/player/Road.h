#pragma once

#include "tests/common/ScratchHome.h"
#include "tests/player/DesktopDriver.h"
#include "tests/provider/ProviderProcess.h"

#include <memory>

/**
    A new user's whole road through the real program, driven as a person would at the display:
    first start with sign-in, the sample library in the tree, a chapter queued by its icon and
    downloaded, played, marked, found by a spoken word, then a second start without the provider.
    Each step keeps a screenshot; the road stops at the first step that fails and says which.
    Used from a test's thread; the program and the provider run in their own processes.
*/
class Road final
{
public:
    /** Sets up a scratch home and starts tsy-provider on a copy of this course library. */
    Road (const juce::File& library, const juce::File& screenshotFolder);
    ~Road();

    /** The copy of the library the provider serves; a test may break it before walking. */
    juce::File getLibrary() const { return libraryCopy; }

    /** Further arguments for tsy-provider, taken when it starts (--media-base-url, say). */
    void setProviderArguments (const juce::StringArray& arguments) { providerArguments = arguments; }

    /** Starts tsy-provider on the library copy, as walk does when it was not started before;
        false when it did not start.
    */
    bool startProvider();

    /** Stops the provider, as a server that went away. */
    void stopProvider();

    /** Walks the road: an empty string when every step passed, else "step N (name): why". */
    juce::String walk();

    /** The player's operation log so far. */
    juce::String getLog() const;

    /** The first part of the road: signed in, the library in the tree, the first chapter queued
        by its icon, downloaded and playing; an empty string, else the step that failed.
    */
    juce::String walkToPlaying();

    /** Signed in with the library in the tree and the first lesson open; "" or the failed step. */
    juce::String walkToOpenLesson();

    /** Queues the first lesson's chapters by the lesson's icon and answers its question "Yes". */
    juce::String queueFirstLesson();

    /** The player's main window; only once a walk has started the player. */
    const DesktopDriver& getWindow() const { return *window; }

    /** The provider's process, for a test that holds it up; -1 when it is not running. */
    pid_t getProviderPid() const { return provider != nullptr ? provider->getPid() : -1; }

private:
    using Check = std::function<juce::String()>;

    bool step (const juce::String& name, const Check& check);
    juce::String startPlayer();
    juce::String signIn();
    juce::String showLibrary();
    juce::String showHomePageAndLibrary();
    juce::String showOfflineMessage();
    juce::String queueChapter();
    juce::String finishDownload();
    juce::String playChapter (bool afterRestart);
    juce::String addMarker();
    juce::String searchSpokenWord();
    juce::String quit();
    juce::String startOffline();
    juce::String openChapterRows();

    juce::File getDataFolder() const;
    juce::File getChapterFolder() const;
    juce::File getAccessLog() const;
    bool waitForLog (const juce::String& text, int timeoutMs) const;

    /** Polls until a state holds; else says which state it gave up on, and what boxes are up. */
    juce::String waitForState (const juce::String& state, const std::function<bool()>& holds, int timeoutMs) const;
    juce::String describeOpenBoxes() const;
    juce::Rectangle<int> getBottomPanel() const;

    ScratchHome home;
    juce::File libraryCopy, screenshots;
    juce::StringArray providerArguments;
    std::unique_ptr<ProviderProcess> provider;
    std::unique_ptr<juce::ChildProcess> player;
    std::unique_ptr<DesktopDriver> window;
    int stepNumber = 0;
    juce::String failure;

    JUCE_DECLARE_NON_COPYABLE (Road)
};
