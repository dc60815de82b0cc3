#include "provider/LibraryLoader.h"

#include <set>

namespace provider
{
namespace
{
/** Identifiers become parts of addresses and of the clients' file names: keep them plain. */
bool isValidIdentifier (const juce::String& id)
{
    return id.isNotEmpty() && id != "." && id != ".."
        && id.containsOnly ("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.~");
}

bool isValidDate (const juce::String& date)
{
    if (date.length() != 10 || date[4] != '-' || date[7] != '-')
        return false;

    for (int i : { 0, 1, 2, 3, 5, 6, 8, 9 })
        if (! juce::CharacterFunctions::isDigit (date[i]))
            return false;

    const auto month = date.substring (5, 7).getIntValue();
    const auto day = date.substring (8, 10).getIntValue();
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

bool isValidResolution (const juce::String& text)
{
    return text.isEmpty()
        || (text.containsOnly ("0123456789x") && text.upToFirstOccurrenceOf ("x", false, false).isNotEmpty()
            && text.fromFirstOccurrenceOf ("x", false, false).isNotEmpty());
}

/** One pass over a manifest: collects the records and every problem, with where it was found. */
class ManifestReader
{
public:
    ManifestReader (const juce::File& folder, FileDigestCache& digestCache, PartnersArchiver& partnersArchiver)
        : libraryFolder (folder), digests (digestCache), archiver (partnersArchiver)
    {
    }

    LibraryLoader::Result read()
    {
        const auto manifest = libraryFolder.getChildFile (LibraryLoader::manifestFileName);
        watch (manifest);

        if (! manifest.existsAsFile())
            return fail ("no " + juce::String (LibraryLoader::manifestFileName) + " in " + libraryFolder.getFullPathName());

        const auto manifestText = manifest.loadFileAsString();
        signatureText << manifestText << "\n";
        juce::XmlDocument document (manifestText);
        const auto root = document.getDocumentElement();

        if (root == nullptr)
            return fail (juce::String (LibraryLoader::manifestFileName) + ": " + document.getLastParseError());

        if (! root->hasTagName ("library"))
            return fail (juce::String (LibraryLoader::manifestFileName) + ": the root element must be <library>");

        auto name = root->getStringAttribute ("name", "Tessaly");
        juce::String programVersion;
        ProvidedFile installer;
        readProgram (root->getChildByName ("program"), programVersion, installer);

        std::vector<LibraryUser> users;

        if (auto* usersElement = root->getChildByName ("users"))
            for (auto* element : usersElement->getChildWithTagNameIterator ("user"))
                users.push_back (readUser (*element));

        std::vector<LibraryCourse> courses;

        for (auto* element : root->getChildWithTagNameIterator ("course"))
            courses.push_back (readCourse (*element));

        checkUnique (users, courses);

        if (! errors.isEmpty())
            return fail ({});

        result.library = std::make_shared<const Library> (name, programVersion, installer, std::move (courses), std::move (users));
        result.signature = juce::MD5 (signatureText.getData(), signatureText.getDataSize()).toHexString();
        return result;
    }

private:
    LibraryLoader::Result fail (const juce::String& problem)
    {
        if (problem.isNotEmpty())
            errors.add (problem);

        result.library.reset();
        result.error = errors.joinIntoString ("\n");
        return result;
    }

    /** Notes a file before it is read, so that a change while reading it shows next time. */
    void watch (const juce::File& file)
    {
        result.watchedFiles.add (file);
        fingerprint.add (file);
        result.fingerprint = fingerprint.getValue();
        result.settled = fingerprint.getLatestModification() <= startTime - FileDigestCache::settleMs;
    }

    void problem (const juce::String& where, const juce::String& what)
    {
        errors.add (where + ": " + what);
    }

    /** A path from the manifest, which must lead to somewhere inside the library folder. */
    juce::File resolve (const juce::String& where, const juce::String& relativePath)
    {
        const auto path = relativePath.trim();

        if (path.isEmpty())
        {
            problem (where, "no file is named");
            return {};
        }

        if (juce::File::isAbsolutePath (path) || path.startsWithChar ('~'))
        {
            problem (where, "\"" + path + "\" must be a path relative to the library folder");
            return {};
        }

        const auto file = libraryFolder.getChildFile (path);

        if (! file.isAChildOf (libraryFolder))
        {
            problem (where, "\"" + path + "\" leads outside the library folder");
            return {};
        }

        watch (file);
        return file;
    }

    ProvidedFile readFile (const juce::String& where, const juce::String& relativePath, bool sizeMustFitClients)
    {
        ProvidedFile provided;
        const auto file = resolve (where, relativePath);

        if (file == juce::File())
            return provided;

        if (sizeMustFitClients && file.getSize() > LibraryLoader::largestPublishedFile)
            problem (where, "file \"" + relativePath + "\" is larger than 2 GB, which clients cannot be told");
        else if (! digests.describe (file, provided))
            problem (where, "file \"" + relativePath + "\" is missing or unreadable");
        else
            signatureText << provided.md5 << "\n";

        return provided;
    }

    void readProgram (const juce::XmlElement* element, juce::String& version, ProvidedFile& installer)
    {
        if (element == nullptr || ! element->hasAttribute ("version"))
        {
            problem ("<program>", "the offered program version is missing (<program version=\"1.36\" .../>)");
            return;
        }

        version = element->getStringAttribute ("version").trim();

        if (element->hasAttribute ("installer"))
            installer = readFile ("<program>", element->getStringAttribute ("installer"), true);
    }

    LibraryUser readUser (const juce::XmlElement& element)
    {
        LibraryUser user;
        user.id = element.getStringAttribute ("id").trim();
        user.email = element.getStringAttribute ("email").trim();
        user.name = element.getStringAttribute ("name").trim();
        const auto where = "user \"" + user.email + "\"";

        if (user.id.isEmpty())
            problem (where, "the user identifier is missing");

        if (user.email.isEmpty())
            problem (where, "the e-mail address is missing");

        if (element.hasAttribute ("password"))
        {
            user.passwordHash = juce::MD5 (element.getStringAttribute ("password").toUTF8()).toHexString();
        }
        else
        {
            user.passwordHash = element.getStringAttribute ("passwordmd5").trim().toLowerCase();

            if (user.passwordHash.length() != 32 || ! user.passwordHash.containsOnly ("0123456789abcdef"))
                problem (where, "needs a password or a passwordmd5 of 32 hexadecimal digits");
        }

        return user;
    }

    LibraryCourse readCourse (const juce::XmlElement& element)
    {
        LibraryCourse course;
        course.id = element.getStringAttribute ("id");
        course.lang = element.getStringAttribute ("lang");
        course.title = element.getStringAttribute ("title");
        course.description = element.getStringAttribute ("description");
        course.keywords = element.getStringAttribute ("keywords");
        course.resolution = element.getStringAttribute ("resolution");
        course.languageName = element.getStringAttribute ("language");
        course.platform = element.getStringAttribute ("platform");
        course.url = element.getStringAttribute ("url");
        const auto where = "course \"" + course.id + "\"";

        if (! isValidIdentifier (course.id))
            problem (where, "the identifier must be made of letters, digits, \"-\", \"_\", \".\" and \"~\"");

        if (! Library::isSupportedLanguage (course.lang))
            problem (where, "lang must be \"it\" or \"en\"");

        if (element.hasAttribute ("cover"))
            course.cover = readFile (where + ", cover", element.getStringAttribute ("cover"), false);

        if (element.hasAttribute ("credits"))
            course.credits = readFile (where + ", credits", element.getStringAttribute ("credits"), false);

        if (element.hasAttribute ("partners"))
            course.partners = readPartners (where + ", partners", element.getStringAttribute ("partners"));

        for (auto* lessonElement : element.getChildWithTagNameIterator ("lesson"))
        {
            LibraryLesson lesson;
            lesson.order = lessonElement->getIntAttribute ("order", (int) course.lessons.size() + 1);
            lesson.title = lessonElement->getStringAttribute ("title");

            for (auto* chapterElement : lessonElement->getChildWithTagNameIterator ("chapter"))
                lesson.chapters.push_back (readChapter (*chapterElement, course, (int) lesson.chapters.size() + 1));

            course.lessons.push_back (std::move (lesson));
        }

        return course;
    }

    ProvidedFile readPartners (const juce::String& where, const juce::String& relativePath)
    {
        const auto target = resolve (where, relativePath);

        if (target == juce::File())
            return {};

        if (! target.isDirectory())
        {
            // A ready-made archive is published as it is, once it proves to hold the entry page.
            auto archive = readFile (where, relativePath, false);

            if (archive.isPresent() && juce::ZipFile (target).getEntry ("index.html") == nullptr)
                problem (where, "\"" + relativePath + "\" is not a ZIP archive holding index.html");

            return archive;
        }

        ProvidedFile archive;
        juce::String error;

        if (! archiver.pack (target, archive, error))
            problem (where, error);
        else
            signatureText << archive.md5 << "\n";

        return archive;
    }

    LibraryChapter readChapter (const juce::XmlElement& element, const LibraryCourse& course, int position)
    {
        LibraryChapter chapter;
        chapter.id = element.getStringAttribute ("id");
        chapter.order = element.getIntAttribute ("order", position);
        chapter.title = element.getStringAttribute ("title");
        chapter.description = element.getStringAttribute ("description");
        chapter.duration = element.getDoubleAttribute ("duration");
        chapter.nativeResolution = element.getStringAttribute ("native_resolution", course.resolution);
        const auto where = "course \"" + course.id + "\", chapter \"" + chapter.id + "\"";

        if (! isValidIdentifier (chapter.id))
            problem (where, "the identifier must be made of letters, digits, \"-\", \"_\", \".\" and \"~\"");

        if (chapter.duration < 0.0)
            problem (where, "the duration cannot be negative");

        if (! isValidResolution (chapter.nativeResolution))
            problem (where, "native_resolution must read WIDTHxHEIGHT");

        chapter.video = readFile (where, element.getStringAttribute ("video"), true);

        if (element.hasAttribute ("date"))
            chapter.date = element.getStringAttribute ("date").trim();
        else if (chapter.video.isPresent())
            chapter.date = chapter.video.file.getLastModificationTime().formatted ("%Y-%m-%d");

        if (chapter.video.isPresent() && ! isValidDate (chapter.date))
            problem (where, "the date must read YYYY-MM-DD");

        if (auto* transcript = element.getChildByName ("transcript"))
            chapter.transcript = transcript->getAllSubText().trim();

        return chapter;
    }

    void checkUnique (const std::vector<LibraryUser>& users, const std::vector<LibraryCourse>& courses)
    {
        std::set<juce::String> emails, userIds, courseIds, chapterIds;

        for (auto& user : users)
        {
            if (! emails.insert (user.email.toLowerCase()).second)
                problem ("user \"" + user.email + "\"", "the e-mail address is listed twice");

            if (! userIds.insert (user.id).second)
                problem ("user \"" + user.email + "\"", "the identifier \"" + user.id + "\" is taken by another user");
        }

        // Clients file chapters by identifier alone, whatever the course or the language.
        for (auto& course : courses)
        {
            if (! courseIds.insert (course.id).second)
                problem ("course \"" + course.id + "\"", "the identifier is used twice");

            for (auto& lesson : course.lessons)
                for (auto& chapter : lesson.chapters)
                    if (! chapterIds.insert (chapter.id).second)
                        problem ("chapter \"" + chapter.id + "\"", "the identifier is used twice");
        }
    }

    const juce::File& libraryFolder;
    FileDigestCache& digests;
    PartnersArchiver& archiver;
    const juce::int64 startTime = juce::Time::currentTimeMillis();
    LibraryLoader::Result result;
    FileFingerprint fingerprint;

    // Grows geometrically: a library may have tens of thousands of files.
    juce::MemoryOutputStream signatureText;
    juce::StringArray errors;
};
} // namespace

LibraryLoader::LibraryLoader (juce::File folder, juce::File workFolder)
    : libraryFolder (std::move (folder)),
      archiver (std::move (workFolder))
{
}

LibraryLoader::Result LibraryLoader::load()
{
    return ManifestReader (libraryFolder, digests, archiver).read();
}
} // namespace provider
