#include "kit/PictureDecoder.h"

#include "tests/common/TestPictures.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{
juce::Image decoded (const juce::MemoryBlock& data, juce::String& reason)
{
    juce::Image picture (juce::Image::RGB, 1, 1, true);
    const auto result = PictureDecoder::decode (data, picture);
    reason = result.getErrorMessage();
    EXPECT_EQ (result.wasOk(), picture.isValid()) << "a failure leaves no picture behind";
    return picture;
}

juce::MemoryBlock firstBytes (const juce::MemoryBlock& data, size_t numBytes)
{
    return { data.getData(), numBytes };
}
} // namespace

TEST (PictureDecoderTest, DecodesSoundPngAndJpegPictures)
{
    juce::String reason;
    const auto opaque = decoded (TestPictures::write (juce::PNGImageFormat(), 30, 20, juce::Colours::orange), reason);
    ASSERT_TRUE (opaque.isValid()) << reason;
    EXPECT_EQ (opaque.getBounds(), juce::Rectangle<int> (30, 20));
    EXPECT_FALSE (opaque.hasAlphaChannel());
    EXPECT_EQ (opaque.getPixelAt (29, 19), juce::Colours::orange);

    const auto translucent = decoded (TestPictures::write (juce::PNGImageFormat(), 40, 10, juce::Colours::teal, true), reason);
    ASSERT_TRUE (translucent.isValid()) << reason;
    EXPECT_TRUE (translucent.hasAlphaChannel());
    EXPECT_EQ (translucent.getPixelAt (0, 5).getAlpha(), 0);
    EXPECT_EQ (translucent.getPixelAt (20, 5).getAlpha(), 0x80);
    EXPECT_NEAR (translucent.getPixelAt (20, 5).getGreen(), juce::Colours::teal.getGreen(), 4) << "alpha applied once, as the framework keeps it";

    const auto photo = decoded (TestPictures::write (juce::JPEGImageFormat(), 17, 33, juce::Colours::teal), reason);
    ASSERT_TRUE (photo.isValid()) << reason;
    EXPECT_EQ (photo.getBounds(), juce::Rectangle<int> (17, 33));
    const auto pixel = photo.getPixelAt (8, 16);
    EXPECT_NEAR (pixel.getRed(), juce::Colours::teal.getRed(), 3);
    EXPECT_NEAR (pixel.getGreen(), juce::Colours::teal.getGreen(), 3);
    EXPECT_NEAR (pixel.getBlue(), juce::Colours::teal.getBlue(), 3);
}

TEST (PictureDecoderTest, RefusesDamagedPicturesWithAReason)
{
    const struct
    {
        const char* file;
        const char* reason;
    } cases[] = {
        { "broken-idat.png", "damaged PNG" },
        { "truncated-noise.jpg", "damaged JPEG" },
    };

    for (const auto& c : cases)
    {
        juce::String reason;
        EXPECT_FALSE (decoded (TestPictures::load (c.file), reason).isValid()) << c.file;
        EXPECT_TRUE (reason.startsWith (c.reason)) << c.file << ": " << reason;
    }
}

TEST (PictureDecoderTest, RefusesPicturesCutShortAnywhere)
{
    // A PNG is whole once its last row is in: only its end marker may be missing.
    const std::pair<juce::MemoryBlock, std::vector<double>> cases[] = {
        { TestPictures::write (juce::PNGImageFormat(), 64, 64, juce::Colours::red, true), { 0.0, 0.01, 0.1, 0.5, 0.9 } },
        { TestPictures::write (juce::JPEGImageFormat(), 64, 64, juce::Colours::blue), { 0.0, 0.01, 0.1, 0.5, 0.9, 0.99 } },
    };

    for (const auto& [sound, fractions] : cases)
    {
        for (const auto fraction : fractions)
        {
            juce::String reason;
            const auto length = (size_t) ((double) sound.getSize() * fraction);
            EXPECT_FALSE (decoded (firstBytes (sound, length), reason).isValid()) << length << " of " << sound.getSize() << " bytes";
            EXPECT_TRUE (reason.isNotEmpty());
        }
    }
}

TEST (PictureDecoderTest, RefusesHugePicturesFromTheirHeader)
{
    for (const auto* file : { "huge-40000.png", "huge-65500.jpg" })
    {
        juce::String reason;
        EXPECT_FALSE (decoded (TestPictures::load (file), reason).isValid()) << file;
        EXPECT_TRUE (reason.endsWith ("pixels is too large")) << file << ": " << reason;
    }
}

TEST (PictureDecoderTest, TheSizeBoundCountsSidesAndMemory)
{
    const struct
    {
        juce::int64 width, height;
        bool accepted;
    } cases[] = {
        { 1, 1, true },
        { 8000, 2000, true },
        { 4096, 4096, true },
        { 4097, 4096, false },
        { 8001, 1, false },
        { 1, 8001, false },
        { 0, 10, false },
        { 0xffffffffLL, 0xffffffffLL, false },
    };

    for (const auto& c : cases)
        EXPECT_EQ (PictureDecoder::checkSize (c.width, c.height).wasOk(), c.accepted) << c.width << " x " << c.height;
}

TEST (PictureDecoderTest, RefusesWhatIsNoPngOrJpeg)
{
    const juce::String text ("<html>not found</html>");

    for (const auto& data : { juce::MemoryBlock(), juce::MemoryBlock (text.toRawUTF8(), text.getNumBytesAsUTF8()), juce::MemoryBlock ("GIF89a\x01\0\x01\0\0\0\0;", 14) })
    {
        juce::String reason;
        EXPECT_FALSE (decoded (data, reason).isValid());
        EXPECT_EQ (reason, "neither a PNG nor a JPEG picture");
    }
}

TEST (PictureDecoderTest, DecodesOnSeveralThreadsAtOnce)
{
    const auto good = TestPictures::write (juce::JPEGImageFormat(), 200, 100, juce::Colours::teal);
    const auto damaged = TestPictures::load ("truncated-noise.jpg");
    std::atomic<int> wrong { 0 };
    std::vector<std::thread> threads;

    for (int t = 0; t < 4; ++t)
        threads.emplace_back ([&, t]
                              {
            for (int i = 0; i < 20; ++i)
            {
                juce::Image picture;
                const auto shouldDecode = (i + t) % 2 == 0;

                if (PictureDecoder::decode (shouldDecode ? good : damaged, picture).wasOk() != shouldDecode)
                    ++wrong;
            } });

    for (auto& thread : threads)
        thread.join();

    EXPECT_EQ (wrong, 0) << "each decoder's jump lands in its own thread";
}
