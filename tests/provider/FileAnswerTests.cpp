#include "ScratchFolder.h"
#include "TestLibraryWriter.h"
#include "provider/ByteRanges.h"
#include "provider/FileBody.h"
#include "provider/OpenedFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace provider;

namespace
{
using Span = ByteRanges::Span;
using Outcome = ByteRanges::Outcome;

std::vector<Span> spansOf (const juce::String& header, juce::int64 length)
{
    const auto resolution = ByteRanges::resolve (header, length);
    EXPECT_EQ (resolution.outcome, Outcome::partial) << header;
    return resolution.spans;
}

Outcome outcomeOf (const juce::String& header, juce::int64 length)
{
    return ByteRanges::resolve (header, length).outcome;
}

/** Everything a body holds, read in blocks of the given size. */
std::string readAll (const FileBody& body, size_t blockSize)
{
    std::string all;
    std::vector<char> block (blockSize);

    for (;;)
    {
        const auto count = body.read ((juce::int64) all.size(), block.data(), blockSize);

        if (count <= 0)
            break;

        all.append (block.data(), (size_t) count);
    }

    return all;
}
} // namespace

TEST (ByteRanges, ResolvesEveryFormOfRangeAgainstTheLength)
{
    EXPECT_EQ (outcomeOf ({}, 1000), Outcome::whole);
    EXPECT_EQ (spansOf ("bytes=0-99", 1000), (std::vector<Span> { { 0, 99 } }));
    EXPECT_EQ (spansOf ("bytes=990-", 1000), (std::vector<Span> { { 990, 999 } }));
    EXPECT_EQ (spansOf ("bytes=-100", 1000), (std::vector<Span> { { 900, 999 } }));
    EXPECT_EQ (spansOf ("bytes=-5000", 1000), (std::vector<Span> { { 0, 999 } }));
    EXPECT_EQ (spansOf ("bytes=500-2000", 1000), (std::vector<Span> { { 500, 999 } }));
    EXPECT_EQ (spansOf ("Bytes=1-1 , 3-3", 1000), (std::vector<Span> { { 1, 1 }, { 3, 3 } }));

    // Ranges wholly past the end are dropped; when nothing is left, nothing can be sent.
    EXPECT_EQ (spansOf ("bytes=5000-6000,0-0", 1000), (std::vector<Span> { { 0, 0 } }));
    EXPECT_EQ (outcomeOf ("bytes=1000-", 1000), Outcome::unsatisfiable);
    EXPECT_EQ (outcomeOf ("bytes=5000-6000", 1000), Outcome::unsatisfiable);
    EXPECT_EQ (outcomeOf ("bytes=-0", 1000), Outcome::unsatisfiable);
    EXPECT_EQ (outcomeOf ("bytes=0-", 0), Outcome::unsatisfiable);
}

TEST (ByteRanges, NeverSendsAByteTwiceNorManyPieces)
{
    juce::StringArray copies;

    for (int i = 0; i < ByteRanges::maxListedRanges; ++i)
        copies.add ("0-999");

    EXPECT_EQ (spansOf ("bytes=" + copies.joinIntoString (","), 1000), (std::vector<Span> { { 0, 999 } }));
    EXPECT_EQ (spansOf ("bytes=20-30,0-10,5-19,40-", 50), (std::vector<Span> { { 0, 30 }, { 40, 49 } }));
    EXPECT_EQ (spansOf ("bytes=0-0,1-1,2-2,-1", 10), (std::vector<Span> { { 0, 2 }, { 9, 9 } }));

    juce::StringArray apart;

    for (int i = 0; i <= (int) ByteRanges::maxSpans; ++i)
        apart.add (juce::String (i * 10) + "-" + juce::String (i * 10));

    EXPECT_EQ (outcomeOf ("bytes=" + apart.joinIntoString (","), 1000), Outcome::whole);
    apart.remove (0);
    EXPECT_EQ (ByteRanges::resolve ("bytes=" + apart.joinIntoString (","), 1000).spans.size(), ByteRanges::maxSpans);

    copies.add ("0-999");
    EXPECT_EQ (outcomeOf ("bytes=" + copies.joinIntoString (","), 1000), Outcome::whole) << "too long a list is ignored";
}

TEST (ByteRanges, IgnoresWhatIsNotAPlainListOfByteRanges)
{
    for (auto* header : { "items=0-1", "bytes=5-1", "bytes=a-b", "bytes=1", "bytes=0-1;x", "bytes=--1", "bytes=99999999999999999999-", "bytes=" })
        EXPECT_EQ (outcomeOf (header, 1000), Outcome::whole) << header;
}

TEST (FileBody, LaysOutOneSpanOrAMultipartBodyOfExactLength)
{
    ScratchFolder scratch;
    const auto path = scratch.getChildFile ("video.bin");
    TestLibraryWriter::writeBytes (path, 1000, 7);
    juce::MemoryBlock bytes;
    ASSERT_TRUE (path.loadFileAsData (bytes));
    const std::string fileBytes (static_cast<const char*> (bytes.getData()), bytes.getSize());

    const auto file = std::make_shared<const OpenedFile> (path);
    ASSERT_TRUE (file->isOpen());

    const FileBody whole (file, {}, "video/mp4", "B");
    EXPECT_EQ (whole.getLength(), 1000);
    EXPECT_EQ (whole.getContentType(), "video/mp4");
    EXPECT_EQ (readAll (whole, 64), fileBytes);

    const FileBody single (file, { { 100, 199 } }, "video/mp4", "B");
    EXPECT_EQ (single.getLength(), 100);
    EXPECT_EQ (readAll (single, 7), fileBytes.substr (100, 100));

    const FileBody multi (file, { { 0, 0 }, { 990, 999 } }, "video/mp4", "B0UND");
    EXPECT_EQ (multi.getContentType(), "multipart/byteranges; boundary=B0UND");
    const auto expected = "--B0UND\r\nContent-Type: video/mp4\r\nContent-Range: bytes 0-0/1000\r\n\r\n" + fileBytes.substr (0, 1)
                        + "\r\n--B0UND\r\nContent-Type: video/mp4\r\nContent-Range: bytes 990-999/1000\r\n\r\n" + fileBytes.substr (990)
                        + "\r\n--B0UND--\r\n";
    EXPECT_EQ (multi.getLength(), (juce::int64) expected.size());

    // Block sizes that cut through texts and file bytes alike.
    for (size_t blockSize : { (size_t) 1, (size_t) 5, (size_t) 64, (size_t) 100000 })
        EXPECT_EQ (readAll (multi, blockSize), expected) << blockSize;

    char byte = 0;
    EXPECT_EQ (multi.read (multi.getLength(), &byte, 1), 0);
}

TEST (OpenedFile, KeepsTheLengthAndBytesOfWhatWasOpenedWhenThePathIsReplaced)
{
    ScratchFolder scratch;
    const auto path = scratch.getChildFile ("video.bin");
    TestLibraryWriter::writeBytes (path, 3000, 1);
    juce::MemoryBlock original;
    ASSERT_TRUE (path.loadFileAsData (original));

    const auto file = std::make_shared<const OpenedFile> (path);
    ASSERT_TRUE (file->isOpen());

    // A new version moved into place, as the library's README asks.
    const auto replacement = scratch.getChildFile ("video.new");
    TestLibraryWriter::writeBytes (replacement, 5000, 2);
    ASSERT_TRUE (replacement.moveFileTo (path));
    ASSERT_EQ (path.getSize(), 5000);

    EXPECT_EQ (file->getLength(), 3000);
    const FileBody body (file, {}, "video/mp4", "B");
    const auto sent = readAll (body, 1024);
    EXPECT_EQ (sent, std::string (static_cast<const char*> (original.getData()), original.getSize()));

    EXPECT_FALSE (OpenedFile (scratch.getChildFile ("missing.bin")).isOpen());
    EXPECT_FALSE (OpenedFile (scratch.get()).isOpen()) << "a folder is not a file to send";
}

TEST (FileBody, AFileCutShortEndsTheBodyWithAnError)
{
    ScratchFolder scratch;
    const auto path = scratch.getChildFile ("video.bin");
    TestLibraryWriter::writeBytes (path, 3000, 1);
    const auto file = std::make_shared<const OpenedFile> (path);
    const FileBody body (file, {}, "video/mp4", "B");

    ASSERT_EQ (::truncate (path.getFullPathName().toRawUTF8(), 1000), 0);
    char block[4096];
    EXPECT_EQ (body.read (0, block, sizeof (block)), 1000);
    EXPECT_EQ (body.read (1000, block, sizeof (block)), -1);
}
