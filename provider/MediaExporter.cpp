#include "provider/MediaExporter.h"

#include "provider/LibraryLoader.h"
#include "provider/OpenedFile.h"
#include "provider/WorkFolder.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>
#include <set>

namespace provider
{
namespace
{
using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype (&EVP_MD_CTX_free)>;

juce::String toHex (const unsigned char* bytes, unsigned int length)
{
    return juce::String::toHexString (bytes, (int) length, 0).toLowerCase();
}
} // namespace

const juce::StringArray& MediaExporter::getTopFolders()
{
    static const juce::StringArray folders { "videos", "extras", "download" };
    return folders;
}

bool MediaExporter::exportLibrary (const juce::File& libraryFolder, const juce::File& destination, int& filesWritten, juce::String& error)
{
    filesWritten = 0;

    if (destination.existsAsFile() || (destination.isDirectory() && ! holdsOnlyAnExport (destination)))
    {
        error = destination.getFullPathName() + " holds files other than a media export: give a new or empty folder";
        return false;
    }

    // The partners archives are made in the work folder, so it lives until they are copied.
    const WorkFolder work;
    LibraryLoader loader (libraryFolder, work.getFolder());
    const auto result = loader.load();

    if (result.library == nullptr)
    {
        error = "cannot read the library " + libraryFolder.getFullPathName() + ":\n" + result.error;
        return false;
    }

    // Built beside the destination, so that putting it in place is a rename on one file system.
    const auto parent = destination.getParentDirectory();
    const auto built = parent.getNonexistentChildFile ("." + destination.getFileName() + ".export", {}, false);

    if (! parent.createDirectory() || ! built.createDirectory())
    {
        error = "cannot create " + built.getFullPathName();
        return false;
    }

    if (! writeTree (*result.library, built, filesWritten, error) || ! putInPlace (built, destination, error))
    {
        built.deleteRecursively();
        filesWritten = 0;
        return false;
    }

    return true;
}

bool MediaExporter::writeTree (const Library& library, const juce::File& folder, int& filesWritten, juce::String& error)
{
    const auto copy = [&] (const ProvidedFile& provided, const juce::File& destination) {
        if (! copyChecked (provided, destination, error))
            return false;

        ++filesWritten;
        return true;
    };

    // Extras are named by their checksum, so courses sharing a picture share its file.
    std::set<juce::String> extrasWritten;

    for (auto& course : library.getCourses())
    {
        for (auto* extra : { &course.cover, &course.credits, &course.partners })
            if (extra->isPresent() && extrasWritten.insert (extra->checksumName()).second
                && ! copy (*extra, folder.getChildFile ("extras").getChildFile (extra->checksumName())))
                return false;

        for (auto& lesson : course.lessons)
            for (auto& chapter : lesson.chapters)
                if (! copy (chapter.video, folder.getChildFile ("videos").getChildFile (course.id).getChildFile (chapter.id).getChildFile (chapter.id + ".bin")))
                    return false;
    }

    const auto& installer = library.getInstaller();
    return ! installer.isPresent() || copy (installer, folder.getChildFile ("download").getChildFile (installer.file.getFileName()));
}

bool MediaExporter::copyChecked (const ProvidedFile& provided, const juce::File& destination, juce::String& error)
{
    const OpenedFile source (provided.file);

    if (! source.isOpen() || source.getResolvedPath() != provided.realPath)
    {
        error = "cannot read " + provided.file.getFullPathName() + " as the library checked it";
        return false;
    }

    if (! destination.getParentDirectory().createDirectory())
    {
        error = "cannot create " + destination.getParentDirectory().getFullPathName();
        return false;
    }

    std::unique_ptr<juce::FileOutputStream> output (destination.createOutputStream());
    DigestContext digest (EVP_MD_CTX_new(), &EVP_MD_CTX_free);

    if (output == nullptr || ! output->openedOk() || digest == nullptr || EVP_DigestInit_ex (digest.get(), EVP_md5(), nullptr) != 1)
    {
        error = "cannot write " + destination.getFullPathName();
        return false;
    }

    juce::HeapBlock<char> block (1 << 20);
    juce::int64 copied = 0;

    for (;;)
    {
        const auto count = source.read (copied, block.get(), 1 << 20);

        if (count < 0)
        {
            error = "cannot read " + provided.file.getFullPathName();
            return false;
        }

        if (count == 0)
            break;

        if (! output->write (block.get(), (size_t) count) || EVP_DigestUpdate (digest.get(), block.get(), (size_t) count) != 1)
        {
            error = "cannot write " + destination.getFullPathName();
            return false;
        }

        copied += count;
    }

    output->flush();
    unsigned char md5[EVP_MAX_MD_SIZE] = {};
    unsigned int md5Length = 0;

    if (output->getStatus().failed() || EVP_DigestFinal_ex (digest.get(), md5, &md5Length) != 1)
    {
        error = "cannot write " + destination.getFullPathName();
        return false;
    }

    // A file changed since the library was read would give clients bytes its catalog does not
    // describe.
    if (copied != provided.size || toHex (md5, md5Length) != provided.md5)
    {
        error = provided.file.getFullPathName() + " changed after the library was read; export again";
        return false;
    }

    return true;
}

bool MediaExporter::holdsOnlyAnExport (const juce::File& folder)
{
    // Hidden entries count too: a hidden file is still somebody's.
    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFilesAndDirectories))
        if (! entry.isDirectory() || ! getTopFolders().contains (entry.getFile().getFileName()))
            return false;

    return true;
}

bool MediaExporter::putInPlace (const juce::File& built, const juce::File& destination, juce::String& error)
{
    const auto fail = [&] {
        error = "cannot put the export in place at " + destination.getFullPathName();
        return false;
    };

    if (! destination.exists())
        return std::rename (built.getFullPathName().toRawUTF8(), destination.getFullPathName().toRawUTF8()) == 0 || fail();

    const auto earlier = destination.getParentDirectory().getNonexistentChildFile ("." + destination.getFileName() + ".earlier", {}, false);

    if (std::rename (destination.getFullPathName().toRawUTF8(), earlier.getFullPathName().toRawUTF8()) != 0)
        return fail();

    if (std::rename (built.getFullPathName().toRawUTF8(), destination.getFullPathName().toRawUTF8()) != 0)
    {
        std::rename (earlier.getFullPathName().toRawUTF8(), destination.getFullPathName().toRawUTF8());
        return fail();
    }

    earlier.deleteRecursively();
    return true;
}
} // namespace provider
