#include "tests/player/Road.h"

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
const juce::Point<int> firstChapterIcon { 79, 249 }, firstChapterLabel { 150, 249 }, firstLessonIcon { 55, 229 };

// The sign-in dialog's two fields, in its own coordinates.
const juce::Point<int> emailField { 170, 114 }, passwordField { 170, 164 };

// The bottom panel is 55 pixels high; with the left panel shown the movie controls start 268
// pixels in. The time label sits 204 pixels from their right end, the position slider 325 from
// their left end, and the occurrence marks in the 19 pixels above the slider.
constexpr int bottomHeight = 55, controlsLeft = 268;

// How long the road waits for a state before it gives up. Only a broken program takes that
// long, so they are generous: on two busy cores a start or a repaint can take seconds.
constexpr int windowWaitMs = 30000, stateWaitMs = 20000, downloadWaitMs = 60000;

/** Why a wait ended without the state it waited for. */
juce::String gaveUp (const juce::String& state, int timeoutMs)
{
    return "gave up after " + juce::String (timeoutMs / 1000) + " s waiting for " + state;
}

/** True when some pixel of an image is darker than this, as text is against the skin's panels. */
bool showsDarkPixels (const juce::Image& image, float brightness)
{
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (image.getPixelAt (x, y).getBrightness() < brightness)
                return true;

    return false;
}
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

juce::String Road::waitForState (const juce::String& state, const std::function<bool()>& holds, int timeoutMs) const
{
    return DesktopDriver::waitFor (holds, timeoutMs) ? juce::String() : gaveUp (state, timeoutMs) + describeOpenBoxes();
}

juce::String Road::describeOpenBoxes() const
{
    // A question the road did not expect is the likeliest reason it is stuck; name it. The
    // toolkit's own unseen window carries the program's file name.
    juce::StringArray titles;

    for (const auto& id : juce::StringArray::fromLines (DesktopDriver::run ({ "xdotool", "search", "--onlyvisible", "--name", "." })))
        if (const auto title = DesktopDriver::run ({ "xdotool", "getwindowname", id }); title.isNotEmpty() && title != applicationTitle && title != "tsy-player"
                                                                                       && title != chapterWindowTitle)
            titles.addIfNotAlreadyThere (title);

    return titles.isEmpty() ? juce::String() : " (windows up: \"" + titles.joinIntoString ("\", \"") + "\")";
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
    juce::StringArray arguments { "--library", libraryCopy.getFullPathName(), "--access-log", getAccessLog().getFullPathName() };
    arguments.addArray (providerArguments);
    provider = std::make_unique<ProviderProcess> (arguments, home.getFolder().getChildFile ("provider"));
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

juce::String Road::walkToPlaying()
{
    if (provider == nullptr && ! startProvider())
        return "the provider did not start: " + provider->readErrors();

    const auto walked = step ("sign in", [this] { return signIn(); })
                     && step ("home page and library", [this] { return showHomePageAndLibrary(); })
                     && step ("queue by icon", [this] { return queueChapter(); })
                     && step ("download completed", [this] { return finishDownload(); })
                     && step ("play", [this] { return playChapter (false); });

    return walked ? juce::String() : failure;
}

juce::String Road::walkToOpenLesson()
{
    if (provider == nullptr && ! startProvider())
        return "the provider did not start: " + provider->readErrors();

    const auto walked = step ("sign in", [this] { return signIn(); })
                     && step ("home page and library", [this] { return showHomePageAndLibrary(); })
                     && step ("open lesson", [this] { return openChapterRows(); });

    return walked ? juce::String() : failure;
}

juce::String Road::queueFirstLesson()
{
    window->click (firstLessonIcon);

    // The question has no title of its own: it is the window that takes the keyboard.
    juce::String question;
    const auto asked = DesktopDriver::waitFor ([&] {
        question = DesktopDriver::run ({ "xdotool", "getwindowfocus" });
        return question.isNotEmpty() && question != window->getWindowId();
    }, stateWaitMs);

    if (! asked)
        return "a click on the lesson's icon asked nothing" + describeOpenBoxes();

    // The keyboard is the box's before the box is up and painted, and a key sent meanwhile goes
    // astray.
    const DesktopDriver box (question);

    if (! box.waitUntilPlaced (stateWaitMs) || ! box.waitUntilSettled (box.getBounds().withZeroOrigin(), stateWaitMs))
        return gaveUp ("the question about the lesson's chapters to settle", stateWaitMs);

    box.pressKeys ("Return");

    if (! box.waitUntilGone (stateWaitMs))
        return "the question about the lesson's chapters stayed open";

    if (! waitForLog ("movieid: MOD3D-EN-0103 - Download entry created", stateWaitMs))
    {
        juce::StringArray entries;

        for (const auto& line : juce::StringArray::fromLines (getLog().fromLastOccurrenceOf ("Program started", false, false)))
            if (line.contains ("Download entry"))
                entries.add (line.trim());

        return "the lesson's chapters were not queued: " + gaveUp ("the third's download entry in the log", stateWaitMs)
             + describeOpenBoxes() + "; the log's entries: " + (entries.isEmpty() ? juce::String ("none") : entries.joinIntoString ("; "));
    }

    return {};
}

juce::String Road::startPlayer()
{
    player = std::make_unique<juce::ChildProcess>();

    if (! player->start (juce::StringArray { TSY_PLAYER_PATH }, 0))
        return "the program did not start";

    if (! DesktopDriver::dismissAlert ("Test site"))
        return "no \"Test site\" notice";

    const auto windows = DesktopDriver::waitForWindowsTitled (applicationTitle, windowWaitMs);

    if (windows.size() != 1)
        return "expected one main window, found " + juce::String (windows.size());

    window = std::make_unique<DesktopDriver> (windows[0]);

    if (! window->waitUntilPlaced (stateWaitMs))
        return gaveUp ("the main window to keep its place and size", stateWaitMs);

    if (! DesktopDriver::dismissAlert ("Logging enabled"))
        return "no \"Logging enabled\" notice";

    return {};
}

juce::String Road::signIn()
{
    if (auto problem = startPlayer(); problem.isNotEmpty())
        return problem;

    const auto dialogs = DesktopDriver::waitForWindowsTitled ("Login", windowWaitMs);

    if (dialogs.isEmpty())
        return "the program never asked for the credentials";

    // Clicks into a dialog that is still being placed, or not yet painted, go astray; a field
    // shows what was typed into it once it has the keyboard.
    const DesktopDriver dialog (dialogs[0]);

    if (! dialog.waitUntilPlaced (stateWaitMs) || ! dialog.waitUntilSettled ({ 0, 0, 400, 250 }, stateWaitMs))
        return gaveUp ("the sign-in dialog to settle", stateWaitMs);

    for (const auto& [field, text, name] : { std::tuple { emailField, userEmail, "e-mail" }, std::tuple { passwordField, userPassword, "password" } })
    {
        // The whole field with its outline, which darkens with the keyboard, and the caret at its left.
        const juce::Rectangle<int> fieldArea (field.x - 140, field.y - 12, 286, 24);
        const auto empty = dialog.grab (fieldArea);

        // Under load a click can be dropped, and the keys then go to the field that had the
        // keyboard before; the caret showing in this field says the click landed.
        bool focused = false;

        for (int attempt = 0; attempt < 3 && ! focused; ++attempt)
        {
            dialog.click (field);
            focused = dialog.waitForChange (fieldArea, empty, stateWaitMs / 3);
        }

        if (! focused)
            return gaveUp (juce::String ("the caret to show in the sign-in dialog's ") + name + " field", stateWaitMs);

        const auto withCaret = dialog.grab (fieldArea);
        dialog.type (text);

        const auto showsTyped = [&] { const auto now = dialog.grab (fieldArea); return imagesDiffer (now, empty) && imagesDiffer (now, withCaret); };

        if (! DesktopDriver::waitFor (showsTyped, stateWaitMs))
            return gaveUp (juce::String ("the ") + name + " typed into the sign-in dialog to show in its field", stateWaitMs);
    }

    dialog.pressKeys ("Return");

    if (! dialog.waitUntilGone (stateWaitMs))
        return "the sign-in dialog stayed open";

    const auto connectionMissing = "Connection missing upon first launch";
    DesktopDriver::waitFor ([&] {
        return getLog().contains ("online user catalog retrieval result: 0") || ! DesktopDriver::findWindowsTitled (connectionMissing).isEmpty();
    }, windowWaitMs);

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
    const juce::Rectangle<int> courseRow (40, firstCourseMark.y - 8, 200, 16);

    if (auto problem = waitForState ("the first course's row to show its title", [&] { return showsDarkPixels (window->grab (courseRow), 0.5f); }, stateWaitMs);
        problem.isNotEmpty())
        return "the tree shows no course: " + problem;

    return {};
}

juce::String Road::showHomePageAndLibrary()
{
    const auto requested = DesktopDriver::waitFor ([this] {
        const auto log = getAccessLog().loadFileAsString();
        return log.contains ("\"GET /home.php") && log.contains ("header X-Tsy-Customuseragent: TSY-Player v1.36 UID=" + userId);
    }, stateWaitMs);

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

juce::String Road::openChapterRows()
{
    // Each click waits for the row it opens to be painted: a click on a row that has not moved
    // into place yet lands on whatever row is still there (a course, whose icon asks to queue all).
    const auto rowAt = [] (int y) { return juce::Rectangle<int> (24, y - 9, 260, 18); };
    const auto courseRow = rowAt (firstCourseMark.y), lessonRow = rowAt (firstLessonMark.y), chapterRow = rowAt (firstChapterIcon.y);

    if (! window->waitUntilSettled (courseRow.getUnion (chapterRow), stateWaitMs))
        return gaveUp ("the tree's first rows to settle", stateWaitMs);

    // A click the window dropped (it arrived while the home page was taking over) leaves the
    // row as it was, so clicking again cannot close what the first click opened.
    const auto openRow = [&] (juce::Point<int> mark, juce::Rectangle<int> rowBelow) {
        const auto before = window->grab (rowBelow);

        for (int attempt = 0; attempt < 3; ++attempt)
        {
            window->click (mark);

            if (window->waitForChange (rowBelow, before, stateWaitMs / 3))
                return true;
        }

        return false;
    };

    if (! openRow (firstCourseMark, lessonRow))
        return gaveUp ("the first course to open its lesson under it", stateWaitMs) + describeOpenBoxes();

    if (! openRow (firstLessonMark, chapterRow))
        return gaveUp ("the first lesson to open its chapter under it", stateWaitMs) + describeOpenBoxes();

    return {};
}

juce::String Road::queueChapter()
{
    if (auto problem = openChapterRows(); problem.isNotEmpty())
        return problem;

    // A click the loaded display delivers before the new row takes clicks does nothing, and
    // nothing changes on screen to show it: only then, with no entry made, is it clicked again.
    auto queued = false;

    for (int attempt = 0; attempt < 3 && ! queued; ++attempt)
    {
        window->click (firstChapterIcon);
        queued = waitForLog ("movieid: " + chapterId + " - Download entry created", stateWaitMs / 3);
    }

    if (! queued)
        return "a click on the chapter's icon queued nothing: " + gaveUp ("its download entry in the log", stateWaitMs) + describeOpenBoxes();

    return {};
}

juce::String Road::finishDownload()
{
    const auto finished = [this] (const char* outcome) { return waitForLog ("movieid: " + chapterId + " - Download " + outcome, 0); };
    DesktopDriver::waitFor ([&] { return finished ("successful") || finished ("failed") || finished ("aborted"); }, downloadWaitMs);

    if (! finished ("successful"))
        return "the download did not complete: " + getLog().fromLastOccurrenceOf ("movieid: " + chapterId, true, false) + describeOpenBoxes();

    if (! getChapterFolder().getChildFile (chapterId + ".bin").existsAsFile())
        return "the downloaded video is not on disk";

    return {};
}

juce::String Road::playChapter (bool afterRestart)
{
    if (afterRestart)
        if (auto problem = openChapterRows(); problem.isNotEmpty())
            return problem;

    window->click (firstChapterLabel, 2);
    const auto windowId = window->getWindowId();

    if (auto problem = waitForState ("the window's title to name the chapter",
                                     [&] { return DesktopDriver::run ({ "xdotool", "getwindowname", windowId }) == chapterWindowTitle; },
                                     stateWaitMs);
        problem.isNotEmpty())
        return "a double click did not open the chapter: " + problem;

    const auto bottom = getBottomPanel();
    const juce::Rectangle<int> timeLabel (bottom.getRight() - 204, bottom.getY() + 17, 80, 20);
    const auto first = window->grab (timeLabel);

    if (auto problem = waitForState ("the time label to advance", [&] { return imagesDiffer (first, window->grab (timeLabel)); }, stateWaitMs);
        problem.isNotEmpty())
        return "the playing time does not advance: " + problem;

    return {};
}

juce::String Road::addMarker()
{
    window->pressKeys ("m");

    if (! DesktopDriver::acceptAlert ("New marker", stateWaitMs))
        return "the \"m\" key asked for no marker label: " + gaveUp ("a \"New marker\" box with the keyboard", stateWaitMs) + describeOpenBoxes();

    const auto state = getChapterFolder().getChildFile (chapterId + ".xml");

    if (! DesktopDriver::waitFor ([&] { return state.loadFileAsString().contains ("<marker type=\"normal\" text=\"Marker 1\""); }, stateWaitMs))
        return "the marker was not saved: " + gaveUp ("it in the chapter's state file", stateWaitMs) + ", which holds: " + state.loadFileAsString();

    return {};
}

juce::String Road::searchSpokenWord()
{
    const auto bottom = getBottomPanel();
    const juce::Rectangle<int> marks (controlsLeft + 325, bottom.getY(), bottom.getWidth() - controlsLeft - 534, 19);
    const juce::Point<int> searchField (48 + 60, bottom.getY() + 27);
    const auto before = window->grab (marks);

    if (! DesktopDriver::waitFor ([&] { return getDataFolder().getChildFile ("data.dat").existsAsFile(); }, downloadWaitMs))
        return "the indexer never installed the search database: " + gaveUp ("data.dat", downloadWaitMs);

    // The field shows "Indexing..." and takes no text until the message thread has opened the
    // new database; then it is empty, one colour.
    const juce::Rectangle<int> fieldText (searchField.x - 25, searchField.y - 5, 80, 10);
    const auto oneColour = [] (const juce::Image& image) {
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                if (image.getPixelAt (x, y) != image.getPixelAt (0, 0))
                    return false;

        return image.isValid();
    };

    if (auto problem = waitForState ("the search field to take words (its \"Indexing...\" hint gone)",
                                     [&] { return oneColour (window->grab (fieldText)); }, downloadWaitMs);
        problem.isNotEmpty())
        return problem;

    const auto emptyField = window->grab (fieldText);
    juce::String problem;

    // Under load the display has been seen to drop typed keys ("lsons" for "lessons"), which
    // finds nothing; the word is then typed once more over the whole field, and said so.
    for (int attempt = 0; attempt < 2; ++attempt)
    {
        if (attempt > 0)
            std::cout << "the search for \"" << spokenWord << "\" marked nothing; typed again" << std::endl;

        window->click (searchField, 3);
        window->type (spokenWord);

        // Only a change is waited for: the blinking caret keeps the field from ever settling.
        if (! DesktopDriver::waitFor ([&] { return imagesDiffer (emptyField, window->grab (fieldText)); }, stateWaitMs))
            return gaveUp ("\"" + spokenWord + "\" to show in the search field", stateWaitMs);

        window->pressKeys ("Return");
        problem = waitForState ("an occurrence of \"" + spokenWord + "\" to be marked above the slider",
                                [&] { return imagesDiffer (before, window->grab (marks)); }, stateWaitMs);

        if (problem.isEmpty())
            return {};
    }

    return problem;
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
    }, stateWaitMs);

    if (! helperGone)
        return "the browser's helper process outlived the program";

    return {};
}

juce::String Road::startOffline()
{
    stopProvider();

    if (auto problem = startPlayer(); problem.isNotEmpty())
        return problem;

    if (! waitForLog ("cached user catalog retrieval result: 0", stateWaitMs))
        return "the cached catalog was not used";

    if (auto problem = showLibrary(); problem.isNotEmpty())
        return problem;

    return showOfflineMessage();
}
