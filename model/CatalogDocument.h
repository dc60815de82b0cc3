#pragma once

#include <JuceHeader.h>

namespace pugi
{
class xml_document;
class xml_node;
} // namespace pugi

/**
    A catalog document read from XML text: the service's answer or the cached copy on disk.

    Reading never follows anything the document points at (no external entities, no external
    DTD), resolves only the five predefined entities and character references, and needs no
    stack in proportion to how deeply elements nest, so a hostile document is refused or read,
    never obeyed. The tree keeps the text it was read from; the catalog parser walks it.

    The cached copy is written back from the tree: the root element and everything below it, as
    UTF-8 after an XML declaration and an empty line.

    One object per thread; any thread may use its own.
*/
class CatalogDocument final
{
public:
    CatalogDocument();
    ~CatalogDocument();

    /** Reads XML text, taking over the block. False when the text is not well-formed or holds
        no element; getError() then says why.
    */
    bool parse (juce::MemoryBlock&& text);

    /** Reads XML text from a string. */
    bool parse (const juce::String& text);

    /** What reading a file gave. */
    enum class FileResult
    {
        loaded,

        /** Nothing there, or something that is not a regular file (a folder, a device, a pipe,
            or a link to one of these).
        */
        missing,

        /** A file that cannot be read, is larger than maxFileBytes or is not well-formed. */
        unreadable
    };

    /** Reads a regular file; whatever else is found at the path is not opened for reading. */
    FileResult load (const juce::File& file);

    /** The root element; an empty node when nothing was read. */
    pugi::xml_node getRoot() const;

    /** The root element's name exactly as written; empty when nothing was read. */
    juce::String getRootName() const;

    /** Why the last parse or load failed. */
    const juce::String& getError() const noexcept { return error; }

    /** Writes the cache file's form of the root element: the XML declaration naming UTF-8, an
        empty line, then the element and everything below it on one line. The file is replaced
        through a temporary file beside it, so the previous copy survives a failure. False when
        nothing was written.
    */
    bool writeTo (const juce::File& file) const;

    /** Whether a name equals a lower-case name without regard to ASCII letter case, as the
        program's documents name their elements and attributes. Any thread.
    */
    static bool namesMatch (const char* name, const char* lowerCaseName) noexcept;

    /** The largest file load() reads: several times the largest catalog the service sends. */
    static constexpr juce::int64 maxFileBytes = (juce::int64) 256 << 20;

private:
    bool parseHeldText();

    juce::MemoryBlock text;
    std::unique_ptr<pugi::xml_document> document;
    juce::String error;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CatalogDocument)
};
