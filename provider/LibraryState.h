#pragma once

#include "provider/Library.h"

#include <memory>
#include <optional>

namespace provider
{
/**
    What the provider knows about its library at one moment: the library in use (none while the
    library on disk cannot be loaded), why not, and when it last changed.

    A plain value handed out by LibraryMonitor; request threads read their own copy.
*/
struct LibraryState
{
    std::shared_ptr<const Library> library;
    juce::String loadError;

    /** When a change of the library was last noticed; none when it has not changed since the
        provider started (the start itself is not a change).
    */
    std::optional<juce::Time> lastChange;
};
} // namespace provider
