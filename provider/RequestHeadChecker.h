#pragma once

#include <JuceHeader.h>

#include <string>

namespace provider
{
/**
    Checks a request head byte by byte as it is handed to the HTTP library, which reads the head
    leniently: it skips lines without a colon or ending in a bare line feed, keeps blanks before
    a colon in the field's name, decodes escapes in values and takes the first of several
    lengths. A client (or a proxy before the server) reading the same bytes strictly would then
    see another framing, and a body could be answered as a request of its own.

    So a head is refused unless every line ends with CR LF, the request line holds no control
    characters, every field is a token, a colon and a value without control characters (no
    folded lines), every Content-Length is digits only and all of them agree, and no request has
    both a Content-Length and a Transfer-Encoding. A plain value used by one request thread.
*/
class RequestHeadChecker final
{
public:
    enum class Verdict
    {
        incomplete,
        complete,
        refused
    };

    /** Takes the head's next byte; once complete or refused, further bytes change nothing. */
    Verdict take (char byte);

    Verdict getVerdict() const noexcept { return verdict; }

private:
    Verdict checkLine();
    Verdict checkFieldLine();
    Verdict checkEnd() const;

    std::string line;
    bool inRequestLine = true;
    bool hasLength = false;
    bool hasTransferCoding = false;
    std::string length;
    Verdict verdict = Verdict::incomplete;
};
} // namespace provider
