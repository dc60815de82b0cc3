#include "model/CatalogDocument.h"

#include <pugixml.hpp>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
/** Elements, attributes and text with entities resolved; nothing is normalised, so values
    read exactly as written, and comments, processing instructions and the DOCTYPE are passed
    over without being looked into.
*/
constexpr unsigned int parseOptions = pugi::parse_escapes | pugi::parse_cdata;

const char* const cacheDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n";

struct StreamWriter final : pugi::xml_writer
{
    explicit StreamWriter (juce::OutputStream& s) : out (s) {}

    void write (const void* data, size_t size) override { ok = out.write (data, size) && ok; }

    juce::OutputStream& out;
    bool ok = true;
};

/** Reads a whole regular file; the descriptor is checked after opening, so what is read is what
    was checked, and a pipe or device never gets read at all.
*/
CatalogDocument::FileResult readRegularFile (const juce::File& file, juce::MemoryBlock& contents)
{
    using FileResult = CatalogDocument::FileResult;

    const auto fd = open (file.getFullPathName().toRawUTF8(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);

    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR || errno == ELOOP ? FileResult::missing : FileResult::unreadable;

    struct stat info
    {
    };

    auto result = FileResult::loaded;

    if (fstat (fd, &info) != 0)
        result = FileResult::unreadable;
    else if (! S_ISREG (info.st_mode))
        result = FileResult::missing;
    else if (info.st_size > CatalogDocument::maxFileBytes)
        result = FileResult::unreadable;

    if (result == FileResult::loaded)
    {
        contents.setSize ((size_t) info.st_size);
        size_t got = 0;

        while (got < contents.getSize())
        {
            const auto n = read (fd, static_cast<char*> (contents.getData()) + got, contents.getSize() - got);

            if (n < 0 && errno == EINTR)
                continue;

            if (n <= 0)
                break;

            got += (size_t) n;
        }

        // A file that shrank while being read is read as far as it went.
        contents.setSize (got);
    }

    close (fd);
    return result;
}
} // namespace

CatalogDocument::CatalogDocument() : document (std::make_unique<pugi::xml_document>())
{
}

CatalogDocument::~CatalogDocument() = default;

bool CatalogDocument::parse (juce::MemoryBlock&& newText)
{
    text = std::move (newText);
    return parseHeldText();
}

bool CatalogDocument::parse (const juce::String& newText)
{
    return parse (juce::MemoryBlock (newText.toRawUTF8(), newText.getNumBytesAsUTF8()));
}

CatalogDocument::FileResult CatalogDocument::load (const juce::File& file)
{
    document->reset();
    text.reset();
    const auto result = readRegularFile (file, text);

    if (result == FileResult::missing)
    {
        error = "no such file";
        return result;
    }

    if (result == FileResult::unreadable)
    {
        error = "cannot read the file";
        return result;
    }

    return parseHeldText() ? FileResult::loaded : FileResult::unreadable;
}

bool CatalogDocument::parseHeldText()
{
    error.clear();

    // Parsed in place: the tree points into the text, which this object keeps.
    const auto result = document->load_buffer_inplace (text.getData(), text.getSize(), parseOptions, pugi::encoding_auto);

    if (! result)
    {
        error = juce::String (result.description()) + " at offset " + juce::String ((juce::int64) result.offset);
        document->reset();
        return false;
    }

    return true;
}

pugi::xml_node CatalogDocument::getRoot() const
{
    return document->document_element();
}

juce::String CatalogDocument::getRootName() const
{
    return juce::String::fromUTF8 (getRoot().name());
}

bool CatalogDocument::writeTo (const juce::File& file) const
{
    if (! getRoot())
        return false;

    juce::TemporaryFile temporary (file);

    {
        juce::FileOutputStream out (temporary.getFile());

        if (out.failedToOpen())
            return false;

        // Written as it is printed, without the element ever sitting in memory as a whole.
        StreamWriter writer (out);
        writer.ok = out.writeText (cacheDeclaration, false, false, nullptr);
        getRoot().print (writer, "", pugi::format_raw, pugi::encoding_utf8);
        out.flush();

        if (! writer.ok || ! out.getStatus().wasOk())
            return false;
    }

    return temporary.overwriteTargetFileWithTemporary();
}
