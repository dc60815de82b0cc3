#include "provider/ByteRanges.h"

#include <algorithm>

namespace provider
{
namespace
{
/** A run of decimal digits as a number; false when empty, not digits, or too large. */
bool parseNumber (const juce::String& text, juce::int64& value)
{
    if (text.isEmpty() || text.length() > 18 || ! text.containsOnly ("0123456789"))
        return false;

    value = text.getLargeIntValue();
    return true;
}
} // namespace

ByteRanges::Resolution ByteRanges::resolve (const juce::String& rangeHeader, juce::int64 length)
{
    Resolution whole;
    const auto header = rangeHeader.trim();

    if (! header.startsWithIgnoreCase ("bytes="))
        return whole;

    const auto list = juce::StringArray::fromTokens (header.substring (6), ",", {});

    if (list.size() > maxListedRanges)
        return whole;

    std::vector<Span> spans;
    int listed = 0;

    for (auto& item : list)
    {
        const auto spec = item.trim();

        // Empty list elements are allowed and mean nothing.
        if (spec.isEmpty())
            continue;

        ++listed;

        if (! spec.containsChar ('-'))
            return whole;

        const auto firstText = spec.upToFirstOccurrenceOf ("-", false, false).trim();
        const auto lastText = spec.fromFirstOccurrenceOf ("-", false, false).trim();
        juce::int64 first = 0, last = 0;

        if (firstText.isEmpty())
        {
            // "-N": the last N bytes.
            if (! parseNumber (lastText, last))
                return whole;

            if (last > 0 && length > 0)
                spans.push_back ({ std::max<juce::int64> (0, length - last), length - 1 });

            continue;
        }

        if (! parseNumber (firstText, first) || (lastText.isNotEmpty() && ! parseNumber (lastText, last)))
            return whole;

        if (lastText.isEmpty())
            last = length - 1;
        else if (last < first)
            return whole;

        if (first < length)
            spans.push_back ({ first, std::min (last, length - 1) });
    }

    if (spans.empty())
        return { listed == 0 ? Outcome::whole : Outcome::unsatisfiable, {} };

    std::sort (spans.begin(), spans.end(), [] (const Span& a, const Span& b) { return a.first < b.first; });
    std::vector<Span> merged { spans.front() };

    for (auto& span : spans)
    {
        if (span.first <= merged.back().last + 1)
            merged.back().last = std::max (merged.back().last, span.last);
        else
            merged.push_back (span);
    }

    if (merged.size() > maxSpans)
        return whole;

    return { Outcome::partial, std::move (merged) };
}
} // namespace provider
