#pragma once

#include "app/Prompts.h"
#include "model/Catalog.h"
#include "server/InstallerSignature.h"

#include <functional>

class Core;

/**
    Offers the newer program version a catalog names, downloads its installer behind a progress
    window, checks its size and the provider's signature, starts it (or shows it in the file
    manager) and asks the program to quit. An installer whose signature does not verify is
    deleted and never opened.

    The decision and the dialogs run on the message thread; the download runs on the progress
    window's worker thread.
*/
class ProgramUpgrade final
{
public:
    /** Whether an offered version is newer: both read as decimal numbers, so 1.4 > 1.36. */
    static bool isNewer (const juce::String& offeredVersion, const juce::String& currentVersion);

    /** "archive." plus the text after the last "." of the installer URL's path. */
    static juce::String getArchiveName (const juce::URL& installerUrl);

    /** The working folder: "tsy-upgrade" in the program's private temporary folder. */
    static juce::File getWorkingFolder();

    /** Makes the offer for a catalog fetched online, unless the download queue holds anything.
        The program's own version is compared with the catalog's; requestQuit is called when an
        installer was started. Installers must be signed with the key matching trustedKey.
    */
    static void offer (const Catalog& catalog,
                       Core& core,
                       const juce::String& currentVersion,
                       const std::function<void()>& requestQuit,
                       const juce::String& trustedKey = InstallerSignature::getTrustedKey());

    /** Whether a downloaded file has the catalog's "win_app_size" and its "win_app_signature"
        verifies over the file's bytes with the trusted key.
    */
    static bool isAuthentic (const juce::File& file, const Catalog& catalog, const juce::String& trustedKey);

    /** Fetches an installer into a file; false (and no file left) unless the whole body arrived
        with a success status and exactly the expected size. Stops early when cancelled.
    */
    static bool download (const juce::URL& url, const juce::File& file, int expectedSize, Prompts::Progress& progress);

private:
    ProgramUpgrade() = delete;
};
