#include "model/CatalogDocument.h"

#include "model/RegularFile.h"

#include <pugixml.hpp>

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
    const auto result = RegularFile::read (file, maxFileBytes, text);

    if (result == RegularFile::Result::missing)
    {
        error = "no such file";
        return FileResult::missing;
    }

    if (result == RegularFile::Result::unreadable)
    {
        error = "cannot read the file";
        return FileResult::unreadable;
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

bool CatalogDocument::namesMatch (const char* name, const char* lowerCaseName) noexcept
{
    // Names are nearly always written in lower case already: an exact match is looked for
    // first, and letters are folded only when it fails.
    auto* a = name;
    auto* b = lowerCaseName;

    while (*a == *b && *a != 0)
    {
        ++a;
        ++b;
    }

    if (*a == *b)
        return true;

    for (;; ++name, ++lowerCaseName)
    {
        auto c = (unsigned char) *name;

        if (c >= 'A' && c <= 'Z')
            c = (unsigned char) (c + ('a' - 'A'));

        if (c != (unsigned char) *lowerCaseName)
            return false;

        if (c == 0)
            return true;
    }
}
