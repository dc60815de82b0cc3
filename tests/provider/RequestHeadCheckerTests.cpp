#include "provider/RequestHeadChecker.h"

#include <gtest/gtest.h>

using namespace provider;
using Verdict = RequestHeadChecker::Verdict;

namespace
{
/** What the checker says once it has taken bytes, and how many it took to say it. */
struct Outcome
{
    Verdict verdict = Verdict::incomplete;
    size_t bytesTaken = 0;
};

Outcome check (const std::string& head)
{
    RequestHeadChecker checker;
    Outcome outcome;

    for (auto byte : head)
    {
        ++outcome.bytesTaken;
        outcome.verdict = checker.take (byte);

        if (outcome.verdict != Verdict::incomplete)
            break;
    }

    return outcome;
}

Verdict verdictOf (const std::string& head) { return check (head).verdict; }

/** The bytes of a literal, NULs included. */
template <size_t size>
std::string bytesOf (const char (&literal)[size])
{
    return std::string (literal, size - 1);
}

/** A GET head with the given field lines, each ending with CR LF, then the blank line. */
std::string headWith (const std::string& fieldLines)
{
    return "GET /catalog.php?auth=0 HTTP/1.1\r\nHost: 127.0.0.1\r\n" + fieldLines + "\r\n";
}
} // namespace

TEST (RequestHeadChecker, IsCompleteAtTheBlankLineAndNotABytePastIt)
{
    const auto head = headWith ("Accept: */*\r\nX-Tsy-Customuseragent: TSY-Player v1.36 UID=0\r\n");
    const auto outcome = check (head + "GET /next HTTP/1.1\r\n");

    EXPECT_EQ (outcome.verdict, Verdict::complete);
    EXPECT_EQ (outcome.bytesTaken, head.size());
    EXPECT_EQ (verdictOf (head.substr (0, head.size() - 1)), Verdict::incomplete);
    EXPECT_EQ (verdictOf ("GET / HTTP/1.1\r\n\r\n"), Verdict::complete);
}

TEST (RequestHeadChecker, KeepsItsVerdictWhateverFollows)
{
    RequestHeadChecker refused;

    for (auto byte : std::string ("GET / HTTP/1.1\n"))
        refused.take (byte);

    ASSERT_EQ (refused.getVerdict(), Verdict::refused);

    for (auto byte : std::string ("\r\nHost: x\r\n\r\n"))
        EXPECT_EQ (refused.take (byte), Verdict::refused);

    RequestHeadChecker complete;

    for (auto byte : headWith ({}))
        complete.take (byte);

    ASSERT_EQ (complete.getVerdict(), Verdict::complete);

    for (auto byte : std::string ("Content-Length : 1\n\n\x01"))
        EXPECT_EQ (complete.take (byte), Verdict::complete);
}

TEST (RequestHeadChecker, RefusesLinesThatDoNotEndWithCarriageReturnAndLineFeed)
{
    EXPECT_EQ (verdictOf ("GET / HTTP/1.1\nHost: x\r\n\r\n"), Verdict::refused);
    EXPECT_EQ (verdictOf ("GET / HTTP/1.1\r\nHost: x\n\r\n"), Verdict::refused);
    EXPECT_EQ (verdictOf ("GET / HTTP/1.1\r\nHost: x\r\n\n"), Verdict::refused);
    EXPECT_EQ (verdictOf ("GET / HTTP/1.1\r\nHost: x\r\r\n\r\n"), Verdict::refused);
    EXPECT_EQ (verdictOf ("\r\nGET / HTTP/1.1\r\n\r\n"), Verdict::refused);
}

TEST (RequestHeadChecker, RefusesABlankBeforeTheColon)
{
    EXPECT_EQ (verdictOf (headWith ("Content-Length : 5\r\n")), Verdict::refused);
    EXPECT_EQ (verdictOf (headWith ("Content-Length\t: 5\r\n")), Verdict::refused);
    EXPECT_EQ (verdictOf (headWith ("Transfer-Encoding : chunked\r\n")), Verdict::refused);
    EXPECT_EQ (verdictOf (headWith ("X-Anything : 1\r\n")), Verdict::refused);

    // Blanks after the colon and around the value are the value's own.
    EXPECT_EQ (verdictOf (headWith ("Content-Length: \t 5 \t\r\n")), Verdict::complete);
    EXPECT_EQ (verdictOf (headWith ("Accept:*/*\r\n")), Verdict::complete);
}

TEST (RequestHeadChecker, RefusesFieldsThatAreNotANameAColonAndAValue)
{
    for (const std::string line : { " Content-Length: 5", "\tX-A: 1", "NoColonHere", ": value", "X(A): 1", "X/A: 1", "X\x01-A: 1", "X\xc3\xa4: 1" })
        EXPECT_EQ (verdictOf (headWith (line + "\r\n")), Verdict::refused) << line;

    // Every character a name may hold.
    EXPECT_EQ (verdictOf (headWith ("!#$%&'*+-.^_`|~09azAZ: 1\r\n")), Verdict::complete);
}

TEST (RequestHeadChecker, RefusesANulOrAnotherControlCharacterInAValueOrTheRequestLine)
{
    EXPECT_EQ (verdictOf (headWith (bytesOf ("Accept-Language: en\0\r\n"))), Verdict::refused);
    EXPECT_EQ (verdictOf (headWith (bytesOf ("X-A: \0x\r\n"))), Verdict::refused);
    EXPECT_EQ (verdictOf (headWith ("X-A: a\x1b[31m\r\n")), Verdict::refused);
    EXPECT_EQ (verdictOf (headWith ("X-A: a\rb\r\n")), Verdict::refused);

    EXPECT_EQ (verdictOf (bytesOf ("GET /catalog.php?lang=en\0 HTTP/1.1\r\n\r\n")), Verdict::refused);
    EXPECT_EQ (verdictOf ("GET /\x7f HTTP/1.1\r\n\r\n"), Verdict::refused);
    EXPECT_EQ (verdictOf ("GET /a\tb HTTP/1.1\r\n\r\n"), Verdict::refused);

    // A tab, DEL and bytes above it may stand in a value; the server decides what they mean.
    EXPECT_EQ (verdictOf (headWith ("X-A: a\tb\x7f\xff\r\n")), Verdict::complete);
}

TEST (RequestHeadChecker, TakesRepeatedLengthsOnlyWhenTheyAgree)
{
    EXPECT_EQ (verdictOf (headWith ("Content-Length: 0\r\nContent-Length: 33\r\n")), Verdict::refused);
    EXPECT_EQ (verdictOf (headWith ("Content-Length: 33\r\ncontent-length: 0\r\n")), Verdict::refused);
    EXPECT_EQ (verdictOf (headWith ("Content-Length: 5\r\nX-A: 1\r\nCONTENT-LENGTH: 6\r\n")), Verdict::refused);

    EXPECT_EQ (verdictOf (headWith ("Content-Length: 5\r\ncontent-length:  5 \r\n")), Verdict::complete);
    EXPECT_EQ (verdictOf (headWith ("Content-Length: 005\r\nContent-Length: 5\r\n")), Verdict::complete);
    EXPECT_EQ (verdictOf (headWith ("Content-Length: 0\r\nContent-Length: 000\r\n")), Verdict::complete);
}

TEST (RequestHeadChecker, RefusesALengthThatIsNotDigitsOnly)
{
    for (const std::string value : { "", " ", "+5", "-1", "5 5", "5,5", "0x10", "%35", "5a", "1e3", "1234567890123456789" })
        EXPECT_EQ (verdictOf (headWith ("Content-Length: " + value + "\r\n")), Verdict::refused) << value;

    EXPECT_EQ (verdictOf (headWith ("Content-Length: 123456789012345678\r\n")), Verdict::complete);
}

TEST (RequestHeadChecker, RefusesALengthBesideATransferCodingInEitherOrder)
{
    EXPECT_EQ (verdictOf (headWith ("Content-Length: 5\r\nTransfer-Encoding: chunked\r\n")), Verdict::refused);
    EXPECT_EQ (verdictOf (headWith ("transfer-encoding: chunked\r\nContent-Length: 5\r\n")), Verdict::refused);
    EXPECT_EQ (verdictOf (headWith ("Transfer-Encoding: chunked\r\n")), Verdict::complete);
}
