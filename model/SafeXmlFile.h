#pragma once

#include <JuceHeader.h>

/**
    Small XML files the program keeps for itself (the preferences, each chapter's state), read so
    that a damaged or hostile file cannot hurt the program. Only a regular file within a size
    bound is read; a document type declaration refuses the file, so nothing it names is ever
    loaded; and nesting deeper than the file's format has refuses it too. The checks run on a
    reader that needs no stack in proportion to the nesting; the framework's recursive parser
    only ever sees files that passed them.

    Any thread.
*/
class SafeXmlFile final
{
public:
    /** What a format allows. */
    struct Limits
    {
        juce::int64 maxBytes = 1 << 20;
        int maxDepth = 8;
    };

    enum class Verdict
    {
        readable,
        missing,
        unreadable,
        malformed,
        declaresDocumentType,
        nestedTooDeeply
    };

    /** Reads and checks a file; when it is readable, its text is handed back. Bytes that are not
        UTF-8 are read as replacement characters (U+FFFD), each where it stands, and repaired (if
        given) tells whether there were any.
    */
    static Verdict read (const juce::File& file, const Limits& limits, juce::String& text, bool* repaired = nullptr);

    /** The bytes with each one that is not part of a valid UTF-8 sequence replaced by U+FFFD;
        true when anything was replaced.
    */
    static bool repairUtf8 (juce::MemoryBlock& bytes);

    /** The element tree of a file that passes the checks; nullptr otherwise. */
    static std::unique_ptr<juce::XmlElement> parse (const juce::File& file, const Limits& limits);

    /** The root element and its direct children, with their attributes only, of a refused file
        (too deep, declaring a document type, or broken off after its first elements), so that
        what can still be trusted of it can be saved; nullptr when not even a root can be read.
    */
    static std::unique_ptr<juce::XmlElement> parseTopLevel (const juce::File& file, const Limits& limits);

private:
    SafeXmlFile() = delete;
};
