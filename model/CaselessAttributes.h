#pragma once

#include <JuceHeader.h>

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
    /** Copies the attributes of an element. */
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
    const juce::String* find (juce::StringRef name) const;

    juce::StringArray names;
    juce::StringArray values;

    JUCE_LEAK_DETECTOR (CaselessAttributes)
};
