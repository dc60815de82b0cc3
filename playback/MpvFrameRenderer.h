#pragma once

#include <JuceHeader.h>

#include <atomic>
#include <functional>

struct mpv_handle;
struct mpv_render_context;
struct MpvFunctions;

/**
    Turns the video frames of an mpv core into images, with mpv's software renderer, on a
    thread of its own: mpv paces that thread to each frame's display time, which must never
    hold up the message thread.

    The latest frame is published as an image that the message thread can keep and draw
    while the next one is being rendered.

    Created and destroyed on the message thread, before and after any playback of its core.
*/
class MpvFrameRenderer final : private juce::Thread
{
public:
    /** Attaches a renderer to the core, made by the library whose functions are given, and
        starts its thread; onFrame is called on that thread after each new frame is published. */
    MpvFrameRenderer (const MpvFunctions& mpv, mpv_handle& core, std::function<void()> onFrame);

    /** Stops the thread and detaches from the core, which must still exist. */
    ~MpvFrameRenderer() override;

    /** A published frame, numbered in the order of publishing. */
    struct Frame
    {
        juce::Image image;
        juce::int64 number = 0;
    };

    /** False when mpv refused the renderer: the core then plays without video. */
    bool isAttached() const noexcept { return context != nullptr; }

    /** The size frames are rendered at, normally the video's own; the current frame is drawn
        again at the new size. Any thread. */
    void setFrameSize (juce::Rectangle<int> size);

    /** Forgets the current frame and renders nothing more until the next setFrameSize, so
        that a closed video never shows up again. Any thread. */
    void clear();

    /** The latest frame (opaque ARGB), or a null image when there is none. Any thread. */
    Frame getLatestFrame() const;

    /** How many frames mpv has handed over so far (redraws of the same frame not counted). Any thread. */
    juce::int64 getNumFramesRendered() const noexcept { return framesRendered.load(); }

private:
    void run() override;
    void renderFrame (bool isNewFrame);
    bool renderInto (juce::Image& image);

    const MpvFunctions& mpv;
    mpv_render_context* context = nullptr;
    std::function<void()> onFrame;
    juce::WaitableEvent wakeUp;
    std::atomic<bool> redrawNeeded { false };
    std::atomic<juce::int64> framesRendered { 0 };

    juce::CriticalSection frameLock;
    juce::Rectangle<int> frameSize;
    juce::uint32 generation = 0;
    Frame latestFrame;

    // The render thread's own images: the one being rendered into, and a small one that
    // takes frames mpv hands over before the video's size is known.
    juce::Image backFrame, sizeUnknownFrame;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MpvFrameRenderer)
};
