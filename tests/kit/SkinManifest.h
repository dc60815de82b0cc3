#pragma once

#include "kit/SkinArchive.h"
#include "kit/StuffRepository.h"

#include <vector>

/** What the program expects of its skin: every picture, drawing and typeface by name and size. */
namespace SkinManifest
{
struct Entry
{
    const char* name;
    int width, height;
};

inline const std::vector<Entry>& pictures()
{
    static const std::vector<Entry> list {
        { "favorites-down", 28, 28 },
        { "favorites-norm", 28, 28 },
        { "favorites-on-down", 28, 28 },
        { "favorites-on-norm", 28, 28 },
        { "ffwd-down", 28, 28 },
        { "ffwd-norm", 28, 28 },
        { "marker-down", 28, 28 },
        { "marker-norm", 28, 28 },
        { "next-down", 28, 28 },
        { "next-norm", 28, 28 },
        { "originalsize-down", 28, 28 },
        { "originalsize-norm", 28, 28 },
        { "pause-down", 28, 28 },
        { "pause-norm", 28, 28 },
        { "play-down", 28, 28 },
        { "play-norm", 28, 28 },
        { "prev-down", 28, 28 },
        { "prev-norm", 28, 28 },
        { "rwnd-down", 28, 28 },
        { "rwnd-norm", 28, 28 },
        { "toggletab-down", 28, 28 },
        { "toggletab-norm", 28, 28 },
        { "icon-close", 16, 16 },
        { "icon-download", 16, 16 },
        { "icon-favorites", 16, 16 },
        { "icon-home", 16, 16 },
        { "icon-manual", 16, 16 },
        { "icon-preferences", 16, 16 },
        { "present", 16, 16 },
        { "mac-close-normal", 14, 16 },
        { "mac-close-over", 14, 16 },
        { "mac-maximise-normal", 14, 16 },
        { "mac-maximise-over", 14, 16 },
        { "mac-minimise-normal", 14, 16 },
        { "mac-minimise-over", 14, 16 },
        { "play-small", 15, 15 },
        { "tag-free-video", 91, 14 },
        { "logo", 200, 45 },
    };
    return list;
}

/** The SVG drawings with the size of their canvas in units. */
inline const std::vector<Entry>& drawings()
{
    static const std::vector<Entry> list {
        { "applications-system", 48, 48 },
        { "audio-volume-medium", 48, 48 },
        { "audio-volume-muted", 48, 48 },
        { "document-save", 48, 48 },
        { "folder", 48, 48 },
        { "go-bottom-blue", 48, 48 },
        { "go-bottom-green", 48, 48 },
        { "go-bottom-orange", 48, 48 },
        { "go-home", 48, 48 },
        { "help-browser", 48, 48 },
        { "led-off", 32, 32 },
        { "led-on", 32, 32 },
        { "list-remove", 48, 48 },
        { "media-playback-pause", 48, 48 },
        { "media-playback-start", 48, 48 },
        { "media-skip-backward", 48, 48 },
        { "media-skip-forward", 48, 48 },
        { "preferences-system", 48, 48 },
        { "process-stop", 48, 48 },
        { "software-update-available", 48, 48 },
        { "system-search", 48, 48 },
    };
    return list;
}

inline const juce::StringArray& typefaces()
{
    static const juce::StringArray list { "Lucida Grande Bold", "Lucida Grande Regular" };
    return list;
}

/** The archive compiled into the program, read from memory as the program reads it. */
inline void loadEmbeddedSkin (qo::StuffRepository& repository)
{
    juce::MemoryInputStream in (SkinArchive::getData(), SkinArchive::getSize(), false);
    juce::ZipFile zip (in);
    repository.addEntriesFromZip (zip);
}
} // namespace SkinManifest
