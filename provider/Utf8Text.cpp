#include "provider/Utf8Text.h"

namespace provider
{
size_t Utf8Text::sequenceLength (const unsigned char* bytes, size_t available) noexcept
{
    if (available == 0)
        return 0;

    const auto lead = bytes[0];

    if (lead < 0x80)
        return 1;

    // The range the second byte may take follows from the lead (RFC 3629): the bounds shut out
    // overlong forms, surrogates and code points past U+10FFFF.
    size_t length = 0;
    unsigned char low = 0x80, high = 0xbf;

    if (lead >= 0xc2 && lead <= 0xdf)
        length = 2;
    else if (lead >= 0xe0 && lead <= 0xef)
    {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;
        high = lead == 0xed ? 0x9f : 0xbf;
    }
    else if (lead >= 0xf0 && lead <= 0xf4)
    {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;
    }
    else
        return 0;

    if (available < length || bytes[1] < low || bytes[1] > high)
        return 0;

    for (size_t i = 2; i < length; ++i)
        if ((bytes[i] & 0xc0) != 0x80)
            return 0;

    return length;
}

bool Utf8Text::isCleanText (const std::string& bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*> (bytes.data());

    for (size_t i = 0; i < bytes.size();)
    {
        const auto length = sequenceLength (data + i, bytes.size() - i);

        if (length == 0 || data[i] == 0)
            return false;

        i += length;
    }

    return true;
}

std::optional<juce::String> Utf8Text::decode (const std::string& bytes)
{
    if (! isCleanText (bytes))
        return std::nullopt;

    return juce::String::fromUTF8 (bytes.data(), (int) bytes.size());
}

juce::String Utf8Text::decodeKeepingBytes (const std::string& bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*> (bytes.data());
    std::string text;
    text.reserve (bytes.size());

    for (size_t i = 0; i < bytes.size();)
    {
        const auto length = sequenceLength (data + i, bytes.size() - i);

        if (length > 0 && data[i] != 0)
        {
            text.append (bytes, i, length);
            i += length;
            continue;
        }

        char standIn[4] = {};
        juce::CharPointer_UTF8 writer (standIn);
        writer.write (standInFor (data[i]));
        text.append (standIn, (size_t) (writer.getAddress() - standIn));
        ++i;
    }

    // Built from checked sequences and stand-ins only, so taken without the framework's check
    // (which would refuse the stand-ins).
    return juce::String (juce::CharPointer_UTF8 (text.data()), juce::CharPointer_UTF8 (text.data() + text.size()));
}

int Utf8Text::rawByteOf (juce::juce_wchar character) noexcept
{
    return character >= firstStandIn && character <= firstStandIn + 0xff ? (int) (character - firstStandIn) : -1;
}
} // namespace provider
