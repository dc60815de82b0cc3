#pragma once

#include <JuceHeader.h>

/**
    Turns the bytes of a PNG or JPEG picture that came from outside the program (a course's
    cover or credits) into an image, refusing anything that is not a complete picture of a sane
    size.

    The framework's own PNG and JPEG readers, built against the system's libpng and libjpeg, have
    error handlers that return where the libraries expect them never to: a damaged file runs the
    libraries on past their own errors, into the process's memory. This decoder uses the libraries
    directly, with errors that come back as a failed result: libpng through its simplified
    interface, which catches its own errors, and libjpeg through functions holding only plain C
    data, which its error handler leaves by a jump. The size a header claims is checked before any
    pixel memory is taken, and a picture counts only once every row decoded without a complaint.

    Holds no state: any thread may call it, the extras thread to check a download before it is
    filed and the message thread to show what was filed.
*/
class PictureDecoder final
{
public:
    /** The widest and tallest picture accepted, in pixels. */
    static constexpr int maxSide = 8000;

    /** The most memory a decoded picture may take, at four bytes a pixel. */
    static constexpr juce::int64 maxDecodedBytes = 64 * 1024 * 1024;

    /** Decodes a whole PNG or JPEG picture. On failure the picture is left invalid and the
        result says why, in words fit for the operation log.
    */
    static juce::Result decode (const void* data, size_t numBytes, juce::Image& picture);

    /** The same for a block of bytes. */
    static juce::Result decode (const juce::MemoryBlock& data, juce::Image& picture);

    /** Whether a picture of these dimensions may be decoded at all. */
    static juce::Result checkSize (juce::int64 width, juce::int64 height);

private:
    PictureDecoder() = delete;
};
