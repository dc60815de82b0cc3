#pragma once

#include "provider/ByteRanges.h"
#include "provider/OpenedFile.h"

#include <memory>
#include <string>

namespace provider
{
/**
    The body of an answer with a file: the whole file, one span of it, or several spans as a
    "multipart/byteranges" body, each part with its own "Content-Range". Its length is exact
    before anything is sent, and its bytes come from one opened file.

    Immutable once built; read is called by the request thread sending the answer.
*/
class FileBody final
{
public:
    /** The whole file when spans is empty; otherwise the spans (apart from each other, in
        file order, inside the file). contentType is the file's; boundary separates the parts
        of a multipart body.
    */
    FileBody (std::shared_ptr<const OpenedFile> file,
              const std::vector<ByteRanges::Span>& spans,
              const juce::String& contentType,
              const juce::String& boundary);

    juce::int64 getLength() const noexcept { return length; }

    /** The file's type, or "multipart/byteranges" with the boundary for several spans. */
    const juce::String& getContentType() const noexcept { return contentType; }

    /** Copies up to count bytes of the body from offset; returns how many (0 past the end), or
        -1 when the file ends early or cannot be read.
    */
    juce::int64 read (juce::int64 offset, char* destination, size_t count) const;

    /** The "Content-Range" value of a span of a file of this length: "bytes FIRST-LAST/LENGTH". */
    static juce::String describeSpan (const ByteRanges::Span& span, juce::int64 fileLength);

private:
    /** A run of the body: literal text, or bytes of the file. */
    struct Segment
    {
        juce::int64 bodyOffset = 0;
        std::string text;
        juce::int64 fileOffset = 0;
        juce::int64 length = 0;
    };

    void addText (const std::string& text);
    void addFileBytes (juce::int64 fileOffset, juce::int64 count);

    std::shared_ptr<const OpenedFile> file;
    std::vector<Segment> segments;
    juce::int64 length = 0;
    juce::String contentType;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FileBody)
};
} // namespace provider
