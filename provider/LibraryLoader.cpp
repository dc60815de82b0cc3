#include "provider/LibraryLoader.h"

#include <pugixml.hpp>
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

juce::String text (const char* utf8)
{
    return juce::String::fromUTF8 (utf8);
}

juce::String attribute (const pugi::xml_node& element, const char* name, const juce::String& fallback = {})
{
    const auto found = element.attribute (name);
    return found ? text (found.value()) : fallback;
}

bool hasAttribute (const pugi::xml_node& element, const char* name)
{
    return element.attribute (name);
}

/** All the text inside an element, in document order; walks without recursion. */
juce::String allTextOf (const pugi::xml_node& element)
{
    juce::MemoryOutputStream collected;

    for (auto node = element.first_child(); node && node != element;)
    {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            collected << text (node.value());

        if (node.first_child())
        {
            node = node.first_child();
            continue;
        }

        while (node != element && ! node.next_sibling())
            node = node.parent();

        if (node != element)
            node = node.next_sibling();
    }

    return collected.toUTF8();
}

/** How deeply the elements of a document nest; walks without recursion. */
int depthOf (const pugi::xml_document& document)
{
    int depth = 0, deepest = 0;

    for (auto node = document.first_child(); node;)
    {
        if (node.type() == pugi::node_element)
            deepest = std::max (deepest, depth + 1);

        if (node.first_child())
        {
            node = node.first_child();
            ++depth;
            continue;
        }

        while (node && ! node.next_sibling())
        {
            node = node.parent();
            --depth;
        }

        if (node)
            node = node.next_sibling();
    }

    return deepest;
}

/** The line of a byte offset in a text, counting from 1. */
int lineAt (const juce::MemoryBlock& bytes, ptrdiff_t offset)
{
    const auto* data = static_cast<const char*> (bytes.getData());
    const auto end = (size_t) std::clamp<ptrdiff_t> (offset, 0, (ptrdiff_t) bytes.getSize());
    return 1 + (int) std::count (data, data + end, '\n');
}

/** One pass over a manifest: collects the records and every problem, with where it was found. */
class ManifestReader
{
public:
    ManifestReader (const juce::File& folder, FileDigestCache& digestCache, PartnersArchiver& partnersArchiver, bool readInstallerSignature)
        : libraryFolder (folder), digests (digestCache), archiver (partnersArchiver), readsSignature (readInstallerSignature)
    {
    }

    LibraryLoader::Result read()
    {
        const auto manifest = libraryFolder.getChildFile (LibraryLoader::manifestFileName);
        watch (manifest);

        if (! manifest.existsAsFile())
            return fail ("no " + juce::String (LibraryLoader::manifestFileName) + " in " + libraryFolder.getFullPathName());

        juce::MemoryBlock manifestBytes;
        manifest.loadFileAsData (manifestBytes);
        signatureText << manifestBytes << "\n";

        // pugixml parses without recursion, so no nesting can exhaust the stack; it neither reads
        // external entities nor expands entities declared in a DTD.
        pugi::xml_document document;
        const auto parsed = document.load_buffer (manifestBytes.getData(), manifestBytes.getSize(), pugi::parse_default, pugi::encoding_auto);
        const auto where = juce::String (LibraryLoader::manifestFileName);

        if (! parsed)
            return fail (where + ", line " + juce::String (lineAt (manifestBytes, parsed.offset)) + ": " + text (parsed.description()));

        if (depthOf (document) > LibraryLoader::deepestManifest)
            return fail (where + ": elements are nested more than " + juce::String (LibraryLoader::deepestManifest) + " deep");

        const auto root = document.document_element();

        if (juce::String (root.name()) != "library")
            return fail (where + ": the root element must be <library>");

        auto name = attribute (root, "name", "Tessaly");
        const auto defaultLanguage = attribute (root, "lang", "en");

        if (! Library::isSupportedLanguage (defaultLanguage))
            problem ("<library>", "lang must be \"it\" or \"en\"");

        juce::String programVersion;
        ProvidedFile installer;
        readProgram (root.child ("program"), programVersion, installer);

        std::vector<LibraryUser> users;

        for (auto element : root.child ("users").children ("user"))
            users.push_back (readUser (element));

        std::vector<LibraryCourse> courses;

        for (auto element : root.children ("course"))
            courses.push_back (readCourse (element));

        checkUnique (users, courses);

        if (! errors.isEmpty())
            return fail ({});

        result.library = std::make_shared<const Library> (name, programVersion, installer, std::move (courses), std::move (users), defaultLanguage);
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

        // Watched even when refused, so that the real file put back is noticed.
        watch (file);

        if (! leadsInside (file))
        {
            problem (where, "\"" + path + "\" leads outside the library folder through a symbolic link");
            return {};
        }

        return file;
    }

    /** Whether a file, once its links are followed, is inside the library folder; a file that
        does not exist is reported as missing later.
    */
    bool leadsInside (const juce::File& file) const
    {
        const auto resolved = ProvidedFile::resolvePath (file);
        return resolved.isEmpty() || ProvidedFile::isInside (resolved, resolvedLibraryFolder);
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

    void readProgram (const pugi::xml_node& element, juce::String& version, ProvidedFile& installer)
    {
        if (! hasAttribute (element, "version"))
        {
            problem ("<program>", "the offered program version is missing (<program version=\"1.36\" .../>)");
            return;
        }

        version = attribute (element, "version").trim();

        if (hasAttribute (element, "installer"))
            installer = readFile ("<program>", attribute (element, "installer"), true);

        if (installer.isPresent() && readsSignature)
            readSignature (installer);
    }

    /** The signature kept beside the installer, published as it is: clients check it with the
        provider's public key, which the provider itself need not have.
    */
    void readSignature (ProvidedFile& installer)
    {
        const auto file = LibraryLoader::signatureFileFor (installer.file);
        watch (file);

        if (! file.exists())
            return;

        const auto text = file.getSize() < 1024 ? file.loadFileAsString().trim() : juce::String();
        const auto where = "\"" + file.getRelativePathFrom (libraryFolder) + "\"";

        if (! leadsInside (file))
            problem ("<program>", where + " leads outside the library folder through a symbolic link");
        else if (! LibraryLoader::isWellFormedSignature (text))
            problem ("<program>", where + " is not an Ed25519 signature in base64 (tsy-provider --sign-installer KEYFILE writes one)");
        else
        {
            signatureText << text << "\n";
            installer.signature = text;
        }
    }

    LibraryUser readUser (const pugi::xml_node& element)
    {
        LibraryUser user;
        user.id = attribute (element, "id").trim();
        user.email = attribute (element, "email").trim();
        user.name = attribute (element, "name").trim();
        const auto where = "user \"" + user.email + "\"";

        if (user.id.isEmpty())
            problem (where, "the user identifier is missing");

        if (user.email.isEmpty())
            problem (where, "the e-mail address is missing");

        user.lang = attribute (element, "lang").trim();

        if (user.lang.isNotEmpty() && ! Library::isSupportedLanguage (user.lang))
            problem (where, "lang must be \"it\" or \"en\"");

        if (hasAttribute (element, "password"))
        {
            user.passwordHash = juce::MD5 (attribute (element, "password").toUTF8()).toHexString();
        }
        else
        {
            user.passwordHash = attribute (element, "passwordmd5").trim().toLowerCase();

            if (user.passwordHash.length() != 32 || ! user.passwordHash.containsOnly ("0123456789abcdef"))
                problem (where, "needs a password or a passwordmd5 of 32 hexadecimal digits");
        }

        return user;
    }

    LibraryCourse readCourse (const pugi::xml_node& element)
    {
        LibraryCourse course;
        course.id = attribute (element, "id");
        course.lang = attribute (element, "lang");
        course.title = attribute (element, "title");
        course.description = attribute (element, "description");
        course.keywords = attribute (element, "keywords");
        course.resolution = attribute (element, "resolution");
        course.languageName = attribute (element, "language");
        course.platform = attribute (element, "platform");
        course.url = attribute (element, "url");
        const auto where = "course \"" + course.id + "\"";

        if (! isValidIdentifier (course.id))
            problem (where, "the identifier must be made of letters, digits, \"-\", \"_\", \".\" and \"~\"");

        if (! Library::isSupportedLanguage (course.lang))
            problem (where, "lang must be \"it\" or \"en\"");

        if (hasAttribute (element, "cover"))
            course.cover = readFile (where + ", cover", attribute (element, "cover"), false);

        if (hasAttribute (element, "credits"))
            course.credits = readFile (where + ", credits", attribute (element, "credits"), false);

        if (hasAttribute (element, "partners"))
            course.partners = readPartners (where + ", partners", attribute (element, "partners"));

        for (auto lessonElement : element.children ("lesson"))
        {
            LibraryLesson lesson;
            lesson.order = lessonElement.attribute ("order").as_int ((int) course.lessons.size() + 1);
            lesson.title = attribute (lessonElement, "title");

            for (auto chapterElement : lessonElement.children ("chapter"))
                lesson.chapters.push_back (readChapter (chapterElement, course, (int) lesson.chapters.size() + 1));

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

        for (auto& file : PartnersArchiver::findSiteFiles (target))
        {
            if (! leadsInside (file))
            {
                problem (where, "\"" + file.getRelativePathFrom (libraryFolder) + "\" leads outside the library folder through a symbolic link");
                return {};
            }
        }

        ProvidedFile archive;
        juce::String error;

        if (! archiver.pack (target, archive, error))
            problem (where, error);
        else
            signatureText << archive.md5 << "\n";

        return archive;
    }

    LibraryChapter readChapter (const pugi::xml_node& element, const LibraryCourse& course, int position)
    {
        LibraryChapter chapter;
        chapter.id = attribute (element, "id");
        chapter.order = element.attribute ("order").as_int (position);
        chapter.title = attribute (element, "title");
        chapter.description = attribute (element, "description");
        chapter.duration = element.attribute ("duration").as_double();
        chapter.nativeResolution = attribute (element, "native_resolution", course.resolution);
        const auto where = "course \"" + course.id + "\", chapter \"" + chapter.id + "\"";

        if (! isValidIdentifier (chapter.id))
            problem (where, "the identifier must be made of letters, digits, \"-\", \"_\", \".\" and \"~\"");

        if (chapter.duration < 0.0)
            problem (where, "the duration cannot be negative");

        if (! isValidResolution (chapter.nativeResolution))
            problem (where, "native_resolution must read WIDTHxHEIGHT");

        chapter.video = readFile (where, attribute (element, "video"), true);

        if (hasAttribute (element, "date"))
            chapter.date = attribute (element, "date").trim();
        else if (chapter.video.isPresent())
            chapter.date = chapter.video.file.getLastModificationTime().formatted ("%Y-%m-%d");

        if (chapter.video.isPresent() && ! isValidDate (chapter.date))
            problem (where, "the date must read YYYY-MM-DD");

        if (auto transcript = element.child ("transcript"))
            chapter.transcript = allTextOf (transcript).trim();

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
    const juce::String resolvedLibraryFolder = ProvidedFile::resolvePath (libraryFolder);
    FileDigestCache& digests;
    PartnersArchiver& archiver;
    const bool readsSignature;
    const juce::int64 startTime = juce::Time::currentTimeMillis();
    LibraryLoader::Result result;
    FileFingerprint fingerprint;

    // Grows geometrically: a library may have tens of thousands of files.
    juce::MemoryOutputStream signatureText;
    juce::StringArray errors;
};
} // namespace

LibraryLoader::LibraryLoader (juce::File folder, juce::File workFolder, bool readInstallerSignature)
    : libraryFolder (std::move (folder)),
      readsInstallerSignature (readInstallerSignature),
      archiver (std::move (workFolder))
{
}

LibraryLoader::Result LibraryLoader::load()
{
    return ManifestReader (libraryFolder, digests, archiver, readsInstallerSignature).read();
}

bool LibraryLoader::isWellFormedSignature (const juce::String& text)
{
    // 64 bytes are 86 base64 digits and two padding characters.
    return text.length() == 88 && text.endsWith ("==")
        && text.substring (0, 86).containsOnly ("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
}
} // namespace provider
