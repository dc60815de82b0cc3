#pragma once

#include "provider/ProvidedFile.h"

namespace provider
{
/**
    Every address the provider hands out, built from one absolute base address that reaches it
    (for example "http://127.0.0.1:8642/"), and the paths it answers on. The media (videos,
    extras, installer) may live under a base of their own: a web server serving an export of
    the library (MediaExporter), laid out as these paths are.

    A plain value; any thread may use it.
*/
class ProviderAddresses final
{
public:
    /** The bases must be absolute; a missing final "/" is added. Without a media base the
        media are addressed under baseUrl.
    */
    explicit ProviderAddresses (const juce::String& baseUrl, const juce::String& mediaBaseUrl = {});

    /** The base for a server bound to this address and port. An address that means "every
        interface" is replaced by the loopback address, which at least reaches the server from
        its own machine.
    */
    static ProviderAddresses forBinding (const juce::String& bindAddress, int port, const juce::String& mediaBaseUrl = {});

    /** Whether text is usable as a base: an absolute http or https address without a query. */
    static bool isValidBase (const juce::String& text);

    const juce::String& getBase() const noexcept { return base; }

    /** Where the videos, extras and installer are addressed: the base unless told otherwise. */
    const juce::String& getMediaBase() const noexcept { return mediaBase; }

    /** What clients prefix to "course/chapter/chapter.bin". */
    juce::String getVideosBase() const { return mediaBase + juce::String (videosPath).substring (1); }

    /** An extra: its address ends with its checksum name. */
    juce::String getExtra (const ProvidedFile& file) const;

    /** The installer, under its own file name. */
    juce::String getInstaller (const ProvidedFile& file) const;

    juce::String getHomePage() const { return base + juce::String (homePath).substring (1); }

    /** A course's own page: the home page showing that course. */
    juce::String getCoursePage (const juce::String& courseId) const;

    // Paths the server answers on.
    static constexpr const char* catalogPath = "/catalog.php";
    static constexpr const char* homePath = "/home.php";
    static constexpr const char* videosPath = "/videos/";
    static constexpr const char* extrasPath = "/extras/";
    static constexpr const char* downloadPath = "/download/";

private:
    juce::String base, mediaBase;
};
} // namespace provider
