#include "provider/PartnersArchiver.h"

#include "provider/FileFingerprint.h"

namespace provider
{
PartnersArchiver::PartnersArchiver (juce::File folder)
    : workFolder (std::move (folder))
{
}

juce::Array<juce::File> PartnersArchiver::findSiteFiles (const juce::File& folder)
{
    auto files = folder.findChildFiles (juce::File::findFiles, true, "*", juce::File::FollowSymlinks::no);

    std::sort (files.begin(), files.end(), [&folder] (const juce::File& a, const juce::File& b) {
        return a.getRelativePathFrom (folder) < b.getRelativePathFrom (folder);
    });

    return files;
}

bool PartnersArchiver::pack (const juce::File& folder, ProvidedFile& result, juce::String& error)
{
    if (! folder.isDirectory())
    {
        error = "partners folder " + folder.getFullPathName() + " does not exist";
        return false;
    }

    const auto files = findSiteFiles (folder);

    if (! folder.getChildFile ("index.html").existsAsFile())
    {
        error = "partners folder " + folder.getFullPathName() + " has no index.html";
        return false;
    }

    const auto fingerprint = FileFingerprint::of ({ folder });
    const juce::ScopedLock scope (lock);
    auto& packed = packedFolders[folder.getFullPathName()];

    if (packed.fingerprint != fingerprint || ! packed.archive.file.existsAsFile())
    {
        if (! writeArchive (folder, files, packed.archive, error))
        {
            packedFolders.erase (folder.getFullPathName());
            return false;
        }

        packed.fingerprint = fingerprint;
    }

    result = packed.archive;
    return true;
}

bool PartnersArchiver::writeArchive (const juce::File& folder,
                                     const juce::Array<juce::File>& files,
                                     ProvidedFile& result,
                                     juce::String& error)
{
    juce::ZipFile::Builder builder;

    for (auto& file : files)
        builder.addFile (file, 9, file.getRelativePathFrom (folder).replaceCharacter ('\\', '/'));

    if (! workFolder.createDirectory())
    {
        error = "cannot create the work folder " + workFolder.getFullPathName();
        return false;
    }

    const auto packing = workFolder.getNonexistentChildFile ("packing", ".zip", false);

    {
        juce::FileOutputStream out (packing);

        const bool written = ! out.failedToOpen() && builder.writeToStream (out, nullptr);

        if (written)
            out.flush();

        if (! written || out.getStatus().failed())
        {
            packing.deleteFile();
            error = "cannot pack the partners folder " + folder.getFullPathName();
            return false;
        }
    }

    const auto md5 = juce::MD5 (packing).toHexString();
    const auto archive = workFolder.getChildFile (md5 + ".zip");

    // Same checksum, same bytes: an archive already there may be in use and stays as it is.
    if (archive.existsAsFile())
        packing.deleteFile();
    else if (! packing.moveFileTo (archive))
    {
        packing.deleteFile();
        error = "cannot store the partners archive in " + workFolder.getFullPathName();
        return false;
    }

    result.file = archive;
    result.size = archive.getSize();
    result.md5 = md5;
    result.realPath = ProvidedFile::resolvePath (archive);
    return true;
}
} // namespace provider
