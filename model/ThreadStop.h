#pragma once

/**
    How long every worker thread of the program is given to stop before it is ended by force:
    long enough for a request or a file write in progress to finish, short enough that quitting
    never seems to hang.
*/
namespace ThreadStop
{
inline constexpr int timeoutMs = 10000;
} // namespace ThreadStop
