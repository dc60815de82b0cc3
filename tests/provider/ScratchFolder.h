#pragma once

#include <JuceHeader.h>

/** A fresh folder in the temporary directory for one test, deleted with everything in it when
    the test ends.
*/
class ScratchFolder final
{
public:
    ScratchFolder()
        : folder (juce::File::getSpecialLocation (juce::File::tempDirectory)
                      .getNonexistentChildFile ("tsy-provider-test-" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64()), {}, false))
    {
        folder.createDirectory();
    }

    ~ScratchFolder() { folder.deleteRecursively(); }

    const juce::File& get() const noexcept { return folder; }
    juce::File getChildFile (const juce::String& path) const { return folder.getChildFile (path); }

private:
    juce::File folder;

    JUCE_DECLARE_NON_COPYABLE (ScratchFolder)
};
