#pragma once

#include <JuceHeader.h>

#include <optional>
#include <string>

namespace provider
{
/**
    Checked conversions from the bytes clients send to text. Only strict UTF-8 counts as text:
    overlong forms (such as "%c0%ae" for "."), encoded surrogates and code points past U+10FFFF
    are refused, never read as some other text, and no conversion ever hands the framework bytes
    it would assert on. Plain functions, callable from any thread.
*/
class Utf8Text final
{
public:
    /** Whether bytes are UTF-8 text without NUL characters: the only form a request's path and
        parameters may take.
    */
    static bool isCleanText (const std::string& bytes);

    /** The text of bytes that are clean text; nothing otherwise. */
    static std::optional<juce::String> decode (const std::string& bytes);

    /** The text of any bytes, for showing what was sent: every byte that is not part of a UTF-8
        sequence, and every NUL, becomes a stand-in character (U+DC00 + the byte, a lone
        surrogate that no checked text can hold), which rawByteOf tells apart.
    */
    static juce::String decodeKeepingBytes (const std::string& bytes);

    /** The byte a stand-in character of decodeKeepingBytes stands for; -1 for any other character. */
    static int rawByteOf (juce::juce_wchar character) noexcept;

    /** The stand-in character of decodeKeepingBytes for a byte. */
    static juce::juce_wchar standInFor (unsigned char byte) noexcept { return firstStandIn + byte; }

    /** The length of the UTF-8 sequence at the start of bytes (1 to 4); 0 when it is not one. */
    static size_t sequenceLength (const unsigned char* bytes, size_t available) noexcept;

private:
    static constexpr juce::juce_wchar firstStandIn = 0xdc00;
};
} // namespace provider
