#include "playback/MpvFrameRenderer.h"

#include "model/ThreadStop.h"

#include <mpv/client.h>
#include <mpv/render.h>

namespace
{
// mpv writes "bgr0" pixels, whose fourth byte is undefined, while JUCE's ARGB images are
// premultiplied: every pixel needs a full alpha byte before it can be drawn.
void makeOpaque (const juce::Image::BitmapData& pixels)
{
    for (int y = 0; y < pixels.height; ++y)
    {
        auto* line = reinterpret_cast<juce::uint32*> (pixels.getLinePointer (y));

        for (int x = 0; x < pixels.width; ++x)
            line[x] |= 0xff000000u;
    }
}
} // namespace

MpvFrameRenderer::MpvFrameRenderer (mpv_handle& core, std::function<void()> onFrameCallback)
    : juce::Thread ("videoRender"), onFrame (std::move (onFrameCallback))
{
    mpv_render_param params[] = { { MPV_RENDER_PARAM_API_TYPE, const_cast<char*> (MPV_RENDER_API_TYPE_SW) },
                                  { MPV_RENDER_PARAM_INVALID, nullptr } };

    if (mpv_render_context_create (&context, &core, params) < 0)
    {
        context = nullptr;
        return;
    }

    // mpv calls this from its own threads and allows nothing but a wake-up in it.
    mpv_render_context_set_update_callback (
        context, [] (void* renderer)
        { static_cast<MpvFrameRenderer*> (renderer)->wakeUp.signal(); },
        this);

    startThread();
}

MpvFrameRenderer::~MpvFrameRenderer()
{
    if (context == nullptr)
        return;

    signalThreadShouldExit();
    wakeUp.signal();

    // A render waits at most until its frame is due, so the thread always comes back.
    stopThread (ThreadStop::timeoutMs);
    mpv_render_context_free (context);
}

void MpvFrameRenderer::setFrameSize (juce::Rectangle<int> size)
{
    {
        const juce::ScopedLock sl (frameLock);
        frameSize = size;
    }

    redrawNeeded = true;
    wakeUp.signal();
}

void MpvFrameRenderer::clear()
{
    const juce::ScopedLock sl (frameLock);
    frameSize = {};
    ++generation;
    latestFrame.image = {};
}

MpvFrameRenderer::Frame MpvFrameRenderer::getLatestFrame() const
{
    const juce::ScopedLock sl (frameLock);
    return latestFrame;
}

void MpvFrameRenderer::run()
{
    while (! threadShouldExit())
    {
        wakeUp.wait (-1);

        if (threadShouldExit())
            break;

        // Every update callback must be answered with an update, whether or not it brings a frame.
        const auto flags = mpv_render_context_update (context);

        const bool isNewFrame = (flags & MPV_RENDER_UPDATE_FRAME) != 0;

        if (redrawNeeded.exchange (false) || isNewFrame)
            renderFrame (isNewFrame);
    }
}

void MpvFrameRenderer::renderFrame (bool isNewFrame)
{
    juce::Rectangle<int> size;
    juce::uint32 renderedGeneration = 0;

    {
        const juce::ScopedLock sl (frameLock);
        size = frameSize;
        renderedGeneration = generation;
    }

    if (size.isEmpty())
    {
        // mpv's video output waits for each frame it hands over to be rendered, so a frame
        // that arrives before its size is known is still taken, and drawn again later.
        if (sizeUnknownFrame.isNull())
            sizeUnknownFrame = juce::Image (juce::Image::ARGB, 16, 16, false, juce::SoftwareImageType());

        if (renderInto (sizeUnknownFrame) && isNewFrame)
            ++framesRendered;

        mpv_render_context_report_swap (context);
        return;
    }

    // The message thread may still hold the image last swapped out: never draw over it.
    if (backFrame.getBounds() != size || backFrame.getReferenceCount() > 1)
        backFrame = juce::Image (juce::Image::ARGB, size.getWidth(), size.getHeight(), false, juce::SoftwareImageType());

    if (! renderInto (backFrame))
        return;

    if (isNewFrame)
        ++framesRendered;

    bool published = false;

    {
        const juce::ScopedLock sl (frameLock);

        if (renderedGeneration == generation)
        {
            std::swap (latestFrame.image, backFrame);
            ++latestFrame.number;
            published = true;
        }
    }

    mpv_render_context_report_swap (context);

    if (published)
        onFrame();
}

bool MpvFrameRenderer::renderInto (juce::Image& image)
{
    const juce::Image::BitmapData pixels (image, juce::Image::BitmapData::writeOnly);
    int size[] = { pixels.width, pixels.height };
    auto stride = (size_t) pixels.lineStride;

    mpv_render_param params[] = { { MPV_RENDER_PARAM_SW_SIZE, size },
                                  { MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*> ("bgr0") },
                                  { MPV_RENDER_PARAM_SW_STRIDE, &stride },
                                  { MPV_RENDER_PARAM_SW_POINTER, pixels.data },
                                  { MPV_RENDER_PARAM_INVALID, nullptr } };

    if (mpv_render_context_render (context, params) < 0)
        return false;

    makeOpaque (pixels);
    return true;
}
