#include "provider/AccessLog.h"

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

juce::String AccessLog::maskPasswords (const juce::String& target)
{
    const auto queryStart = target.indexOfChar ('?');

    if (queryStart < 0)
        return target;

    auto parts = juce::StringArray::fromTokens (target.substring (queryStart + 1), "&", {});

    for (auto& part : parts)
        if (juce::URL::removeEscapeChars (part.upToFirstOccurrenceOf ("=", false, false)) == "password")
            part = "password=" + juce::String (passwordMask);

    return target.substring (0, queryStart + 1) + parts.joinIntoString ("&");
}

juce::String AccessLog::format (const Entry& entry)
{
    const auto target = maskPasswords (entry.target);

    juce::String text;
    text << entry.time.formatted ("%Y-%m-%dT%H:%M:%S") << " " << entry.client << " \"" << entry.method << " "
         << target << " " << entry.version << "\" " << entry.status << " " << entry.bodySize << "\n";

    // Parsed after masking, so the decoded lines cannot reveal a password either.
    const juce::URL parsed ("http://client" + target);
    const auto& names = parsed.getParameterNames();
    const auto& values = parsed.getParameterValues();

    for (int i = 0; i < names.size(); ++i)
        text << "    query " << names[i] << "=" << values[i] << "\n";

    for (auto& [name, value] : entry.headers)
        text << "    header " << name << ": " << value << "\n";

    return text;
}
} // namespace provider
