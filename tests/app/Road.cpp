#include "tests/app/Road.h"

#include <iostream>

namespace
{
const juce::String applicationTitle ("TSY-Player 1.36");
const juce::String userEmail ("mark.evans@example.com"), userPassword ("tessaly-mark"), userId ("1002");
const juce::String chapterId ("MOD3D-EN-0101");
const juce::String chapterWindowTitle ("3D Modelling Fundamentals, 1.1 - Welcome to the course");
const juce::String spokenWord ("lessons");

// Where things are in the window, in window coordinates: the program's own title bar is 26
// pixels high and every tree row 20. Under it come the browser rows, the tab strip and
// "Collapse", so the first course is the tenth row; its lesson and chapter open beneath it.
const juce::Point<int> firstCourseMark { 12, 209 }, firstLessonMark { 36, 229 };
const juce::Point<int> firstChapterIcon { 79, 249 }, firstChapterLabel { 150, 249 };

// The sign-in dialog's two fields, in its own coordinates.
const juce::Point<int> emailField { 170, 114 }, passwordField { 170, 164 };

// The bottom panel is 55 pixels high; with the left panel shown the movie controls start 268
// pixels in. The time label sits 204 pixels from their right end, the position slider 325 from
// their left end, and the occurrence marks in the 19 pixels above the slider.
constexpr int bottomHeight = 55, controlsLeft = 268;
} // namespace

Road::Road (const juce::File& library, const juce::File& screenshotFolder)
    : libraryCopy (home.getFolder().getChildFile ("library")),
      screenshots (screenshotFolder)
{
    // The copy keeps the files' times, so the provider sees a library that has settled.
    DesktopDriver::run ({ "cp", "-a", library.getFullPathName(), libraryCopy.getFullPathName() });
    screenshots.createDirectory();

    // Logging on from the start, so the steps can follow what the program did; nothing else is
    // known about the user yet, so the program asks for the credentials.
    const auto preferences = getDataFolder().getChildFile ("preferences.xml");
    preferences.getParentDirectory().createDirectory();
    preferences.replaceWithText (R"(<?xml version="1.0" encoding="UTF-8"?>
<PROPERTIES>
  <VALUE name="loggingEnabled" val="1"/>
</PROPERTIES>)");
}

Road::~Road()
{
    if (player != nullptr && player->isRunning())
        player->kill();
}

juce::String Road::getLog() const
{
    return home.getDesktop().getChildFile ("TSY-Player Log.txt").loadFileAsString();
}

juce::File Road::getDataFolder() const
{
    // The test-server file moves the program's data into the "test" child.
    return home.getUserDataFolder().getChildFile ("test");
}

juce::File Road::getAccessLog() const
{
    return home.getFolder().getChildFile ("access.log");
}

juce::File Road::getChapterFolder() const
{
    return getDataFolder().getChildFile ("users").getChildFile (userId).getChildFile (chapterId);
}

bool Road::waitForLog (const juce::String& text, int timeoutMs) const
{
    // Only what the current run wrote counts.
    return DesktopDriver::waitFor ([&] { return getLog().fromLastOccurrenceOf ("Program started", false, false).contains (text); },
                                   timeoutMs);
}

juce::Rectangle<int> Road::getBottomPanel() const
{
    const auto size = window->getBounds();
    return { 0, size.getHeight() - bottomHeight, size.getWidth(), bottomHeight };
}

bool Road::step (const juce::String& name, const Check& check)
{
    ++stepNumber;
    const auto problem = check();
    const auto shotName = juce::String (stepNumber).paddedLeft ('0', 2) + "-" + name.replaceCharacter (' ', '-');
    DesktopDriver::saveScreen (screenshots.getChildFile (shotName + ".png"));

    if (problem.isEmpty())
        return true;

    failure = "step " + juce::String (stepNumber) + " (" + name + "): " + problem;
    std::cout << failure << "\nscreen: " << screenshots.getChildFile (shotName + ".png").getFullPathName() << std::endl;
    return false;
}

bool Road::startProvider()
{
    provider = std::make_unique<ProviderProcess> (juce::StringArray { "--library", libraryCopy.getFullPathName(),
                                                                     "--access-log", getAccessLog().getFullPathName() },
                                                  home.getFolder().getChildFile ("provider"));
    home.getFolder().getChildFile ("tsy-testurl.txt").replaceWithText (provider->getOrigin() + "/");
    return provider->isRunning();
}

void Road::stopProvider()
{
    provider->stop();
}

juce::String Road::walk()
{
    if (provider == nullptr && ! startProvider())
        return "the provider did not start: " + provider->readErrors();

    const auto walked = step ("sign in", [this] { return signIn(); })
                     && step ("home page and library", [this] { return showHomePageAndLibrary(); })
                     && step ("queue by icon", [this] { return queueChapter(); })
                     && step ("download completed", [this] { return finishDownload(); })
                     && step ("play", [this] { return playChapter (false); })
                     && step ("add marker", [this] { return addMarker(); })
                     && step ("search", [this] { return searchSpokenWord(); })
                     && step ("quit", [this] { return quit(); })
                     && step ("offline start", [this] { return startOffline(); })
                     && step ("play offline", [this] { return playChapter (true); })
                     && step ("quit offline", [this] { return quit(); });

    return walked ? juce::String() : failure;
}

juce::String Road::startPlayer()
{
    player = std::make_unique<juce::ChildProcess>();

    if (! player->start (juce::StringArray { TSY_PLAYER_PATH }, 0))
        return "the program did not start";

    if (! DesktopDriver::dismissAlert ("Test site"))
        return "no \"Test site\" notice";

    const auto windows = DesktopDriver::waitForWindowsTitled (applicationTitle, 20000);

    if (windows.size() != 1)
        return "expected one main window, found " + juce::String (windows.size());

    window = std::make_unique<DesktopDriver> (windows[0]);

    if (! DesktopDriver::dismissAlert ("Logging enabled"))
        return "no \"Logging enabled\" notice";

    return {};
}

juce::String Road::signIn()
{
    if (auto problem = startPlayer(); problem.isNotEmpty())
        return problem;

    const auto dialogs = DesktopDriver::waitForWindowsTitled ("Login", 20000);

    if (dialogs.isEmpty())
        return "the program never asked for the credentials";

    // A fresh dialog may still be settling its size and place; clicks before that go astray.
    const DesktopDriver dialog (dialogs[0]);
    auto bounds = dialog.getBounds();
    DesktopDriver::waitFor ([&] {
        const auto now = dialog.getBounds();
        const auto settled = now == bounds;
        bounds = now;
        return settled;
    }, 2000);
    dialog.click (emailField);
    dialog.type (userEmail);
    dialog.click (passwordField);
    dialog.type (userPassword);
    dialog.pressKeys ("Return");

    if (! dialog.waitUntilGone (10000))
        return "the sign-in dialog stayed open";

    const auto connectionMissing = "Connection missing upon first launch";
    DesktopDriver::waitFor ([&] {
        return getLog().contains ("online user catalog retrieval result: 0") || ! DesktopDriver::findWindowsTitled (connectionMissing).isEmpty();
    }, 20000);

    if (! DesktopDriver::findWindowsTitled (connectionMissing).isEmpty())
        return "the program found no connection to the provider";

    if (! waitForLog ("online user catalog retrieval result: 0", 0))
        return "the user's catalog was not fetched";

    return {};
}

juce::String Road::showLibrary()
{
    if (! getDataFolder().getChildFile ("cat" + userId + "en.xml").existsAsFile())
        return "the user's catalog was not cached";

    // The first course's row is drawn: its label has text pixels darker than the background.
    const auto row = window->grab ({ 40, firstCourseMark.y - 8, 200, 16 });

    for (int y = 0; y < row.getHeight(); ++y)
        for (int x = 0; x < row.getWidth(); ++x)
            if (row.getPixelAt (x, y).getBrightness() < 0.5f)
                return {};

    return "the tree shows no course";
}

juce::String Road::showHomePageAndLibrary()
{
    const auto requested = DesktopDriver::waitFor ([this] {
        const auto log = getAccessLog().loadFileAsString();
        return log.contains ("\"GET /home.php") && log.contains ("header X-Tsy-Customuseragent: TSY-Player v1.36 UID=" + userId);
    }, 10000);

    if (! requested)
        return "the home page was not asked for with the user's id";

    return showLibrary();
}

juce::String Road::showOfflineMessage()
{
    // The message panel is plain but for one line of text across its middle; a page would fill
    // its top with the provider's header.
    const auto size = window->getBounds();
    const auto pageLeft = 298, pageTop = 26, pageHeight = size.getHeight() - pageTop - bottomHeight;
    const auto top = window->grab ({ pageLeft + 10, pageTop + 5, size.getWidth() - pageLeft - 20, 60 });
    const auto middle = window->grab ({ pageLeft + 10, pageTop + pageHeight / 2 - 15, size.getWidth() - pageLeft - 20, 30 });

    for (int y = 0; y < top.getHeight(); ++y)
        for (int x = 0; x < top.getWidth(); ++x)
            if (top.getPixelAt (x, y) != top.getPixelAt (0, 0))
                return "something other than the offline message shows where the home page would be";

    for (int y = 0; y < middle.getHeight(); ++y)
        for (int x = 0; x < middle.getWidth(); ++x)
            if (middle.getPixelAt (x, y).getBrightness() < 0.3f)
                return {};

    return "no message shows where the home page would be";
}

void Road::openChapterRows()
{
    window->click (firstCourseMark);
    window->click (firstLessonMark);
}

juce::String Road::queueChapter()
{
    openChapterRows();
    window->click (firstChapterIcon);

    if (! waitForLog ("movieid: " + chapterId + " - Download entry created", 10000))
        return "a click on the chapter's icon queued nothing";

    return {};
}

juce::String Road::finishDownload()
{
    const auto finished = [this] (const char* outcome) { return waitForLog ("movieid: " + chapterId + " - Download " + outcome, 0); };
    DesktopDriver::waitFor ([&] { return finished ("successful") || finished ("failed") || finished ("aborted"); }, 30000);

    if (! finished ("successful"))
        return "the download did not complete: " + getLog().fromLastOccurrenceOf ("movieid: " + chapterId, true, false);

    if (! getChapterFolder().getChildFile (chapterId + ".bin").existsAsFile())
        return "the downloaded video is not on disk";

    return {};
}

juce::String Road::playChapter (bool afterRestart)
{
    if (afterRestart)
        openChapterRows();

    window->click (firstChapterLabel, 2);
    const auto windowId = window->getWindowId();

    if (! DesktopDriver::waitFor ([&] { return DesktopDriver::run ({ "xdotool", "getwindowname", windowId }) == chapterWindowTitle; }, 10000))
        return "a double click did not open the chapter";

    const auto bottom = getBottomPanel();
    const juce::Rectangle<int> timeLabel (bottom.getRight() - 204, bottom.getY() + 17, 80, 20);
    const auto first = window->grab (timeLabel);

    if (! DesktopDriver::waitFor ([&] { return imagesDiffer (first, window->grab (timeLabel)); }, 4000))
        return "the playing time does not advance";

    return {};
}

juce::String Road::addMarker()
{
    window->pressKeys ("m");

    if (! DesktopDriver::acceptAlert ("New marker", 10000))
        return "the \"m\" key asked for no marker label";

    const auto state = getChapterFolder().getChildFile (chapterId + ".xml");

    if (! DesktopDriver::waitFor ([&] { return state.loadFileAsString().contains ("<marker type=\"normal\" text=\"Marker 1\""); }, 5000))
        return "the marker was not saved: " + state.loadFileAsString();

    return {};
}

juce::String Road::searchSpokenWord()
{
    const auto bottom = getBottomPanel();
    const juce::Rectangle<int> marks (controlsLeft + 325, bottom.getY(), bottom.getWidth() - controlsLeft - 534, 19);
    const juce::Point<int> searchField (48 + 60, bottom.getY() + 27);
    const auto before = window->grab (marks);

    if (! DesktopDriver::waitFor ([&] { return getDataFolder().getChildFile ("data.dat").existsAsFile(); }, 30000))
        return "the indexer never installed the search database";

    // The field is enabled once the message thread has heard of the new database, so a search
    // typed a moment too early is tried again.
    bool found = false;

    for (int attempt = 0; attempt < 3 && ! found; ++attempt)
    {
        window->click (searchField, 3);
        window->type (spokenWord);
        window->pressKeys ("Return");
        found = DesktopDriver::waitFor ([&] { return imagesDiffer (before, window->grab (marks)); }, 1500);
    }

    if (! found)
        return "no occurrence of \"" + spokenWord + "\" is marked above the slider";

    return {};
}

juce::String Road::quit()
{
    if (! window->closeAndWait (*player))
        return "the close button did not end the program";

    if (player->getExitCode() != 0)
        return "the program ended with code " + juce::String (player->getExitCode());

    if (! getLog().endsWith ("\r\nProgram terminated\r\n"))
        return "the log does not end with \"Program terminated\"";

    // The browser's helper process goes with the program; one left behind would keep its
    // single-instance lock and stop the next start.
    const auto helperGone = DesktopDriver::waitFor ([] {
        return DesktopDriver::run ({ "pgrep", "-f", juce::String (TSY_PLAYER_PATH) + " --juce-gtkwebkitfork-child" }).isEmpty();
    }, 5000);

    if (! helperGone)
        return "the browser's helper process outlived the program";

    return {};
}

juce::String Road::startOffline()
{
    stopProvider();

    if (auto problem = startPlayer(); problem.isNotEmpty())
        return problem;

    if (! waitForLog ("cached user catalog retrieval result: 0", 20000))
        return "the cached catalog was not used";

    if (auto problem = showLibrary(); problem.isNotEmpty())
        return problem;

    return showOfflineMessage();
}
