#include "model/CoreRegistry.h"

namespace
{
struct Registry
{
    juce::CriticalSection lock;
    juce::Array<Core*> cores;
};

Registry& getRegistry()
{
    static Registry registry;
    return registry;
}
} // namespace

void CoreRegistry::add (Core* core)
{
    auto& r = getRegistry();
    const juce::ScopedLock sl (r.lock);
    r.cores.add (core);
}

void CoreRegistry::remove (Core* core)
{
    auto& r = getRegistry();
    const juce::ScopedLock sl (r.lock);
    r.cores.removeFirstMatchingValue (core);
}

int CoreRegistry::size()
{
    auto& r = getRegistry();
    const juce::ScopedLock sl (r.lock);
    return r.cores.size();
}
