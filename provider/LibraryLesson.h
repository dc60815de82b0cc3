#pragma once

#include "provider/LibraryChapter.h"

#include <vector>

namespace provider
{
/**
    One lesson of a course in the library, with its chapters in publication order.

    A plain value, immutable once the library is loaded; any thread may read it.
*/
struct LibraryLesson
{
    int order = 0;
    juce::String title;
    std::vector<LibraryChapter> chapters;
};
} // namespace provider
