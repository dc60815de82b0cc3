#include "tests/player/DesktopDriver.h"

#include <iostream>

DesktopDriver::DesktopDriver (juce::String windowIdToDrive)
    : windowId (std::move (windowIdToDrive))
{
}

juce::String DesktopDriver::run (const juce::StringArray& command)
{
    // Only what the command printed as its answer: complaints on the error stream (such as a
    // window that has gone) are no answer.
    juce::ChildProcess process;

    if (! process.start (command, juce::ChildProcess::wantStdOut))
        return {};

    const auto output = process.readAllProcessOutput();
    process.waitForProcessToFinish (5000);
    return output.trim();
}

juce::StringArray DesktopDriver::findWindowsTitled (const juce::String& title)
{
    juce::StringArray ids;
    ids.addLines (run ({ "xdotool", "search", "--name", "^" + title + "$" }));
    ids.removeEmptyStrings();
    return ids;
}

bool DesktopDriver::waitFor (const std::function<bool()>& condition, int timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    for (;;)
    {
        if (condition())
            return true;

        if (juce::Time::getMillisecondCounter() > end)
            return false;

        juce::Thread::sleep (50);
    }
}

juce::StringArray DesktopDriver::waitForWindowsTitled (const juce::String& title, int timeoutMs)
{
    juce::StringArray ids;
    waitFor ([&] { ids = findWindowsTitled (title); return ! ids.isEmpty(); }, timeoutMs);
    return ids;
}

bool DesktopDriver::waitUntilGone (int timeoutMs) const
{
    // Asked by id: a search by title can come back empty while some other window vanishes
    // under it, which would pass for this one having gone.
    return waitFor ([&] { return run ({ "xdotool", "getwindowname", windowId }).isEmpty(); }, timeoutMs);
}

bool DesktopDriver::dismissAlert (const juce::String& title, int timeoutMs)
{
    const auto windows = waitForWindowsTitled (title, timeoutMs);

    if (windows.isEmpty())
    {
        keepScreen ("alert-missing");
        return false;
    }

    // A fresh alert is still being sized and placed: a click before it has settled lands
    // beside its button.
    const DesktopDriver alert (windows[0]);

    if (! alert.waitUntilPlaced (timeoutMs))
    {
        keepScreen ("alert-unsettled");
        return false;
    }

    // A click is only lost if the alert had not yet started taking the mouse; one more then.
    for (int attempt = 0; attempt < 3; ++attempt)
    {
        const auto size = alert.getBounds();
        alert.click ({ size.getWidth() / 2, size.getHeight() - 24 });

        if (alert.waitUntilGone (timeoutMs / 3))
            return true;
    }

    keepScreen ("alert-failure");
    return false;
}

bool DesktopDriver::acceptAlert (const juce::String& title, int timeoutMs)
{
    const auto windows = waitForWindowsTitled (title, timeoutMs);

    if (windows.isEmpty())
        return false;

    // A key that arrives before the alert has taken the keyboard goes to the window beneath.
    const DesktopDriver alert (windows[0]);

    if (! waitFor ([&] { return alert.hasKeyboardFocus(); }, timeoutMs))
    {
        keepScreen ("alert-without-focus");
        return false;
    }

    for (int attempt = 0; attempt < 3; ++attempt)
    {
        alert.pressKeys ("Return");

        if (alert.waitUntilGone (timeoutMs / 3))
            return true;
    }

    keepScreen ("alert-failure");
    return false;
}

juce::File DesktopDriver::saveScreen (const juce::File& file)
{
    file.getParentDirectory().createDirectory();
    run ({ "/usr/bin/import", "-window", "root", file.getFullPathName() });
    return file;
}

juce::File DesktopDriver::keepScreen (const juce::String& name)
{
    const auto shot = saveScreen (juce::File::getCurrentWorkingDirectory().getChildFile (name + ".png"));
    std::cout << "screen kept: " << shot.getFullPathName() << std::endl;
    return shot;
}

juce::Rectangle<int> DesktopDriver::getBounds() const
{
    const auto geometry = run ({ "xdotool", "getwindowgeometry", "--shell", windowId });
    const auto valueOf = [&] (const char* key) {
        return geometry.fromFirstOccurrenceOf (juce::String (key) + "=", false, false).getIntValue();
    };

    return { valueOf ("X"), valueOf ("Y"), valueOf ("WIDTH"), valueOf ("HEIGHT") };
}

namespace
{
/** Polls a look until it has given the same answer three times in a row. */
template <typename Look>
bool waitUntilSteady (Look look, int timeoutMs)
{
    auto previous = look();
    int sameInARow = 1;
    return DesktopDriver::waitFor ([&] {
        auto now = look();
        sameInARow = now == previous ? sameInARow + 1 : 1;
        previous = std::move (now);
        return sameInARow >= 3;
    }, timeoutMs);
}

/** Pixels compared by value, since images compare by identity. */
struct Pixels
{
    juce::Image image;
    bool operator== (const Pixels& other) const { return ! imagesDiffer (image, other.image); }
};
} // namespace

bool DesktopDriver::waitUntilPlaced (int timeoutMs) const
{
    return waitUntilSteady ([this] { return getBounds(); }, timeoutMs);
}

bool DesktopDriver::waitUntilSettled (juce::Rectangle<int> area, int timeoutMs) const
{
    return waitUntilSteady ([&] { return Pixels { grab (area) }; }, timeoutMs);
}

bool DesktopDriver::waitForChange (juce::Rectangle<int> area, const juce::Image& before, int timeoutMs) const
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    if (! waitFor ([&] { return imagesDiffer (before, grab (area)); }, timeoutMs))
        return false;

    return waitUntilSettled (area, juce::jmax (1000, (int) (end - juce::Time::getMillisecondCounter())));
}

bool DesktopDriver::hasKeyboardFocus() const
{
    return run ({ "xdotool", "getwindowfocus" }) == windowId;
}

void DesktopDriver::click (juce::Point<int> position, int numClicks) const
{
    // The display stamps each click as it takes it in. The first click of a double click makes
    // the program repaint, and on a loaded machine the display can be busy with that picture
    // for longer than a double click may last; sent close together, both clicks are in before.
    run ({ "xdotool", "mousemove", "--window", windowId, juce::String (position.x), juce::String (position.y),
           "click", "--repeat", juce::String (numClicks), "--delay", "10", "1" });
}

void DesktopDriver::pressKeys (const juce::String& keys) const
{
    run ({ "xdotool", "key", "--window", windowId, keys });
}

void DesktopDriver::type (const juce::String& text) const
{
    run ({ "xdotool", "type", "--window", windowId, "--delay", "20", text });
}

juce::Image DesktopDriver::grab (juce::Rectangle<int> area) const
{
    juce::TemporaryFile shot (".png");
    run ({ "/usr/bin/import", "-window", windowId, shot.getFile().getFullPathName() });
    const auto image = juce::ImageFileFormat::loadFrom (shot.getFile());
    return image.isValid() ? image.getClippedImage (area.getIntersection (image.getBounds())).createCopy() : juce::Image();
}

bool DesktopDriver::closeAndWait (juce::ChildProcess& process) const
{
    // One click: a click the program never took is a fault of its own. An ending program may
    // take a while to stop its threads on busy cores.
    click ({ getBounds().getWidth() - 15, 13 });

    if (process.waitForProcessToFinish (30000))
        return true;

    // A window still up means the click was not taken (or a box holds the window); a window
    // gone with the process still running means the program hangs while it ends.
    std::cout << "the close button did not end the program; "
              << (run ({ "xdotool", "getwindowname", windowId }).isEmpty() ? "its window is gone" : "its window is still up")
              << "; windows shown: " << describeWindows().quoted() << std::endl;
    keepScreen ("app-close-failure");
    return false;
}

juce::String DesktopDriver::describeWindows()
{
    juce::StringArray names;

    for (const auto& id : juce::StringArray::fromLines (run ({ "xdotool", "search", "--onlyvisible", "--name", "." })))
        if (id.isNotEmpty())
            names.add (run ({ "xdotool", "getwindowname", id }));

    return names.joinIntoString (", ");
}

bool imagesDiffer (const juce::Image& a, const juce::Image& b)
{
    if (a.getBounds() != b.getBounds())
        return true;

    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                return true;

    return false;
}
