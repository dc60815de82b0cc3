#pragma once

#include <JuceHeader.h>

/**
    Drives the real program's windows from outside, as a person at the X display would: finds
    windows by title, moves the mouse and clicks, types, grabs what a window shows, and keeps
    screenshots. Every action goes through xdotool or ImageMagick's import. Used from a test's
    thread while the program runs in its own process.
*/
class DesktopDriver final
{
public:
    /** Drives the window with this X window id. */
    explicit DesktopDriver (juce::String windowIdToDrive);

    /** Runs a command and returns what it printed on its standard output, trimmed. */
    static juce::String run (const juce::StringArray& command);

    /** The ids of the windows whose title is exactly this one. */
    static juce::StringArray findWindowsTitled (const juce::String& title);

    /** Polls for windows with this title until one shows or the time is up. */
    static juce::StringArray waitForWindowsTitled (const juce::String& title, int timeoutMs);

    /** Clicks the single button of the alert with this title once it shows (the button sits
        centred near the bottom edge), again until it has gone; false when it never came or
        never went.
    */
    static bool dismissAlert (const juce::String& title, int timeoutMs = 20000);

    /** Presses Return in the alert with this title until it has gone: a key that arrives before
        the alert has taken the keyboard is lost. False when the alert never came or never went.
    */
    static bool acceptAlert (const juce::String& title, int timeoutMs = 20000);

    /** Saves the whole screen as a PNG file and returns it. */
    static juce::File saveScreen (const juce::File& file);

    /** Saves the screen as "<name>.png" in the working directory, says where, and returns it. */
    static juce::File keepScreen (const juce::String& name);

    /** Polls a condition every 50 ms until it holds or the time is up; returns its last value. */
    static bool waitFor (const std::function<bool()>& condition, int timeoutMs);

    const juce::String& getWindowId() const noexcept { return windowId; }

    /** Polls until this window no longer exists; false when it is still there after timeoutMs. */
    bool waitUntilGone (int timeoutMs) const;

    /** The window's current size. */
    juce::Rectangle<int> getBounds() const;

    /** Polls until the window's place and size have stayed the same for three looks in a row
        (a fresh window may still be moved or resized by the program); false if it never settled.
    */
    bool waitUntilPlaced (int timeoutMs) const;

    /** Polls until what an area of the window shows has stayed the same for three looks in a
        row, so the program has finished painting it; false when it kept changing for timeoutMs.
    */
    bool waitUntilSettled (juce::Rectangle<int> area, int timeoutMs) const;

    /** Polls until an area shows something other than `before`, then until it has settled;
        false when it never changed, or kept changing.
    */
    bool waitForChange (juce::Rectangle<int> area, const juce::Image& before, int timeoutMs) const;

    /** True when this window has the keyboard focus. */
    bool hasKeyboardFocus() const;

    /** Moves the pointer to a point of the window (window coordinates) and clicks there. */
    void click (juce::Point<int> position, int numClicks = 1) const;

    /** Presses keys (xdotool key names, e.g. "Return", "m") with the pointer over the window. */
    void pressKeys (const juce::String& keys) const;

    /** Types text into whatever has the keyboard focus in the window. */
    void type (const juce::String& text) const;

    /** What the window shows now, cropped to an area in window coordinates. */
    juce::Image grab (juce::Rectangle<int> area) const;

    /** Clicks the close button at the right end of the program's own title bar once and waits
        for the process to end; false (with a screenshot and what was on screen) if it did not.
    */
    bool closeAndWait (juce::ChildProcess& process) const;

    /** The titles of every window on show, for a message that says what was on screen. */
    static juce::String describeWindows();

private:
    juce::String windowId;

    JUCE_DECLARE_NON_COPYABLE (DesktopDriver)
};

/** True when two images of the same size differ in at least one pixel. */
bool imagesDiffer (const juce::Image& a, const juce::Image& b);
