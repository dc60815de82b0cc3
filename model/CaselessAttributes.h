#pragma once

#include <JuceHeader.h>

#include <array>
#include <vector>

/**
    An XML element's attributes looked up with names matched without regard to ASCII letter case,
    the first match in document order winning, and read with the catalog's lenient rules:
    missing strings read empty, numbers read their leading digits and default to 0.

    Also answers whether a child name matches without case, since the documents this program
    reads look children up that way and then insist on the exact spelling.

    A plain value object: any thread may use its own instance.
*/
class CaselessAttributes final
{
public:
    /** Indexes the attributes of an element, which must outlive this object. */
    explicit CaselessAttributes (const juce::XmlElement& element);

    /** True when the element has the attribute. */
    bool contains (juce::StringRef name) const;

    /** The attribute's text, or an empty string when missing. */
    juce::String getString (juce::StringRef name) const;

    /** Leading decimal digits with an optional sign; 0 when missing or not numeric. */
    int getInt (juce::StringRef name) const;

    /** As getInt, for 64-bit values. */
    juce::int64 getInt64 (juce::StringRef name) const;

    /** A decimal number; 0 when missing or not numeric. */
    double getDouble (juce::StringRef name) const;

    /** True when an element's tag equals a name without regard to letter case. */
    static bool tagMatches (const juce::XmlElement& element, juce::StringRef name);

private:
    /** One attribute; the strings belong to the element, which outlives this object. */
    struct Entry
    {
        const juce::String* name = nullptr;
        const juce::String* value = nullptr;
        juce::uint32 foldedHash = 0;
    };

    static juce::uint32 hashIgnoringCase (juce::StringRef text) noexcept;
    const juce::String* find (juce::StringRef name) const;

    // Catalog elements carry about ten attributes: keep them out of the heap.
    static constexpr size_t inlineCapacity = 16;
    std::array<Entry, inlineCapacity> inlineEntries;
    std::vector<Entry> moreEntries;
    size_t numEntries = 0;

    JUCE_LEAK_DETECTOR (CaselessAttributes)
};
