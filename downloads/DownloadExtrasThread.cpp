#include "downloads/DownloadExtrasThread.h"

#include "downloads/Checksums.h"
#include "kit/PictureDecoder.h"
#include "model/LocalStorage.h"
#include "model/ThreadStop.h"
#include "server/HttpClient.h"

namespace
{
const char* getKindFolderName (ExtrasKind kind)
{
    switch (kind)
    {
        case ExtrasKind::Cover:
            return "covers";
        case ExtrasKind::Credits:
            return "credits";
        case ExtrasKind::Partners:
            return "partners";
    }

    return "";
}

ExtrasKind getNextKind (ExtrasKind kind)
{
    return kind == ExtrasKind::Cover     ? ExtrasKind::Credits
           : kind == ExtrasKind::Credits ? ExtrasKind::Partners
                                         : ExtrasKind::Cover;
}
} // namespace

DownloadExtrasThread::DownloadExtrasThread (const juce::File& folder) : Thread ("downloadExtras"), dataFolder (folder)
{
}

DownloadExtrasThread::~DownloadExtrasThread()
{
    stopThread (ThreadStop::timeoutMs);
}

std::unique_ptr<ExtrasDownloader> DownloadExtrasThread::makeDownloader (const juce::File& dataFolder)
{
    return std::make_unique<DownloadExtrasThread> (dataFolder);
}

//==============================================================================
void DownloadExtrasThread::start()
{
    startThread (juce::Thread::Priority::background);
}

void DownloadExtrasThread::stop (int timeoutMs)
{
    stopThread (timeoutMs);
}

void DownloadExtrasThread::request (ExtrasKind kind, const juce::String& courseId, const juce::URL& url)
{
    {
        auto& table = getTable (kind);
        const juce::ScopedLock sl (table.lock);
        table.requests[courseId] = url;
    }

    notify();
}

juce::File DownloadExtrasThread::findCoverFile (const juce::String& courseId) const
{
    return Checksums::findChecksumFile (getCourseFolder (ExtrasKind::Cover, courseId), "*.tyi");
}

juce::File DownloadExtrasThread::findCreditsFile (const juce::String& courseId) const
{
    return Checksums::findChecksumFile (getCourseFolder (ExtrasKind::Credits, courseId), "*.tyi");
}

juce::File DownloadExtrasThread::findPartnersFolder (const juce::String& courseId) const
{
    return Checksums::findChecksumFolder (getCourseFolder (ExtrasKind::Partners, courseId));
}

bool DownloadExtrasThread::isIdle() const
{
    if (fetching)
        return false;

    for (const auto& table : tables)
    {
        const juce::ScopedLock sl (table.lock);

        if (! table.requests.empty())
            return false;
    }

    return ! fetching;
}

//==============================================================================
juce::String DownloadExtrasThread::getExpectedChecksum (const juce::URL& url)
{
    return url.getSubPath (false).fromLastOccurrenceOf ("/", false, false).upToFirstOccurrenceOf (".", false, false);
}

juce::File DownloadExtrasThread::getCourseFolder (ExtrasKind kind, const juce::String& courseId) const
{
    // The identifier comes from the server: one that would name ".." or a path must not lead
    // the deletion of a course's folder anywhere else. A name of dots alone is never listed by
    // the framework's directory search, so its copy could never be found again.
    const auto folder = LocalStorage::childFolderFor (dataFolder.getChildFile (getKindFolderName (kind)), courseId);

    if (! folder.has_value() || folder->getFileName().containsOnly ("."))
        return {};

    return *folder;
}

juce::Result DownloadExtrasThread::checkArchive (juce::ZipFile& zip, juce::int64 archiveBytes)
{
    const auto numEntries = zip.getNumEntries();

    if (numEntries <= 0)
        return juce::Result::fail ("not a ZIP archive, or an empty one");

    if (numEntries > maxArchiveEntries)
        return juce::Result::fail (juce::String (numEntries) + " entries, more than " + juce::String (maxArchiveEntries));

    juce::int64 claimed = 0;

    for (int i = 0; i < numEntries; ++i)
    {
        const auto* entry = zip.getEntry (i);

        // A link could lead the site's pages anywhere on the user's disk.
        if (entry->isSymbolicLink)
            return juce::Result::fail ("a symbolic link: " + entry->filename);

        claimed += entry->uncompressedSize;
    }

    if (claimed > maxArchiveBytes)
        return juce::Result::fail ("expands to " + juce::String (claimed) + " bytes, more than " + juce::String (maxArchiveBytes));

    if (claimed > ratioFloorBytes && claimed > maxArchiveRatio * juce::jmax ((juce::int64) 1, archiveBytes))
        return juce::Result::fail ("expands " + juce::String (claimed / juce::jmax ((juce::int64) 1, archiveBytes)) + " times its size");

    // The sizes are the archive's own claims: an entry that inflates past its claim would
    // otherwise be written out in full.
    juce::HeapBlock<char> scratch (65536);

    for (int i = 0; i < numEntries; ++i)
    {
        const auto* entry = zip.getEntry (i);
        const std::unique_ptr<juce::InputStream> in (zip.createStreamForEntry (i));
        juce::int64 actual = 0;

        if (in == nullptr)
            return juce::Result::fail ("an unreadable entry: " + entry->filename);

        while (actual <= entry->uncompressedSize)
        {
            const auto numRead = in->read (scratch, 65536);

            if (numRead <= 0)
                break;

            actual += numRead;
        }

        if (actual != entry->uncompressedSize)
            return juce::Result::fail ("an entry that does not expand to the size it claims: " + entry->filename);
    }

    return juce::Result::ok();
}

juce::Result DownloadExtrasThread::extractArchive (const juce::File& archive, const juce::File& destination)
{
    const auto unpacking = destination.getSiblingFile ("." + destination.getFileName() + "-"
                                                       + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64())
                                                       + ".unpacking");
    auto result = juce::Result::ok();

    {
        juce::ZipFile zip (archive);
        result = checkArchive (zip, archive.getSize());

        if (result.wasOk() && ! unpacking.createDirectory())
            result = juce::Result::fail ("cannot create " + unpacking.getFullPathName());

        // The framework refuses an entry leading outside the folder but keeps the entries
        // before it, hence the separate folder.
        if (result.wasOk())
            result = zip.uncompressTo (unpacking, true);
    }

    if (result.wasOk() && destination.deleteRecursively() && unpacking.moveFileTo (destination))
        return result;

    unpacking.deleteRecursively();
    return result.wasOk() ? juce::Result::fail ("cannot move the site into " + destination.getFullPathName()) : result;
}

bool DownloadExtrasThread::writeVerified (const juce::File& target, const juce::MemoryBlock& data)
{
    juce::TemporaryFile temporary (target);

    {
        juce::FileOutputStream out (temporary.getFile());

        if (out.failedToOpen() || ! out.write (data.getData(), data.getSize()))
            return false;

        out.flush();

        if (! out.getStatus().wasOk())
            return false;
    }

    return temporary.getFile().getSize() == (juce::int64) data.getSize() && temporary.overwriteTargetFileWithTemporary();
}

//==============================================================================
void DownloadExtrasThread::run()
{
    auto kind = ExtrasKind::Cover;
    auto misses = 0;

    while (! threadShouldExit())
    {
        juce::String courseId;
        juce::URL url;

        if (! takeFirstRequest (kind, courseId, url))
        {
            // A request that ends the wait may be of any kind: the next looks, one per kind,
            // go without waiting so that it is found at once.
            if (++misses >= missesBeforeWaiting && wait (idleWaitMs))
                misses = 0;

            kind = getNextKind (kind);
            continue;
        }

        misses = 0;

        if (threadShouldExit())
            break;

        fetch (kind, courseId, url);
        fetching = false;
    }

    fetching = false;
}

bool DownloadExtrasThread::takeFirstRequest (ExtrasKind kind, juce::String& courseId, juce::URL& url)
{
    auto& table = getTable (kind);
    const juce::ScopedLock sl (table.lock);

    if (table.requests.empty())
        return false;

    const auto first = table.requests.begin();
    courseId = first->first;
    url = first->second;
    table.requests.erase (first);
    fetching = true;
    return true;
}

juce::File DownloadExtrasThread::findCurrentCopy (ExtrasKind kind, const juce::String& courseId) const
{
    switch (kind)
    {
        case ExtrasKind::Cover:
            return findCoverFile (courseId);
        case ExtrasKind::Credits:
            return findCreditsFile (courseId);
        case ExtrasKind::Partners:
            return findPartnersFolder (courseId);
    }

    return {};
}

void DownloadExtrasThread::fetch (ExtrasKind kind, const juce::String& courseId, const juce::URL& url)
{
    const auto checksum = getExpectedChecksum (url);
    const auto courseFolder = getCourseFolder (kind, courseId);

    if (checksum.isEmpty() || courseFolder == juce::File())
        return;

    const auto current = findCurrentCopy (kind, courseId);

    if (current.exists() && current.getFileNameWithoutExtension().equalsIgnoreCase (checksum))
        return;

    // The old copy goes first, so a failed replacement shows as a missing extra rather than an
    // old one that may no longer match the course.
    courseFolder.deleteRecursively();
    const auto workingFolder = kind == ExtrasKind::Partners ? courseFolder.getChildFile (checksum) : courseFolder;

    if (! workingFolder.createDirectory())
        return;

    const auto target = workingFolder.getChildFile (checksum + (kind == ExtrasKind::Partners ? ".zip" : ".tyi"));
    juce::MemoryBlock body;

    if (! HttpClient::forThisThread().get (HttpClient::Request (url.toString (true)), body).isSuccess())
        return;

    if (! Checksums::matches (Checksums::dataChecksum (body), checksum, true))
        return;

    // A picture is filed only once it decoded whole: the window shows what is filed.
    if (kind != ExtrasKind::Partners)
    {
        juce::Image picture;

        if (const auto decoded = PictureDecoder::decode (body, picture); decoded.failed())
        {
            logRefusal (kind, courseId, decoded.getErrorMessage());
            return;
        }
    }

    if (! writeVerified (target, body) || kind != ExtrasKind::Partners)
        return;

    // The archive is dropped whole when any entry fails; the unpacked site replaces the working
    // folder, archive included.
    if (const auto extracted = extractArchive (target, workingFolder); extracted.failed())
    {
        workingFolder.deleteRecursively();
        logRefusal (kind, courseId, extracted.getErrorMessage());
    }
}

void DownloadExtrasThread::logRefusal (ExtrasKind kind, const juce::String& courseId, const juce::String& reason)
{
    const auto* what = kind == ExtrasKind::Cover ? "cover" : kind == ExtrasKind::Credits ? "credits picture"
                                                                                         : "partners archive";
    juce::Logger::writeToLog ("course " + courseId + ": " + what + " refused: " + reason);
}
