#pragma once

#include <JuceHeader.h>

/**
    Copies that are trusted only once they are on disk whole. The framework's file copy reports
    success before its last buffer is written, so a full disk can leave a short file behind a
    successful copy; these checks compare the sizes afterwards.

    Pure file operations; any thread.
*/
class VerifiedCopy final
{
public:
    /** True when the copy exists as a file of the original's size. */
    static bool isWholeCopy (const juce::File& original, const juce::File& copy);

    /** Copies a file over any file of the destination's name; true only when the copy is whole.
        A short copy is deleted rather than left looking like the original.
    */
    static bool copyFile (const juce::File& source, const juce::File& destination);

    /** Copies a folder tree: creates the destination, copies the files directly in the source,
        then each sub-folder the same way, depth first. Stops at the first failure, leaving what
        was copied. Fails when the source is not a folder or the destination cannot be made.
    */
    static bool copyTree (const juce::File& source, const juce::File& destination);

    /** Deletes every file of the source tree that has a whole copy at the same place under the
        destination, then every folder of it left empty. Whatever has no whole copy, such as a
        file that arrived after the copy was made, stays. True when the source tree is gone.
    */
    static bool removeCopiedOriginals (const juce::File& source, const juce::File& destination);

private:
    VerifiedCopy() = delete;
};
