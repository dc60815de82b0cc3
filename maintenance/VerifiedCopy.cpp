#include "maintenance/VerifiedCopy.h"

bool VerifiedCopy::isWholeCopy (const juce::File& original, const juce::File& copy)
{
    return original.existsAsFile() && copy.existsAsFile() && copy.getSize() == original.getSize();
}

bool VerifiedCopy::copyFile (const juce::File& source, const juce::File& destination)
{
    if (source.copyFileTo (destination) && isWholeCopy (source, destination))
        return true;

    if (destination.existsAsFile())
        destination.deleteFile();

    return false;
}

bool VerifiedCopy::copyTree (const juce::File& source, const juce::File& destination)
{
    if (! source.isDirectory() || ! destination.createDirectory() || ! destination.isDirectory())
        return false;

    for (const auto& file : source.findChildFiles (juce::File::findFiles, false))
        if (! copyFile (file, destination.getChildFile (file.getFileName())))
            return false;

    for (const auto& folder : source.findChildFiles (juce::File::findDirectories, false))
        if (! copyTree (folder, destination.getChildFile (folder.getFileName())))
            return false;

    return true;
}

bool VerifiedCopy::removeCopiedOriginals (const juce::File& source, const juce::File& destination)
{
    for (const auto& file : source.findChildFiles (juce::File::findFiles, false))
        if (isWholeCopy (file, destination.getChildFile (file.getFileName())))
            file.deleteFile();

    // A linked folder is left as it is: what it points to lies outside the tree.
    for (const auto& folder : source.findChildFiles (juce::File::findDirectories, false))
        if (! folder.isSymbolicLink())
            removeCopiedOriginals (folder, destination.getChildFile (folder.getFileName()));

    // Only an empty folder goes: deleting a folder never takes anything uncopied with it.
    return source.getNumberOfChildFiles (juce::File::findFilesAndDirectories) == 0 && source.deleteFile();
}
