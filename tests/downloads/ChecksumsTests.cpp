#include "downloads/BackgroundChecksum.h"
#include "downloads/Checksums.h"
#include "downloads/IncrementalChecksum.h"

#include "tests/common/JucePrinters.h"
#include "tests/downloads/FaultServer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
class ChecksumsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE (folder.createDirectory()); }
    void TearDown() override { folder.deleteRecursively(); }

    juce::File make (const juce::String& name, const juce::String& content = "x") const
    {
        const auto file = folder.getChildFile (name);
        EXPECT_TRUE (file.getParentDirectory().createDirectory() && file.replaceWithText (content));
        return file;
    }

    juce::File folder = juce::File::createTempFile ("tsy-checksums");
};
} // namespace

TEST_F (ChecksumsTest, DigestsAreLowerCaseHexOfTheWholeContent)
{
    // RFC 1321's own test vectors.
    EXPECT_EQ (Checksums::dataChecksum ("", 0), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ (Checksums::dataChecksum ("abc", 3), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ (Checksums::fileChecksum (make ("empty.bin", {})), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ (Checksums::fileChecksum (make ("abc.bin", "abc")), "900150983cd24fb0d6963f7d28e17f72");
}

TEST_F (ChecksumsTest, FileDigestMatchesTheFrameworkAcrossReadSlices)
{
    // Sizes around the read slice, where a file is hashed in more than one piece.
    for (const auto size : { (size_t) Checksums::fileReadSize - 1, (size_t) Checksums::fileReadSize, (size_t) Checksums::fileReadSize * 2 + 17 })
    {
        const auto body = makeTestBody (size, (int) size);
        const auto file = folder.getChildFile ("body.bin");
        ASSERT_TRUE (file.replaceWithData (body.getData(), body.getSize()));

        const auto expected = juce::MD5 (body).toHexString();
        EXPECT_EQ (Checksums::fileChecksum (file), expected) << size;
        EXPECT_EQ (Checksums::dataChecksum (body), expected) << size;
    }
}

TEST_F (ChecksumsTest, IncrementalDigestDoesNotDependOnHowTheStreamIsCut)
{
    const auto body = makeTestBody (100000);
    IncrementalChecksum checksum;

    for (size_t offset = 0; offset < body.getSize(); offset += 32678)
        checksum.update (static_cast<const char*> (body.getData()) + offset, juce::jmin ((size_t) 32678, body.getSize() - offset));

    EXPECT_EQ (checksum.finish(), juce::MD5 (body).toHexString());

    // finish() leaves a fresh, empty stream behind.
    EXPECT_EQ (checksum.finish(), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST_F (ChecksumsTest, BackgroundDigestIsTheDigestOfEverythingHandedOver)
{
    // More than the ring holds, in pieces of every size up to more than the whole ring, so the
    // producer has to wait for room and the ring wraps around mid-piece.
    const auto data = makeTestBody ((size_t) BackgroundChecksum::ringBytes * 3 + 12345, 7);
    juce::Random random (3);
    BackgroundChecksum checksum;

    for (size_t offset = 0; offset < data.getSize();)
    {
        const auto piece = juce::jmin (data.getSize() - offset, (size_t) random.nextInt (BackgroundChecksum::ringBytes + 5000) + 1);
        checksum.update (static_cast<const char*> (data.getData()) + offset, piece);
        offset += piece;
    }

    EXPECT_EQ (checksum.finish(), juce::MD5 (data).toHexString());

    BackgroundChecksum nothing;
    EXPECT_EQ (nothing.finish(), juce::MD5 (juce::MemoryBlock()).toHexString());

    // Given up half way (a failed download): going away must not wait for more data.
    const auto started = juce::Time::getMillisecondCounterHiRes();
    {
        BackgroundChecksum abandoned;
        abandoned.update (data.getData(), 1000);
    }
    EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - started, 10000.0) << "it waited for data that never comes";
}

TEST_F (ChecksumsTest, UnreadableFilesHaveNoChecksumAndNeverMatch)
{
    EXPECT_EQ (Checksums::fileChecksum (folder.getChildFile ("missing.bin")), "");
    EXPECT_EQ (Checksums::fileChecksum (folder), "");

    EXPECT_FALSE (Checksums::matches ("", "", true));
    EXPECT_FALSE (Checksums::matches ("", "d41d8cd98f00b204e9800998ecf8427e", true));
    EXPECT_FALSE (Checksums::matches ("d41d8cd98f00b204e9800998ecf8427e", "", false));
}

TEST_F (ChecksumsTest, ComparisonsIgnoreCaseOnlyWhenAsked)
{
    const juce::String lower = "900150983cd24fb0d6963f7d28e17f72";
    EXPECT_TRUE (Checksums::matches (lower, lower.toUpperCase(), true));
    EXPECT_FALSE (Checksums::matches (lower, lower.toUpperCase(), false));
    EXPECT_TRUE (Checksums::matches (lower, lower, false));
    EXPECT_FALSE (Checksums::matches (lower, "900150983cd24fb0d6963f7d28e17f73", true));
}

TEST_F (ChecksumsTest, ChecksumNamesAreExactlyThirtyTwoHexDigitsInAnyCase)
{
    EXPECT_TRUE (Checksums::isChecksumName ("0123456789abcdef0123456789abcdef"));
    EXPECT_TRUE (Checksums::isChecksumName ("0123456789ABCDEF0123456789ABCDEF"));
    EXPECT_FALSE (Checksums::isChecksumName ("0123456789abcdef0123456789abcde"));
    EXPECT_FALSE (Checksums::isChecksumName ("0123456789abcdef0123456789abcdef0"));
    EXPECT_FALSE (Checksums::isChecksumName ("0123456789abcdeg0123456789abcdef"));
    EXPECT_FALSE (Checksums::isChecksumName (""));
}

TEST_F (ChecksumsTest, FindsChecksumFilesByPatternOnlyDirectlyInTheFolder)
{
    EXPECT_EQ (Checksums::findChecksumFile (folder, "*.tyi"), juce::File());

    make ("notachecksum.tyi");
    make ("0123456789abcdef0123456789abcdef.png");
    make (".0123456789abcdef0123456789abcdee.tyi");
    make ("sub/fedcba9876543210fedcba9876543210.tyi");
    EXPECT_EQ (Checksums::findChecksumFile (folder, "*.tyi"), juce::File());

    const auto wanted = make ("0123456789abcdef0123456789abcdef.tyi");
    EXPECT_EQ (Checksums::findChecksumFile (folder, "*.tyi"), wanted);
    EXPECT_EQ (Checksums::findChecksumFile (wanted, "*.tyi"), juce::File());
    EXPECT_EQ (Checksums::findChecksumFile (folder.getChildFile ("missing"), "*"), juce::File());
}

TEST_F (ChecksumsTest, WithTwoCandidatesTheFileSystemOrderDecides)
{
    make ("0123456789abcdef0123456789abcdef.tyi");
    make ("fedcba9876543210fedcba9876543210.tyi");

    juce::File firstListed;

    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*.tyi"))
    {
        firstListed = entry.getFile();
        break;
    }

    EXPECT_EQ (Checksums::findChecksumFile (folder, "*.tyi"), firstListed);
}

TEST_F (ChecksumsTest, FindsChecksumFoldersButNotFilesOrHiddenFolders)
{
    make ("0123456789abcdef0123456789abcdef");
    ASSERT_TRUE (folder.getChildFile (".fedcba9876543210fedcba9876543210").createDirectory());
    ASSERT_TRUE (folder.getChildFile ("partners").createDirectory());
    EXPECT_EQ (Checksums::findChecksumFolder (folder), juce::File());

    const auto wanted = folder.getChildFile ("ABCDEF0123456789abcdef0123456789.site");
    ASSERT_TRUE (wanted.createDirectory());
    EXPECT_EQ (Checksums::findChecksumFolder (folder), wanted);
    EXPECT_EQ (Checksums::findChecksumFolder (folder.getChildFile ("missing")), juce::File());
}

TEST_F (ChecksumsTest, APipeHasNoChecksumAndIsNeverOpened)
{
    const auto pipe = folder.getChildFile ("video.bin");
    ASSERT_EQ (mkfifo (pipe.getFullPathName().toRawUTF8(), 0600), 0);

    auto digest = std::async (std::launch::async, [&] { return Checksums::fileChecksum (pipe); });
    const auto ended = digest.wait_for (std::chrono::seconds (10)) == std::future_status::ready;

    if (! ended)
    {
        // Lets a blocked open go on, so the test fails instead of hanging.
        const auto fd = open (pipe.getFullPathName().toRawUTF8(), O_WRONLY | O_NONBLOCK);
        digest.wait();
        close (fd);
    }

    EXPECT_TRUE (ended) << "reading the pipe waited for a writer";
    EXPECT_EQ (digest.get(), juce::String());
}
