#include "provider/Utf8Text.h"

#include <gtest/gtest.h>

using namespace provider;

namespace
{
/** The UTF-8 form of a code point, written by the framework's own encoder. */
std::string encode (juce::juce_wchar codePoint)
{
    char bytes[8] = {};
    juce::CharPointer_UTF8 writer (bytes);
    writer.write (codePoint);
    return std::string (bytes, (size_t) (writer.getAddress() - bytes));
}

size_t lengthOf (const std::string& bytes)
{
    return Utf8Text::sequenceLength (reinterpret_cast<const unsigned char*> (bytes.data()), bytes.size());
}

/** The code point a checked sequence of two or three bytes stands for. */
juce::juce_wchar codePointOf (const unsigned char* bytes, size_t length)
{
    if (length == 2)
        return (juce::juce_wchar) (((bytes[0] & 0x1f) << 6) | (bytes[1] & 0x3f));

    return (juce::juce_wchar) (((bytes[0] & 0x0f) << 12) | ((bytes[1] & 0x3f) << 6) | (bytes[2] & 0x3f));
}
} // namespace

TEST (Utf8Text, TakesPlainAndMultiByteText)
{
    const std::string text = "Lovelace L\xc3\xb6velace \xe2\x82\xac \xf0\x9f\x8e\xac";

    EXPECT_TRUE (Utf8Text::isCleanText (""));
    EXPECT_TRUE (Utf8Text::isCleanText (text));

    const auto decoded = Utf8Text::decode (text);
    ASSERT_TRUE (decoded.has_value());
    EXPECT_EQ (*decoded, juce::String::fromUTF8 (text.data(), (int) text.size()));
    EXPECT_EQ (decoded->length(), 21);
    EXPECT_EQ ((*decoded)[20], (juce::juce_wchar) 0x1f3ac);
}

TEST (Utf8Text, RefusesOverlongFormsInsteadOfReadingThemAsOtherText)
{
    // "%c0%ae" would be ".", "%c1%a5" "e", "%c0%80" NUL, and the longer forms "/" and ".".
    for (const std::string overlong : { "\xc0\xae", "\xc1\xa5", "\xc0\x80", "\xe0\x80\xaf", "\xe0\x9f\xbf", "\xf0\x80\x80\xae", "\xf0\x8f\xbf\xbf" })
    {
        EXPECT_EQ (lengthOf (overlong), 0u) << juce::String::toHexString (overlong.data(), (int) overlong.size());
        EXPECT_FALSE (Utf8Text::isCleanText ("a" + overlong + "b"));
        EXPECT_FALSE (Utf8Text::decode ("/videos/" + overlong + overlong + "/x").has_value());
    }

    // The shortest forms just past the overlong ones are text.
    EXPECT_EQ (lengthOf ("\xc2\x80"), 2u);
    EXPECT_EQ (lengthOf ("\xe0\xa0\x80"), 3u);
    EXPECT_EQ (lengthOf ("\xf0\x90\x80\x80"), 4u);
}

TEST (Utf8Text, RefusesSurrogatesCodePointsPastTheLastAndBytesNoSequenceHolds)
{
    EXPECT_EQ (lengthOf ("\xed\x9f\xbf"), 3u); // U+D7FF
    EXPECT_EQ (lengthOf ("\xed\xa0\x80"), 0u); // U+D800
    EXPECT_EQ (lengthOf ("\xed\xbf\xbf"), 0u); // U+DFFF
    EXPECT_EQ (lengthOf ("\xee\x80\x80"), 3u); // U+E000
    EXPECT_EQ (lengthOf ("\xf4\x8f\xbf\xbf"), 4u); // U+10FFFF
    EXPECT_EQ (lengthOf ("\xf4\x90\x80\x80"), 0u); // U+110000
    EXPECT_EQ (lengthOf ("\xf5\x80\x80\x80"), 0u);

    for (const std::string bad : { "\x80", "\xbf", "\xfe", "\xff", "\xc3", "\xe2\x82", "\xf0\x9f\x8e", "\xc3\x28", "\xe2\x28\xa1", "\xf0\x9f\x28\xac" })
    {
        EXPECT_EQ (lengthOf (bad), 0u) << juce::String::toHexString (bad.data(), (int) bad.size());
        EXPECT_FALSE (Utf8Text::isCleanText ("lang=" + bad));
        EXPECT_FALSE (Utf8Text::decode (bad + "en").has_value());
    }

    // A sequence cut by the end of what it is given is never read past it.
    const auto* euro = reinterpret_cast<const unsigned char*> ("\xe2\x82\xac");

    for (size_t given = 0; given < 3; ++given)
        EXPECT_EQ (Utf8Text::sequenceLength (euro, given), 0u) << given;

    EXPECT_EQ (Utf8Text::sequenceLength (euro, 3), 3u);
}

TEST (Utf8Text, RefusesANulAnywhereInAValue)
{
    EXPECT_EQ (lengthOf (std::string (1, '\0')), 1u);

    for (const auto& value : { std::string ("en\0", 3), std::string ("\0en", 3), std::string ("1\0\0", 3), std::string (1, '\0') })
    {
        EXPECT_FALSE (Utf8Text::isCleanText (value));
        EXPECT_FALSE (Utf8Text::decode (value).has_value());
    }
}

TEST (Utf8Text, TakesExactlyTheShortestFormOfEveryCodePoint)
{
    // Every code point the framework can encode reads back whole, surrogates aside.
    for (juce::juce_wchar codePoint = 1; codePoint <= 0x10ffff; ++codePoint)
    {
        if (codePoint >= 0xd800 && codePoint <= 0xdfff)
            continue;

        const auto bytes = encode (codePoint);

        if (lengthOf (bytes) != bytes.size())
            FAIL() << "U+" << juce::String::toHexString ((int) codePoint);
    }

    // And of all sequences of two and three bytes, only those forms are taken.
    size_t twoByteForms = 0, threeByteForms = 0;

    for (int lead = 0xc0; lead <= 0xef; ++lead)
    {
        for (int second = 0; second < 256; ++second)
        {
            for (int third = 0; third < (lead < 0xe0 ? 1 : 256); ++third)
            {
                const unsigned char bytes[] = { (unsigned char) lead, (unsigned char) second, (unsigned char) third };
                const auto length = Utf8Text::sequenceLength (bytes, lead < 0xe0 ? 2 : 3);

                if (length == 0)
                    continue;

                const auto codePoint = codePointOf (bytes, length);

                if (encode (codePoint) != std::string (reinterpret_cast<const char*> (bytes), length))
                    FAIL() << juce::String::toHexString (bytes, (int) length);

                ++(length == 2 ? twoByteForms : threeByteForms);
            }
        }
    }

    EXPECT_EQ (twoByteForms, (size_t) (0x800 - 0x80));
    EXPECT_EQ (threeByteForms, (size_t) (0x10000 - 0x800 - 0x800));
}

TEST (Utf8Text, ShowsAnyBytesWithStandInsThatTellTheBytesApart)
{
    const auto sent = std::string ("a\xff") + "b\xc0\xae" + "\xc3\xb6" + std::string (1, '\0') + "z";
    const auto shown = Utf8Text::decodeKeepingBytes (sent);

    ASSERT_EQ (shown.length(), 8);
    EXPECT_EQ (shown[0], (juce::juce_wchar) 'a');
    EXPECT_EQ (Utf8Text::rawByteOf (shown[1]), 0xff);
    EXPECT_EQ (shown[2], (juce::juce_wchar) 'b');
    EXPECT_EQ (Utf8Text::rawByteOf (shown[3]), 0xc0);
    EXPECT_EQ (Utf8Text::rawByteOf (shown[4]), 0xae);
    EXPECT_EQ (shown[5], (juce::juce_wchar) 0xf6);
    EXPECT_EQ (Utf8Text::rawByteOf (shown[6]), 0);
    EXPECT_EQ (shown[7], (juce::juce_wchar) 'z');

    for (auto i : { 0, 2, 5, 7 })
        EXPECT_EQ (Utf8Text::rawByteOf (shown[i]), -1);

    for (int byte = 0; byte < 256; ++byte)
        EXPECT_EQ (Utf8Text::rawByteOf (Utf8Text::standInFor ((unsigned char) byte)), byte);

    EXPECT_EQ (Utf8Text::rawByteOf (0xdbff), -1);
    EXPECT_EQ (Utf8Text::rawByteOf (0xdd00), -1);

    // Clean text is shown as itself.
    const std::string clean = "L\xc3\xb6velace \xe2\x82\xac";
    EXPECT_EQ (Utf8Text::decodeKeepingBytes (clean), *Utf8Text::decode (clean));
}
