#pragma once

#include <cstddef>

/**
    The skin archive (a ZIP of "images/", "vector/" and "fonts/") compiled into the program.
    Immutable data: any thread may read it.
*/
namespace SkinArchive
{
/** The archive's bytes. */
const void* getData() noexcept;

/** The archive's size in bytes. */
size_t getSize() noexcept;
} // namespace SkinArchive
