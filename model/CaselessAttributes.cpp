#include "model/CaselessAttributes.h"

CaselessAttributes::CaselessAttributes (const juce::XmlElement& element)
{
    const auto count = element.getNumAttributes();
    names.ensureStorageAllocated (count);
    values.ensureStorageAllocated (count);

    for (int i = 0; i < count; ++i)
    {
        names.add (element.getAttributeName (i));
        values.add (element.getAttributeValue (i));
    }
}

const juce::String* CaselessAttributes::find (juce::StringRef name) const
{
    for (int i = 0; i < names.size(); ++i)
        if (names.getReference (i).equalsIgnoreCase (name))
            return &values.getReference (i);

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
