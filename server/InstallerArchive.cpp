#include "server/InstallerArchive.h"

bool InstallerArchive::isPlainName (const juce::String& name)
{
    if (name.isEmpty() || name.startsWithChar ('/') || name.startsWithChar ('\\') || (name.length() > 1 && name[1] == ':'))
        return false;

    for (auto p = name.getCharPointer(); ! p.isEmpty(); ++p)
        if (const auto c = *p; c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0))
            return false;

    // The framework reads both kinds of slash as separators, so both count here.
    for (const auto& step : juce::StringArray::fromTokens (name.replaceCharacter ('\\', '/'), "/", {}))
        if (step == "..")
            return false;

    return true;
}

bool InstallerArchive::extract (const juce::File& archive, const juce::File& folder)
{
    juce::ZipFile zip (archive);

    if (zip.getNumEntries() == 0)
        return false;

    // An extracted link could lead the opening of "the package" to any file on the disk.
    for (int i = 0; i < zip.getNumEntries(); ++i)
        if (const auto* entry = zip.getEntry (i); entry->isSymbolicLink || ! isPlainName (entry->filename))
            return false;

    return zip.uncompressTo (folder, true).wasOk();
}
