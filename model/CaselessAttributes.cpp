#include "model/CaselessAttributes.h"

CaselessAttributes::CaselessAttributes (const juce::XmlElement& element)
{
    const auto count = (size_t) element.getNumAttributes();

    if (count > inlineCapacity)
        moreEntries.resize (count - inlineCapacity);

    for (size_t i = 0; i < count; ++i)
    {
        const auto& name = element.getAttributeName ((int) i);
        auto& entry = i < inlineCapacity ? inlineEntries[i] : moreEntries[i - inlineCapacity];
        entry = { &name, &element.getAttributeValue ((int) i), hashIgnoringCase (name) };
    }

    numEntries = count;
}

juce::uint32 CaselessAttributes::hashIgnoringCase (juce::StringRef text) noexcept
{
    // Names match without regard to ASCII letter case only, so only ASCII letters are folded;
    // equal hashes are confirmed by a full comparison.
    juce::uint32 hash = 2166136261u;

    for (auto p = text.text; ! p.isEmpty(); ++p)
    {
        auto c = (juce::uint32) *p;

        if (c >= 'A' && c <= 'Z')
            c += 'a' - 'A';

        hash = (hash ^ c) * 16777619u;
    }

    return hash;
}

const juce::String* CaselessAttributes::find (juce::StringRef name) const
{
    const auto hash = hashIgnoringCase (name);

    for (size_t i = 0; i < numEntries; ++i)
    {
        const auto& entry = i < inlineCapacity ? inlineEntries[i] : moreEntries[i - inlineCapacity];

        if (entry.foldedHash == hash && entry.name->equalsIgnoreCase (name))
            return entry.value;
    }

    return nullptr;
}

bool CaselessAttributes::contains (juce::StringRef name) const
{
    return find (name) != nullptr;
}

juce::String CaselessAttributes::getString (juce::StringRef name) const
{
    const auto* value = find (name);
    return value != nullptr ? *value : juce::String();
}

int CaselessAttributes::getInt (juce::StringRef name) const
{
    const auto* value = find (name);
    return value != nullptr ? value->getIntValue() : 0;
}

juce::int64 CaselessAttributes::getInt64 (juce::StringRef name) const
{
    const auto* value = find (name);
    return value != nullptr ? value->getLargeIntValue() : 0;
}

double CaselessAttributes::getDouble (juce::StringRef name) const
{
    const auto* value = find (name);
    return value != nullptr ? value->getDoubleValue() : 0.0;
}

bool CaselessAttributes::tagMatches (const juce::XmlElement& element, juce::StringRef name)
{
    return element.getTagName().equalsIgnoreCase (name);
}
