#include "server/ProgramUpgrade.h"

#include "app/PrivateTempFolder.h"
#include "model/Core.h"
#include "server/HttpClient.h"
#include "server/InstallerArchive.h"
#include "server/InstallerSignature.h"

bool ProgramUpgrade::isNewer (const juce::String& offeredVersion, const juce::String& currentVersion)
{
    return offeredVersion.getDoubleValue() > currentVersion.getDoubleValue();
}

juce::String ProgramUpgrade::getArchiveName (const juce::URL& installerUrl)
{
    const auto path = installerUrl.getSubPath();
    return "archive." + path.fromLastOccurrenceOf (".", false, false);
}

juce::File ProgramUpgrade::getWorkingFolder()
{
    const auto temporary = PrivateTempFolder::get();
    return temporary != juce::File() ? temporary.getChildFile ("tsy-upgrade") : juce::File();
}

bool ProgramUpgrade::download (const juce::URL& url, const juce::File& file, int expectedSize, Prompts::Progress& progress)
{
    if (! file.deleteFile())
        return false;

    juce::int64 total = 0;
    auto writtenOk = true;
    HttpClient::Response response;

    {
        juce::FileOutputStream out (file);

        if (! out.openedOk())
            return false;

        response = HttpClient::forThisThread().get (url.toString (true), [&] (const void* data, size_t numBytes)
                                                    {
            if (! out.write (data, numBytes))
            {
                writtenOk = false;
                return false;
            }

            total += (juce::int64) numBytes;
            progress.setProgress (expectedSize > 0 ? (double) total / expectedSize : 0.0);
            return ! progress.isCancelled(); });

        out.flush();
        writtenOk = writtenOk && out.getStatus().wasOk();
    }

    if (progress.isCancelled() || response.outcome == HttpClient::Outcome::cancelled)
        return true;

    // Whatever arrives here gets started, so only the complete, expected file counts.
    const auto complete = writtenOk && response.isSuccess() && total == expectedSize;

    if (! complete)
        file.deleteFile();

    return complete;
}

bool ProgramUpgrade::isAuthentic (const juce::File& file, const Catalog& catalog, const juce::String& trustedKey)
{
    return file.getSize() == catalog.win_app_size && InstallerSignature::verifyFile (file, catalog.win_app_signature, trustedKey);
}

void ProgramUpgrade::offer (const Catalog& catalog,
                            Core& core,
                            const juce::String& currentVersion,
                            const std::function<void()>& requestQuit,
                            const juce::String& trustedKey)
{
    if (! isNewer (catalog.win_version, currentVersion) || core.getDownloads().getDownloadCount() > 0)
        return;

    auto& prompts = Prompts::get();

    if (! prompts.askOkCancel (Prompts::Icon::none,
                               TRANS ("New version available"),
                               TRANS ("A newer version (") + catalog.win_version
                                   + TRANS (") of this program is available online. Do you want to download and install it"),
                               TRANS ("Yes"),
                               TRANS ("No")))
        return;

    const auto folder = getWorkingFolder();
    const auto file = folder.getChildFile (getArchiveName (catalog.win_app));
    bool failed = folder == juce::File();

    if (! failed)
    {
        folder.deleteRecursively();
        folder.createDirectory();
    }

    const auto finished = prompts.runWithProgress (TRANS ("Downloading new version..."), [&] (Prompts::Progress& progress) {
        failed = failed || ! download (catalog.win_app, file, catalog.win_app_size, progress);
    });

    if (! finished)
        return;

    // Whoever can change the catalog on its way can name any file: only the provider's
    // signature makes the download the provider's installer.
    if (! failed && ! isAuthentic (file, catalog, trustedKey))
    {
        file.deleteFile();
        failed = true;
    }

    if (failed)
    {
        prompts.showMessage (Prompts::Icon::none,
                             TRANS ("Download error"),
                             TRANS ("An error occurred while downloading the new version of this program"),
                             TRANS ("OK"));
        return;
    }

    const auto extension = file.getFileExtension().toLowerCase();

    if (extension == ".zip")
    {
        const auto unpacked = InstallerArchive::extract (file, folder);
        const auto packages = folder.findChildFiles (juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles, false, "*.mpkg");

        if (! unpacked || packages.isEmpty())
        {
            prompts.showMessage (Prompts::Icon::none,
                                 TRANS ("Install error"),
                                 TRANS ("An error occurred while running the installer for the new version of this program"),
                                 TRANS ("OK"));
            return;
        }

        prompts.openWithSystem (packages.getFirst());
    }
    else if (extension == ".pkg" || extension == ".mpkg" || extension == ".exe")
    {
        prompts.openWithSystem (file);
    }
    else
    {
        prompts.revealInFileManager (file);
    }

    requestQuit();
}
