#include "app/OperationLog.h"

#include <gtest/gtest.h>
#include <regex>

namespace
{
struct LogFile
{
    LogFile() { folder.createDirectory(); }
    ~LogFile()
    {
        OperationLog::remove();
        folder.deleteRecursively();
    }

    juce::File folder = juce::File::createTempFile ("tsy-log");
    juce::File file = folder.getChildFile ("Desktop/TSY-Player Log.txt");
};

int countOccurrences (const juce::String& text, const juce::String& what)
{
    int count = 0;

    for (auto index = text.indexOf (what); index >= 0; index = text.indexOf (index + 1, what))
        ++count;

    return count;
}
} // namespace

TEST (OperationLog, OpeningBlockAndLinesFromAnyThread)
{
    LogFile log;
    {
        const auto logger = OperationLog::install (log.file);
        juce::Logger::writeToLog ("Program started");

        juce::WaitableEvent written;
        juce::Thread::launch ([&written] {
            juce::Logger::writeToLog ("movieid: ch1 from a worker");
            written.signal();
        });
        ASSERT_TRUE (written.wait (20000));
        OperationLog::remove();
    }

    const auto text = log.file.loadFileAsString();
    const juce::String stars (juce::String::repeatedString ("*", 58));
    EXPECT_TRUE (text.startsWith ("\r\n" + stars + "\r\n\r\nLog started: ")) << text;
    EXPECT_TRUE (text.contains ("\r\nProgram started\r\n"));
    EXPECT_TRUE (text.contains ("\r\nmovieid: ch1 from a worker\r\n"));

    const auto stamp = text.fromFirstOccurrenceOf ("Log started: ", false, false).upToFirstOccurrenceOf ("\r\n", false, false);
    EXPECT_TRUE (std::regex_match (stamp.toStdString(), std::regex (R"(\d{1,2} [A-Z][a-z]{2} \d{4} ([1-9]|1[0-2]):\d{2}:\d{2}(am|pm))")))
        << stamp;

    // Lines after removal no longer reach the file.
    juce::Logger::writeToLog ("after removal");
    EXPECT_FALSE (log.file.loadFileAsString().contains ("after removal"));
}

TEST (OperationLog, TwoRunsMakeTwoOpeningBlocks)
{
    LogFile log;

    for (int run = 0; run < 2; ++run)
    {
        const auto logger = OperationLog::install (log.file);
        juce::Logger::writeToLog ("run " + juce::String (run));
        OperationLog::remove();
    }

    const auto text = log.file.loadFileAsString();
    EXPECT_EQ (countOccurrences (text, "\r\n" + juce::String::repeatedString ("*", 58) + "\r\n"), 2);
    EXPECT_LT (text.indexOf ("run 0"), text.indexOf ("run 1"));
}

TEST (OperationLog, ALargeLogIsCutOnALineBreak)
{
    LogFile log;
    ASSERT_TRUE (log.file.getParentDirectory().createDirectory());
    {
        juce::FileOutputStream out (log.file);
        ASSERT_TRUE (out.openedOk());
        const juce::String line ("movieid: 0123456789 downloaded 32678 bytes of a long chapter file\r\n");

        while (out.getPosition() < 5 * 1024 * 1024)
            out << line;
    }

    const auto logger = OperationLog::install (log.file);
    OperationLog::remove();

    EXPECT_LE (log.file.getSize(), OperationLog::maximumInitialSize + 200);
    juce::FileInputStream in (log.file);
    ASSERT_TRUE (in.openedOk());
    const auto first = in.readByte();
    EXPECT_TRUE (first == '\r' || first == '\n') << "the cut lands on a line break";
    EXPECT_TRUE (log.file.loadFileAsString().trimStart().startsWith ("movieid: 0123456789"));
}
