#pragma once

#include <JuceHeader.h>

/**
    The program's own temporary folder: "tsy-player-" followed by the user's numeric id inside
    $TMPDIR (or /tmp), created with mode 0700.

    The system's temporary folder is shared by every user of the machine, so a predictable name
    there could be taken over by someone else (a planted folder or symbolic link). The folder is
    used only when it is a real directory owned by this user and closed to everybody else; when
    that name is occupied by anything else, the run falls back to a fresh folder of its own.

    Any thread may call it.
*/
class PrivateTempFolder final
{
public:
    /** The folder, created on first use and checked on every call; File() when none can be had. */
    static juce::File get();

    /** The folder a run would use under a given parent: its fixed name, created and checked,
        or File() when that name is taken by something that is not this user's private folder.
    */
    static juce::File getPrivateChild (const juce::File& parent);

    /** The parent of the folder: $TMPDIR when it names an absolute path, else "/tmp". */
    static juce::File getSystemTemporaryFolder();

private:
    PrivateTempFolder() = delete;
};
