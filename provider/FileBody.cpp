#include "provider/FileBody.h"

namespace provider
{
FileBody::FileBody (std::shared_ptr<const OpenedFile> fileToSend,
                    const std::vector<ByteRanges::Span>& spans,
                    const juce::String& fileContentType,
                    const juce::String& boundary)
    : file (std::move (fileToSend)),
      contentType (fileContentType)
{
    const auto fileLength = file->getLength();

    if (spans.size() <= 1)
    {
        addFileBytes (spans.empty() ? 0 : spans.front().first, spans.empty() ? fileLength : spans.front().length());
        return;
    }

    contentType = "multipart/byteranges; boundary=" + boundary;

    for (size_t i = 0; i < spans.size(); ++i)
    {
        addText ((i > 0 ? "\r\n--" : "--") + boundary.toStdString() + "\r\nContent-Type: " + fileContentType.toStdString()
                 + "\r\nContent-Range: " + describeSpan (spans[i], fileLength).toStdString() + "\r\n\r\n");
        addFileBytes (spans[i].first, spans[i].length());
    }

    addText ("\r\n--" + boundary.toStdString() + "--\r\n");
}

void FileBody::addText (const std::string& text)
{
    segments.push_back ({ length, text, 0, (juce::int64) text.size() });
    length += (juce::int64) text.size();
}

void FileBody::addFileBytes (juce::int64 fileOffset, juce::int64 count)
{
    segments.push_back ({ length, {}, fileOffset, count });
    length += count;
}

juce::int64 FileBody::read (juce::int64 offset, char* destination, size_t count) const
{
    juce::int64 copied = 0;

    for (auto& segment : segments)
    {
        const auto segmentEnd = segment.bodyOffset + segment.length;

        if (copied == (juce::int64) count || offset + copied < segment.bodyOffset)
            break;

        if (offset + copied >= segmentEnd)
            continue;

        const auto within = offset + copied - segment.bodyOffset;
        const auto wanted = std::min ((juce::int64) count - copied, segment.length - within);

        if (segment.text.empty())
        {
            const auto got = file->read (segment.fileOffset + within, destination + copied, (size_t) wanted);

            // A file cut short under us must not make the body shorter than its length said.
            if (got <= 0)
                return copied > 0 ? copied : -1;

            copied += got;

            if (got < wanted)
                break;
        }
        else
        {
            std::memcpy (destination + copied, segment.text.data() + within, (size_t) wanted);
            copied += wanted;
        }
    }

    return copied;
}

juce::String FileBody::describeSpan (const ByteRanges::Span& span, juce::int64 fileLength)
{
    return "bytes " + juce::String (span.first) + "-" + juce::String (span.last) + "/" + juce::String (fileLength);
}
} // namespace provider
