#pragma once

#include "model/ExtrasDownloader.h"

#include <JuceHeader.h>

#include <array>
#include <atomic>
#include <map>

/**
    Keeps a local copy of every course's extras in the per-user data folder, fetching only what
    changed: the cover and credits pictures as covers/C/S.tyi and credits/C/S.tyi, the partners
    site unpacked into partners/C/S/, where C is the course's folder name and S the MD5 checksum
    that the extra's address names and the downloaded bytes were verified against. A picture is
    filed only once it decoded whole, and an archive only unpacks within the bounds of
    checkArchive; a refused extra is dropped and the log says why.

    Core makes it through the factory the application hands over, starts it, fills its three
    request tables whenever it installs a catalog, and stops it. Requests and lookups may come
    from any thread; the fetching runs on the thread "downloadExtras" and touches no component.
    Each table has a lock of its own, and none is held while an extra is fetched or written.
*/
class DownloadExtrasThread final : public juce::Thread,
                                   public ExtrasDownloader
{
public:
    /** A downloader for a data folder, not yet started. */
    explicit DownloadExtrasThread (const juce::File& dataFolder);

    /** Stops the thread if it is still running. */
    ~DownloadExtrasThread() override;

    /** The factory that the application hands to Core. */
    static std::unique_ptr<ExtrasDownloader> makeDownloader (const juce::File& dataFolder);

    //==============================================================================
    void start() override;
    void stop (int timeoutMs) override;
    void request (ExtrasKind kind, const juce::String& courseId, const juce::URL& url) override;

    juce::File findCoverFile (const juce::String& courseId) const override;
    juce::File findCreditsFile (const juce::String& courseId) const override;
    juce::File findPartnersFolder (const juce::String& courseId) const override;

    /** Whether every request so far has been dealt with: the tables are empty and nothing is
        being fetched.
    */
    bool isIdle() const;

    //==============================================================================
    /** The checksum an extra's address names: the last segment of its path (without host and
        query), cut at its first "."; empty when there is none.
    */
    static juce::String getExpectedChecksum (const juce::URL& url);

    /** The folder that holds a course's copy of one kind: covers/C, credits/C or partners/C in
        the data folder, C being the course identifier made a legal file name. File() when the
        identifier names no folder of its own there.
    */
    juce::File getCourseFolder (ExtrasKind kind, const juce::String& courseId) const;

    /** Unpacks a ZIP archive into a destination folder, all or nothing: the entries go into a
        fresh hidden folder beside the destination, which takes the destination's place (and
        whatever was there goes) only once every entry is out. An archive that cannot be read,
        has an entry leading outside the folder or a symbolic link, or goes beyond the bounds of
        checkArchive leaves no trace and the destination as it was. The result says why it failed.
    */
    static juce::Result extractArchive (const juce::File& archive, const juce::File& destination);

    /** Whether an archive stays within what a partners site may unpack to: at most
        maxArchiveEntries entries and maxArchiveBytes in all, expanding no more than
        maxArchiveRatio times the archive's own size once past ratioFloorBytes, and every entry
        expanding to exactly the size it claims (each is decompressed once, to nowhere, to know).
        The archive file's size is archiveBytes.
    */
    static juce::Result checkArchive (juce::ZipFile& zip, juce::int64 archiveBytes);

    /** The bounds of checkArchive: a partners site is a few small pages and pictures. */
    static constexpr int maxArchiveEntries = 2000;
    static constexpr juce::int64 maxArchiveBytes = 64 * 1024 * 1024;
    static constexpr juce::int64 maxArchiveRatio = 100;
    static constexpr juce::int64 ratioFloorBytes = 1024 * 1024;

    /** Writes bytes to a file through a temporary file beside it, replacing the file only once
        every byte is known to be on disk.
    */
    static bool writeVerified (const juce::File& target, const juce::MemoryBlock& data);

    /** After this many empty tables in a row every further look waits first, up to idleWaitMs
        unless a request arrives.
    */
    static constexpr int missesBeforeWaiting = 3;
    static constexpr int idleWaitMs = 5000;

private:
    struct Table
    {
        juce::CriticalSection lock;
        std::map<juce::String, juce::URL> requests;
    };

    void run() override;
    bool takeFirstRequest (ExtrasKind kind, juce::String& courseId, juce::URL& url);
    void fetch (ExtrasKind kind, const juce::String& courseId, const juce::URL& url);
    juce::File findCurrentCopy (ExtrasKind kind, const juce::String& courseId) const;
    static void logRefusal (ExtrasKind kind, const juce::String& courseId, const juce::String& reason);
    Table& getTable (ExtrasKind kind) noexcept { return tables[(size_t) kind]; }
    const Table& getTable (ExtrasKind kind) const noexcept { return tables[(size_t) kind]; }

    const juce::File dataFolder;
    std::array<Table, 3> tables;
    std::atomic<bool> fetching { false };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DownloadExtrasThread)
};
