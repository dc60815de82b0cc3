#pragma once

#include <JuceHeader.h>

#include <string>

/**
    What a word is, and when a searched word matches a word of a transcript or of a marker's
    label: the indexer stores words by these rules and the search looks for them by the same.

    Characters are classified and lower-cased code point by code point with Unicode's own tables,
    so a database built on one machine reads the same on another whatever its locale.

    Pure functions; any thread.
*/
class WordMatching final
{
public:
    /** A Unicode letter or decimal digit, or U+00C3. */
    static bool isWordCharacter (juce::juce_wchar character) noexcept;

    /** The character's simple lower-case mapping. */
    static juce::juce_wchar toLowerCase (juce::juce_wchar character) noexcept;

    /** Appends the lower-case form of UTF-8 text to a string, as UTF-8. */
    static void appendLowerCase (std::string& destination, const char* utf8, size_t numBytes);

    /** The text in lower case. */
    static juce::String toLowerCase (const juce::String& text);

    /** A searched word as it is matched: in lower case, without a final a, e, i, o or u; for the
        first word of the database query, "%" and "_" are removed before.
    */
    static juce::String getStem (const juce::String& word, bool removeWildcards);

    /** Whether a word starts with a stem, character for character; the empty stem matches any
        word. Both in UTF-8, where a prefix of bytes is a prefix of characters.
    */
    static bool matchesStem (const char* wordUtf8, size_t wordBytes, const std::string& stemUtf8) noexcept;

    /** The same for strings. */
    static bool matchesStem (const juce::String& word, const juce::String& stem);

    /** A marker's label as the pieces the phrase test compares: split at each blank, empty
        pieces dropped.
    */
    static juce::StringArray splitLabel (const juce::String& label);

    /** Whether the stems occur one after the other in the pieces, starting at the first piece
        that matches the first stem (no later start is tried).
    */
    static bool containsPhrase (const juce::StringArray& pieces, const juce::StringArray& stems);

private:
    WordMatching() = delete;
};
