#pragma once

/**
    A second connection to the display, as another program (a window manager, an input tool)
    would hold: it sends events to this program's windows. Kept apart from JUCE's headers, whose
    names Xlib's macros would clash with. Called on the test's thread.
*/
class OtherDisplayClient final
{
public:
    /** Connects to the display the DISPLAY variable names; isConnected() says whether it did. */
    OtherDisplayClient();
    ~OtherDisplayClient();

    bool isConnected() const noexcept { return display != nullptr; }

    /** Sends a press and a release of the left button at a point of a window, and returns once
        the display has taken both, so they are on their way to the window's owner.
    */
    void clickAndSync (unsigned long window, int x, int y);

private:
    struct _XDisplay* display = nullptr;

    OtherDisplayClient (const OtherDisplayClient&) = delete;
    OtherDisplayClient& operator= (const OtherDisplayClient&) = delete;
};
