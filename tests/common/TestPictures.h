#pragma once

#include <JuceHeader.h>

#include <gtest/gtest.h>

/** The damaged and oversized pictures kept in tests/data/pictures (its README says how each was
    made), and sound pictures written by the framework. Suites that use the files define
    TSY_TEST_PICTURES_DIR.
*/
namespace TestPictures
{
#ifdef TSY_TEST_PICTURES_DIR
inline juce::MemoryBlock load (const char* name)
{
    juce::MemoryBlock data;
    const auto file = juce::File (TSY_TEST_PICTURES_DIR).getChildFile (name);
    EXPECT_TRUE (file.loadFileAsData (data)) << file.getFullPathName();
    return data;
}
#endif

/** A picture of one colour, a gradient of alpha across it when withAlpha, in a format. */
inline juce::MemoryBlock write (juce::ImageFileFormat&& format, int width, int height, juce::Colour colour, bool withAlpha = false)
{
    juce::Image image (withAlpha ? juce::Image::ARGB : juce::Image::RGB, width, height, false);

    for (int x = 0; x < width; ++x)
        image.clear ({ x, 0, 1, height }, withAlpha ? colour.withAlpha ((float) x / (float) width) : colour);

    juce::MemoryOutputStream out;
    EXPECT_TRUE (format.writeImageToStream (image, out));
    return out.getMemoryBlock();
}
} // namespace TestPictures
