#pragma once

#include <JuceHeader.h>

namespace provider
{
/**
    The provider's private folder for files it makes (partners archives): created in the
    temporary directory, deleted with everything in it when the object goes.

    A provider that was killed or crashed cannot delete its folder, so each folder holds a lock
    for as long as its owner lives, and creating a new one first deletes the folders whose lock
    nobody holds any more. Created and destroyed by one thread; getFolder may be read by any.
*/
class WorkFolder final
{
public:
    /** Creates a fresh folder inside parent, after removing abandoned ones there. */
    explicit WorkFolder (const juce::File& parent = juce::File::getSpecialLocation (juce::File::tempDirectory));
    ~WorkFolder();

    const juce::File& getFolder() const noexcept { return folder; }

    /** Deletes the work folders in parent that no living owner holds; returns how many. */
    static int removeAbandoned (const juce::File& parent);

    /** Work folders are named this followed by random hexadecimal digits. */
    static constexpr const char* namePrefix = "tsy-provider-work-";

    /** Added to the name of a work folder until its lock is taken. */
    static constexpr const char* makingSuffix = ".new";

    /** The file inside a work folder whose lock says that its owner lives. */
    static constexpr const char* lockFileName = ".owner";

private:
    juce::File folder;
    int lockDescriptor = -1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WorkFolder)
};
} // namespace provider
