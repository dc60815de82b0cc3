#include "provider/AccessLog.h"

#include "provider/Utf8Text.h"

namespace provider
{
AccessLog::AccessLog()
    : out (stdout)
{
}

AccessLog::AccessLog (const juce::File& file)
    : out (std::fopen (file.getFullPathName().toRawUTF8(), "a")),
      ownsFile (true)
{
}

AccessLog::~AccessLog()
{
    if (ownsFile && out != nullptr)
        std::fclose (out);
}

void AccessLog::write (const Entry& entry)
{
    if (out == nullptr)
        return;

    const auto text = format (entry);
    const std::lock_guard<std::mutex> scope (lock);
    std::fputs (text.toRawUTF8(), out);
    std::fflush (out);
}

namespace
{
/** The bytes a query part stands for: escapes decoded, "+" as a blank, and the stand-ins of raw
    bytes (Utf8Text) as those bytes again.
*/
std::string decodeQueryPart (const juce::String& part)
{
    std::string bytes;

    for (auto p = part.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = p.getAndAdvance();
        const auto rest = p;

        if (c == '%' && juce::CharacterFunctions::getHexDigitValue (*rest) >= 0 && juce::CharacterFunctions::getHexDigitValue (*(rest + 1)) >= 0)
        {
            bytes += (char) (juce::CharacterFunctions::getHexDigitValue (*rest) * 16 + juce::CharacterFunctions::getHexDigitValue (*(rest + 1)));
            p += 2;
        }
        else if (c == '+')
            bytes += ' ';
        else if (const auto raw = Utf8Text::rawByteOf (c); raw >= 0)
            bytes += (char) raw;
        else
        {
            char encoded[8];
            juce::CharPointer_UTF8 writer (encoded);
            writer.write (c);
            bytes.append (encoded, (size_t) (writer.getAddress() - encoded));
        }
    }

    return bytes;
}

juce::String decodedQueryPart (const juce::String& part)
{
    return Utf8Text::decodeKeepingBytes (decodeQueryPart (part));
}

/** The name the service reads from a query part: its first segment between "=" that is not
    empty after trimming (so "=password=X" names "password"), decoded.
*/
juce::String nameOfQueryPart (const juce::String& part)
{
    for (auto& segment : juce::StringArray::fromTokens (part, "=", {}))
    {
        if (segment.trim().isEmpty())
            continue;

        // The service's text would end at a NUL.
        const auto name = decodedQueryPart (segment.trim());
        return name.upToFirstOccurrenceOf (juce::String::charToString (Utf8Text::standInFor (0)), false, false).trim();
    }

    return {};
}
} // namespace

juce::String AccessLog::maskPasswords (const juce::String& target)
{
    const auto queryStart = target.indexOfChar ('?');

    if (queryStart < 0)
        return target;

    auto parts = juce::StringArray::fromTokens (target.substring (queryStart + 1), "&", {});

    // Whatever the part's shape, a name the service would read as "password" hides the value.
    for (auto& part : parts)
        if (nameOfQueryPart (part).equalsIgnoreCase ("password"))
            part = "password=" + juce::String (passwordMask);

    return target.substring (0, queryStart + 1) + parts.joinIntoString ("&");
}

namespace
{
void appendEscaped (std::string& out, const juce::String& text)
{
    for (auto p = text.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = p.getAndAdvance();

        if (const auto raw = Utf8Text::rawByteOf (c); raw >= 0)
            out += ("\\x" + juce::String::toHexString (raw).paddedLeft ('0', 2)).toStdString();
        else if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c < 0x20 || c == 0x7f)
            out += ("\\x" + juce::String::toHexString ((int) c).paddedLeft ('0', 2)).toStdString();
        else if ((c >= 0x80 && c <= 0x9f) || c == 0x2028 || c == 0x2029)
            out += ("\\u{" + juce::String::toHexString ((int) c).paddedLeft ('0', 4) + "}").toStdString();
        else
        {
            char bytes[8];
            juce::CharPointer_UTF8 writer (bytes);
            writer.write (c);
            out.append (bytes, (size_t) (writer.getAddress() - bytes));
        }
    }
}
} // namespace

juce::String AccessLog::escape (const juce::String& text)
{
    std::string out;
    appendEscaped (out, text);
    return juce::String::fromUTF8 (out.data(), (int) out.size());
}

juce::String AccessLog::format (const Entry& entry)
{
    const auto target = maskPasswords (entry.target);

    // Built in a std::string, which grows geometrically: appending to a juce::String copies it
    // every time, and a request may carry many parts.
    std::string text;
    text += entry.time.formatted ("%Y-%m-%dT%H:%M:%S").toStdString() + " ";
    appendEscaped (text, entry.client);
    text += " \"";
    appendEscaped (text, entry.method);
    text += " ";
    appendEscaped (text, target);
    text += " ";
    appendEscaped (text, entry.version);
    text += "\" " + std::to_string (entry.status) + " " + std::to_string (entry.bodySize) + "\n";

    // Decoded after masking, so the decoded lines cannot reveal a password either.
    const auto queryStart = target.indexOfChar ('?');

    if (queryStart >= 0)
    {
        for (auto& part : juce::StringArray::fromTokens (target.substring (queryStart + 1), "&", {}))
        {
            if (part.isEmpty())
                continue;

            text += "    query ";
            appendEscaped (text, decodedQueryPart (part.upToFirstOccurrenceOf ("=", false, false)));
            text += "=";
            appendEscaped (text, decodedQueryPart (part.fromFirstOccurrenceOf ("=", false, false)));
            text += "\n";
        }
    }

    for (auto& [name, value] : entry.headers)
    {
        text += "    header ";
        appendEscaped (text, name);
        text += ": ";
        appendEscaped (text, value);
        text += "\n";
    }

    return juce::String::fromUTF8 (text.data(), (int) text.size());
}
} // namespace provider
