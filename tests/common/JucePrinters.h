#pragma once

#include <JuceHeader.h>

#include <ostream>

namespace juce
{
/** Lets GoogleTest show string lists readably in failure messages. */
inline void PrintTo (const StringArray& strings, std::ostream* os)
{
    *os << "{ ";

    for (const auto& s : strings)
        *os << '"' << s << "\" ";

    *os << "}";
}
} // namespace juce
