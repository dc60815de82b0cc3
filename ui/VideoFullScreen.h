#pragma once

#include <JuceHeader.h>

/**
    The video alone on the whole display: the window is taken out of its frame and stretched
    over the display (JUCE's kiosk mode, which needs no window manager), the components that are
    not the video are hidden, and the movie bar shows over the picture's bottom while the mouse
    moves, going again after barHideDelayMs of stillness. Leaving puts the window back at the
    bounds it had and shows again exactly what was showing.

    The window lays itself out: while isActive() the video fills it and the bar lies over the
    picture's bottom when isBarShown(), just below the window's edge otherwise (still showing to
    JUCE, so the bar's shortcut keys keep working). onChange is called after each change of
    either, for that layout.

    Message thread only.
*/
class VideoFullScreen final : private juce::MouseListener,
                              private juce::Timer
{
public:
    /** The window that goes full screen, its content (whose mouse movements show the bar), and
        the components hidden while the video is alone.
    */
    VideoFullScreen (juce::ResizableWindow& window, juce::Component& content, juce::Array<juce::Component*> othersToHide);
    ~VideoFullScreen() override;

    /** Puts the window over the whole display with the bar showing; nothing happens when the
        window is not on the screen or full screen already.
    */
    void enter();

    /** Back to the window's bounds and components as they were; nothing when not full screen. */
    void leave();

    /** Enters or leaves. */
    void toggle();

    bool isActive() const noexcept { return active; }

    /** Whether the bar shows over the picture; always true when not full screen. */
    bool isBarShown() const noexcept { return barShown; }

    /** Called after entering, after leaving, and when the bar comes or goes. */
    std::function<void()> onChange;

    /** How long the mouse must stay still before the bar hides. */
    static constexpr int barHideDelayMs = 2000;

private:
    void mouseMove (const juce::MouseEvent& e) override;
    void mouseDrag (const juce::MouseEvent& e) override;
    void timerCallback() override;

    void mouseMovedTo (juce::Point<float> screenPosition);
    void showBar (bool shouldShow);

    juce::ResizableWindow& window;
    juce::Component& content;
    const juce::Array<juce::Component*> others;

    bool active = false, barShown = true;
    juce::Array<juce::Component*> hiddenOnEntry;

    // Hiding a component makes JUCE repeat the last mouse move at the same place; only a move
    // to somewhere else shows the bar.
    std::optional<juce::Point<float>> lastMousePosition;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VideoFullScreen)
};
