#include "provider/RequestHeadChecker.h"

namespace provider
{
namespace
{
bool isControl (unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

/** The characters of a field name (RFC 9110, "tchar"). */
bool isTokenCharacter (unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || (c != 0 && std::strchr ("!#$%&'*+-.^_`|~", c) != nullptr);
}

std::string trimmed (const std::string& text)
{
    const auto first = text.find_first_not_of (" \t");
    return first == std::string::npos ? std::string() : text.substr (first, text.find_last_not_of (" \t") - first + 1);
}
} // namespace

RequestHeadChecker::Verdict RequestHeadChecker::take (char byte)
{
    if (verdict != Verdict::incomplete)
        return verdict;

    line += byte;

    if (byte == '\n')
    {
        verdict = checkLine();
        inRequestLine = false;
        line.clear();
    }

    return verdict;
}

RequestHeadChecker::Verdict RequestHeadChecker::checkLine()
{
    if (line.size() < 2 || line[line.size() - 2] != '\r')
        return Verdict::refused;

    const auto content = line.substr (0, line.size() - 2);

    if (content.empty())
        return inRequestLine ? Verdict::refused : checkEnd();

    if (inRequestLine)
    {
        for (auto c : content)
            if (isControl ((unsigned char) c))
                return Verdict::refused;

        return Verdict::incomplete;
    }

    return checkFieldLine();
}

RequestHeadChecker::Verdict RequestHeadChecker::checkFieldLine()
{
    const auto content = line.substr (0, line.size() - 2);
    const auto colon = content.find (':');

    if (colon == 0 || colon == std::string::npos)
        return Verdict::refused;

    for (size_t i = 0; i < colon; ++i)
        if (! isTokenCharacter ((unsigned char) content[i]))
            return Verdict::refused;

    // Values may hold DEL and any byte above it; line breaks and other C0 controls there could
    // only confuse a reader.
    for (size_t i = colon + 1; i < content.size(); ++i)
        if ((unsigned char) content[i] < 0x20 && content[i] != '\t')
            return Verdict::refused;

    const auto name = juce::String (content.substr (0, colon));
    const auto value = trimmed (content.substr (colon + 1));

    if (name.equalsIgnoreCase ("Transfer-Encoding"))
        hasTransferCoding = true;

    if (name.equalsIgnoreCase ("Content-Length"))
    {
        if (value.empty() || value.size() > 18 || value.find_first_not_of ("0123456789") != std::string::npos)
            return Verdict::refused;

        const auto digits = value.substr (std::min (value.find_first_not_of ('0'), value.size() - 1));

        if (hasLength && digits != length)
            return Verdict::refused;

        hasLength = true;
        length = digits;
    }

    return Verdict::incomplete;
}

RequestHeadChecker::Verdict RequestHeadChecker::checkEnd() const
{
    return hasLength && hasTransferCoding ? Verdict::refused : Verdict::complete;
}
} // namespace provider
