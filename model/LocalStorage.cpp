#include "model/LocalStorage.h"

#include "model/CaselessAttributes.h"
#include "model/SafeXmlFile.h"

#include <cstdio>

namespace
{
/** A state document is the "local" element with its markers: two levels, and about a hundred
    bytes a marker. The bound is far above any real chapter's markers, and saving keeps to it, so
    the program always reads back what it wrote.
*/
const SafeXmlFile::Limits stateFileLimits { 64 << 20, 4 };

/** Moves a state file that loading refused out of the way of the next save, which would
    otherwise replace whatever it still holds.
*/
void setAside (const juce::File& stateFile)
{
    const auto aside = stateFile.getSiblingFile (stateFile.getFileNameWithoutExtension() + " (refused).xml");
    aside.deleteFile();

    if (stateFile.moveFileTo (aside))
        juce::Logger::writeToLog ("state file refused and set aside: " + aside.getFullPathName());
    else
        juce::Logger::writeToLog ("state file refused and could not be set aside: " + stateFile.getFullPathName());
}

bool readFlag (const CaselessAttributes& attributes, const char* name)
{
    const auto text = attributes.getString (name).trimStart();
    return text.isNotEmpty() && juce::String ("1tTyY").containsChar (text[0]);
}
} // namespace

juce::String LocalStorage::toLegalFileName (const juce::String& identifier)
{
    return juce::File::createLegalFileName (identifier);
}

std::optional<juce::File> LocalStorage::childFolderFor (const juce::File& parent, const juce::String& identifier)
{
    const auto name = toLegalFileName (identifier);

    if (name.isEmpty() || name == "." || name == "..")
        return std::nullopt;

    const auto child = parent.getChildFile (name);

    if (child.getParentDirectory() != parent)
        return std::nullopt;

    return child;
}

juce::File LocalStorage::getVideoFile (const juce::File& chapterDirectory, const juce::String& chapterId)
{
    return chapterDirectory.getChildFile (toLegalFileName (chapterId) + ".bin");
}

juce::File LocalStorage::getStateFile (const juce::File& chapterDirectory, const juce::String& chapterId)
{
    return chapterDirectory.getChildFile (toLegalFileName (chapterId) + ".xml");
}

bool LocalStorage::loadState (MovieLocalInfo& info, const juce::File& stateFile)
{
    juce::String text;
    const auto verdict = SafeXmlFile::read (stateFile, stateFileLimits, text);

    if (verdict != SafeXmlFile::Verdict::readable)
    {
        if (verdict != SafeXmlFile::Verdict::missing)
            setAside (stateFile);

        return false;
    }

    const auto root = juce::parseXML (text);

    if (root == nullptr || root->getTagName() != "local")
        return false;

    const CaselessAttributes attributes (*root);
    info.timestamp = juce::Time (attributes.getInt64 ("timestamp"));
    info.yetToBeSeen = readFlag (attributes, "yetToBeSeen");
    info.favorite = readFlag (attributes, "favorite");

    // Older files have no position; a hand-edited one may hold anything, which starts at 0.
    info.position = 0.0;
    info.setPosition (attributes.getDouble ("position"));
    info.markers.clear();

    for (auto* child : root->getChildIterator())
    {
        if (! CaselessAttributes::tagMatches (*child, "marker"))
            continue;

        const CaselessAttributes markerAttributes (*child);

        // A marker of a kind this program does not know ends the list: later ones are not read.
        if (child->getTagName() != "marker" || markerAttributes.getString ("type") != "normal")
            return false;

        info.addMarker (markerAttributes.getString ("text"), markerAttributes.getDouble ("time"));
    }

    return true;
}

std::unique_ptr<juce::XmlElement> LocalStorage::createStateDocument (const MovieLocalInfo& info)
{
    auto root = std::make_unique<juce::XmlElement> ("local");
    root->setAttribute ("timestamp", juce::String (info.timestamp.toMilliseconds()));
    root->setAttribute ("yetToBeSeen", info.yetToBeSeen ? 1 : 0);
    root->setAttribute ("favorite", info.favorite ? 1 : 0);

    // After the attributes every reader knows, so those readers still find theirs unchanged; a
    // chapter never watched keeps exactly the document it always had.
    if (info.position > 0.0)
        root->setAttribute ("position", formatMarkerTime (info.position));

    for (const auto* marker : info.markers)
    {
        auto* element = root->createNewChildElement ("marker");
        element->setAttribute ("type", "normal");
        element->setAttribute ("text", marker->text);
        element->setAttribute ("time", formatMarkerTime (marker->time));
    }

    return root;
}

bool LocalStorage::saveState (const MovieLocalInfo& info, const juce::File& stateFile)
{
    if (! stateFile.getParentDirectory().createDirectory())
        return false;

    const auto text = createStateDocument (info)->toString();

    // A file larger than loading accepts would be refused at the next start.
    if ((juce::int64) text.getNumBytesAsUTF8() > stateFileLimits.maxBytes)
    {
        juce::Logger::writeToLog ("state not saved, larger than a state file may be: " + stateFile.getFullPathName());
        return false;
    }

    // Through a temporary file and a move, so a reader never sees half a file.
    juce::TemporaryFile temporary (stateFile);
    {
        juce::FileOutputStream out (temporary.getFile());

        if (! out.openedOk() || ! out.writeText (text, false, false, nullptr))
            return false;

        out.flush();

        if (! out.getStatus().wasOk())
            return false;
    }

    return temporary.overwriteTargetFileWithTemporary();
}

juce::String LocalStorage::formatMarkerTime (double seconds)
{
    char text[64] = {};
    std::snprintf (text, sizeof (text), "%.9g", seconds);

    // The file format has a decimal point whatever numeric locale the process runs with.
    return juce::String (text).replaceCharacter (',', '.');
}
