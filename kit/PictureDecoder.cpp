#include "kit/PictureDecoder.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <png.h>

namespace
{
bool startsWith (const void* data, size_t numBytes, std::initializer_list<juce::uint8> signature)
{
    return numBytes >= signature.size() && std::equal (signature.begin(), signature.end(), static_cast<const juce::uint8*> (data));
}

//==============================================================================
juce::Result decodePng (const void* data, size_t numBytes, juce::Image& picture)
{
    png_image png {};
    png.version = PNG_IMAGE_VERSION;

    // Every libpng error inside the simplified interface comes back here as a zero result.
    if (png_image_begin_read_from_memory (&png, data, numBytes) == 0)
        return juce::Result::fail ("damaged PNG: " + juce::String (png.message));

    const std::unique_ptr<png_image, decltype (&png_image_free)> freeing (&png, png_image_free);

    if (const auto size = PictureDecoder::checkSize (png.width, png.height); size.failed())
        return size;

    const auto hasAlpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    const auto channels = hasAlpha ? 4 : 3;
    png.format = hasAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;

    // A software image has exactly three or four bytes a pixel, so libpng writes straight into
    // it and each pixel is then turned into the framework's order where it lies.
    juce::Image image (hasAlpha ? juce::Image::ARGB : juce::Image::RGB, (int) png.width, (int) png.height, false, juce::SoftwareImageType());

    {
        const juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readWrite);
        jassert (pixels.pixelStride == channels);

        if (png_image_finish_read (&png, nullptr, pixels.data, pixels.lineStride, nullptr) == 0)
            return juce::Result::fail ("damaged PNG: " + juce::String (png.message));

        for (int y = 0; y < pixels.height; ++y)
        {
            auto* p = pixels.getLinePointer (y);

            for (int x = 0; x < pixels.width; ++x, p += channels)
            {
                const auto r = p[0], g = p[1], b = p[2];

                if (hasAlpha)
                {
                    auto* argb = reinterpret_cast<juce::PixelARGB*> (p);
                    argb->setARGB (p[3], r, g, b);
                    argb->premultiply();
                }
                else
                {
                    reinterpret_cast<juce::PixelRGB*> (p)->setARGB (0xff, r, g, b);
                }
            }
        }
    }

    picture = image;
    return juce::Result::ok();
}

//==============================================================================
/** One JPEG being read. Only plain C data lives here, because a libjpeg error leaves the
    functions below by a long jump back to their own setjmp, over the library's frames.
*/
struct JpegSession
{
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    std::jmp_buf jump;
    int warnings;
    char message[JMSG_LENGTH_MAX];
};

void jumpOnJpegError (j_common_ptr info)
{
    auto* session = static_cast<JpegSession*> (info->client_data);
    (*info->err->format_message) (info, session->message);
    std::longjmp (session->jump, 1);
}

/** libjpeg only warns about data that ends early or is damaged and fills the rest with grey:
    such a picture is not what the server published.
*/
void countJpegWarning (j_common_ptr info, int level)
{
    auto* session = static_cast<JpegSession*> (info->client_data);

    if (level < 0 && session->warnings++ == 0)
        (*info->err->format_message) (info, session->message);
}

// Each function arms the jump for one call into libjpeg and disarms it by returning.

bool beginJpeg (JpegSession& session, const unsigned char* data, unsigned long numBytes)
{
    session.info.err = jpeg_std_error (&session.errors);
    session.errors.error_exit = jumpOnJpegError;
    session.errors.emit_message = countJpegWarning;
    session.info.client_data = &session;

    if (setjmp (session.jump) != 0)
        return false;

    jpeg_create_decompress (&session.info);
    jpeg_mem_src (&session.info, data, numBytes);
    jpeg_read_header (&session.info, TRUE);
    return true;
}

bool startJpeg (JpegSession& session)
{
    if (setjmp (session.jump) != 0)
        return false;

    session.info.out_color_space = JCS_RGB;
    return jpeg_start_decompress (&session.info) != 0;
}

bool readJpegRow (JpegSession& session, JSAMPROW row)
{
    if (setjmp (session.jump) != 0)
        return false;

    return jpeg_read_scanlines (&session.info, &row, 1) == 1;
}

bool finishJpeg (JpegSession& session)
{
    if (setjmp (session.jump) != 0)
        return false;

    return jpeg_finish_decompress (&session.info) != 0;
}

juce::Result decodeJpeg (const void* data, size_t numBytes, juce::Image& picture)
{
    JpegSession session {};
    const std::unique_ptr<jpeg_decompress_struct, decltype (&jpeg_destroy_decompress)> destroying (&session.info, jpeg_destroy_decompress);
    const auto failure = [&session]
    { return juce::Result::fail ("damaged JPEG: " + juce::String (session.message)); };

    if (! beginJpeg (session, static_cast<const unsigned char*> (data), (unsigned long) numBytes))
        return failure();

    if (const auto size = PictureDecoder::checkSize (session.info.image_width, session.info.image_height); size.failed())
        return size;

    if (! startJpeg (session))
        return failure();

    const auto width = (int) session.info.output_width;
    juce::Image image (juce::Image::RGB, width, (int) session.info.output_height, false, juce::SoftwareImageType());
    juce::HeapBlock<JSAMPLE> row ((size_t) width * 3);

    {
        const juce::Image::BitmapData pixels (image, juce::Image::BitmapData::writeOnly);

        for (int y = 0; y < pixels.height; ++y)
        {
            if (! readJpegRow (session, row))
                return failure();

            auto* target = pixels.getLinePointer (y);

            for (int x = 0; x < width; ++x, target += pixels.pixelStride)
                reinterpret_cast<juce::PixelRGB*> (target)->setARGB (0xff, row[3 * x], row[3 * x + 1], row[3 * x + 2]);
        }
    }

    if (! finishJpeg (session) || session.warnings > 0)
        return failure();

    picture = image;
    return juce::Result::ok();
}
} // namespace

//==============================================================================
juce::Result PictureDecoder::checkSize (juce::int64 width, juce::int64 height)
{
    if (width <= 0 || height <= 0)
        return juce::Result::fail ("a picture without pixels");

    if (width > maxSide || height > maxSide || width * height * 4 > maxDecodedBytes)
        return juce::Result::fail ("a picture of " + juce::String (width) + " x " + juce::String (height) + " pixels is too large");

    return juce::Result::ok();
}

juce::Result PictureDecoder::decode (const void* data, size_t numBytes, juce::Image& picture)
{
    picture = {};

    if (startsWith (data, numBytes, { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' }))
        return decodePng (data, numBytes, picture);

    if (startsWith (data, numBytes, { 0xff, 0xd8, 0xff }))
        return decodeJpeg (data, numBytes, picture);

    return juce::Result::fail ("neither a PNG nor a JPEG picture");
}

juce::Result PictureDecoder::decode (const juce::MemoryBlock& data, juce::Image& picture)
{
    return decode (data.getData(), data.getSize(), picture);
}
