#pragma once

#include <JuceHeader.h>

class Core;

/**
    The process-wide list of live Core objects.

    Every Core adds itself at the end of its construction and removes itself while it is
    destroyed; the application object asks for the count to decide whether the shared services
    have to be started or stopped. Any thread may call it.
*/
class CoreRegistry final
{
public:
    /** Appends a Core to the list. */
    static void add (Core* core);

    /** Removes a Core from the list; a Core that is not listed is ignored. */
    static void remove (Core* core);

    /** The number of live Core objects. */
    static int size();

private:
    CoreRegistry() = delete;
};
