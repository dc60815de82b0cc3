#include "search/WordMatching.h"

#include <unicode/uchar.h>

#include <cstring>

namespace
{
void appendUtf8 (std::string& destination, juce::juce_wchar character)
{
    char buffer[8] {};
    juce::CharPointer_UTF8 out (buffer);
    out.write (character);
    destination.append (buffer, (size_t) (out.getAddress() - buffer));
}

bool isFinalVowel (juce::juce_wchar character) noexcept
{
    return character == 'a' || character == 'e' || character == 'i' || character == 'o' || character == 'u';
}
} // namespace

bool WordMatching::isWordCharacter (juce::juce_wchar character) noexcept
{
    if (character < 0x80)
        return (character >= 'a' && character <= 'z') || (character >= 'A' && character <= 'Z') || (character >= '0' && character <= '9');

    return character == 0xc3 || u_isalnum ((UChar32) character) != 0;
}

juce::juce_wchar WordMatching::toLowerCase (juce::juce_wchar character) noexcept
{
    if (character < 0x80)
        return character >= 'A' && character <= 'Z' ? character + ('a' - 'A') : character;

    return (juce::juce_wchar) u_tolower ((UChar32) character);
}

void WordMatching::appendLowerCase (std::string& destination, const char* utf8, size_t numBytes)
{
    const auto* end = utf8 + numBytes;
    juce::CharPointer_UTF8 in (utf8);

    while (in.getAddress() < end)
    {
        const auto byte = (unsigned char) *in.getAddress();

        if (byte < 0x80)
        {
            destination.push_back (byte >= 'A' && byte <= 'Z' ? (char) (byte + ('a' - 'A')) : (char) byte);
            ++in;
        }
        else
        {
            appendUtf8 (destination, toLowerCase (in.getAndAdvance()));
        }
    }
}

juce::String WordMatching::toLowerCase (const juce::String& text)
{
    std::string lower;
    appendLowerCase (lower, text.toRawUTF8(), text.getNumBytesAsUTF8());
    return juce::String::fromUTF8 (lower.data(), (int) lower.size());
}

juce::String WordMatching::getStem (const juce::String& word, bool removeWildcards)
{
    auto stem = toLowerCase (removeWildcards ? word.removeCharacters ("%_") : word);

    if (isFinalVowel (stem.getLastCharacter()))
        stem = stem.dropLastCharacters (1);

    return stem;
}

bool WordMatching::matchesStem (const char* wordUtf8, size_t wordBytes, const std::string& stemUtf8) noexcept
{
    return wordBytes >= stemUtf8.size() && std::memcmp (wordUtf8, stemUtf8.data(), stemUtf8.size()) == 0;
}

bool WordMatching::matchesStem (const juce::String& word, const juce::String& stem)
{
    return matchesStem (word.toRawUTF8(), word.getNumBytesAsUTF8(), stem.toStdString());
}

juce::StringArray WordMatching::splitLabel (const juce::String& label)
{
    auto pieces = juce::StringArray::fromTokens (label, " ", {});
    pieces.removeEmptyStrings (false);
    return pieces;
}

bool WordMatching::containsPhrase (const juce::StringArray& pieces, const juce::StringArray& stems)
{
    const auto numPieces = pieces.size();
    const auto numStems = stems.size();

    if (numStems == 0 || numPieces < numStems)
        return false;

    int first = 0;

    while (first < numPieces && ! matchesStem (pieces[first], stems[0]))
        ++first;

    if (first == numPieces || first + numStems > numPieces)
        return false;

    for (int k = 1; k < numStems; ++k)
        if (! matchesStem (pieces[first + k], stems[k]))
            return false;

    return true;
}
