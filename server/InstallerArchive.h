#pragma once

#include <JuceHeader.h>

/**
    Unpacks a downloaded installer archive, refusing any archive that holds an entry a plain
    folder of files would not: a symbolic link, an absolute name, a ".." step, or a name with a
    control character. Nothing is written unless every entry passes.

    Called on the message thread by the upgrade, after the archive's signature has verified.
*/
class InstallerArchive final
{
public:
    /** Whether an entry's stored name is a plain relative path inside the archive's folder. */
    static bool isPlainName (const juce::String& name);

    /** Checks every entry of a ZIP archive, then unpacks them into folder (overwriting). False,
        with nothing written, for an archive that is unreadable, empty or holds any refused
        entry; false too when writing fails.
    */
    static bool extract (const juce::File& archive, const juce::File& folder);

private:
    InstallerArchive() = delete;
};
