#include "search/TranscriptScanner.h"
#include "search/WordMatching.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
/** What a scan reported, in order: "w<number>:<word>" and "s<seconds>@<next word>". */
struct Recorder final : TranscriptScanner::Sink
{
    bool shouldStop() override { return ++checks > stopAfterChecks; }

    void wordFound (int wordIndex, std::string_view word) override
    {
        events.push_back ("w" + std::to_string (wordIndex) + ":" + std::string (word));
    }

    void stampFound (juce::int64 seconds, int nextWordIndex) override
    {
        events.push_back ("s" + std::to_string (seconds) + "@" + std::to_string (nextWordIndex));
    }

    int checks = 0;
    int stopAfterChecks = std::numeric_limits<int>::max();
    std::vector<std::string> events;
};

std::vector<std::string> scan (const juce::String& text)
{
    Recorder recorder;
    EXPECT_TRUE (TranscriptScanner::scan (text, recorder));
    return recorder.events;
}

using Events = std::vector<std::string>;
} // namespace

TEST (TranscriptScanner, TheWorkedExampleGivesEveryRowAndNumber)
{
    EXPECT_EQ (scan ("[00:05]Hello (laughs) *uh {um} world[00:12]again* x* end*"),
               (Events { "s5@0", "w0:hello", "w2:um", "w3:world", "s12@4" }));
}

TEST (TranscriptScanner, WordsAreNumberedFromZeroAndLowerCased)
{
    EXPECT_EQ (scan ("Ciao ciao"), (Events { "w0:ciao", "w1:ciao" }));
    EXPECT_EQ (scan ("l'Asse X"), (Events { "w0:l", "w1:asse", "w2:x" }));
    EXPECT_EQ (scan ("fine parola"), (Events { "w0:fine", "w1:parola" })) << "the end of the text ends the last word";
    EXPECT_EQ (scan (""), Events {});
}

TEST (TranscriptScanner, WordCharactersAreLettersAndDigitsOfEveryScript)
{
    EXPECT_EQ (scan (juce::CharPointer_UTF8 ("Perch\xc3\xa9 CITT\xc3\x80 3D \xc3\x83x \xce\x9b\xce\xbf\xce\xb3 \xe6\x97\xa5\xe6\x9c\xac \xd9\xa3")),
               (Events { "w0:perch\xc3\xa9", "w1:citt\xc3\xa0", "w2:3d", "w3:\xc3\xa3x", "w4:\xce\xbb\xce\xbf\xce\xb3", "w5:\xe6\x97\xa5\xe6\x9c\xac", "w6:\xd9\xa3" }));

    // Punctuation, symbols and spaces of other scripts end words: a no-break space, an en dash,
    // a euro sign, an ideographic full stop.
    EXPECT_EQ (scan (juce::CharPointer_UTF8 ("a\xc2\xa0"
                                             "b\xe2\x80\x93"
                                             "c\xe2\x82\xac"
                                             "d\xe3\x80\x82"
                                             "e")),
               (Events { "w0:a", "w1:b", "w2:c", "w3:d", "w4:e" }));

    EXPECT_TRUE (WordMatching::isWordCharacter (0xc3));
    EXPECT_TRUE (WordMatching::isWordCharacter (0x1d465)) << "a letter outside the basic plane";
    EXPECT_FALSE (WordMatching::isWordCharacter ('_'));
    EXPECT_FALSE (WordMatching::isWordCharacter (0x2160)) << "a Roman numeral is a number but no decimal digit";
}

TEST (TranscriptScanner, StampsReadMinutesAndSecondsFromLeadingDigits)
{
    EXPECT_EQ (scan ("[02:15]a"), (Events { "s135@0", "w0:a" }));
    EXPECT_EQ (scan ("[1:05:30]a"), (Events { "s65@0", "w0:a" })) << "only the first colon splits";
    EXPECT_EQ (scan ("[abc]a"), (Events { "s0@0", "w0:a" }));
    EXPECT_EQ (scan ("[3]a [ 1:2x]b [:7]c"), (Events { "s180@0", "w0:a", "s2@1", "w1:b", "s7@2", "w2:c" }));
    EXPECT_EQ (scan ("a[00:01]b"), (Events { "w0:a", "s1@1", "w1:b" })) << "a stamp ends the word before it";
    EXPECT_EQ (scan ("a [00:0"), (Events { "w0:a" })) << "an unfinished stamp is dropped";
    EXPECT_GT (TranscriptScanner::readStampSeconds ("99999999999999999999999:1", 25), 0) << "an absurd number does not overflow";
}

TEST (TranscriptScanner, WordsInsideStampsAndPassagesAreNotWords)
{
    EXPECT_EQ (scan ("a [word 00:01] (b c) d"), (Events { "w0:a", "s1@1", "w1:d" }));
    EXPECT_EQ (scan ("a(b)c"), (Events { "w0:a", "w1:c" })) << "a parenthesis ends the word and opens the passage";
    EXPECT_EQ (scan ("a (b c"), (Events { "w0:a" })) << "an unfinished passage is dropped";
}

TEST (TranscriptScanner, StarsAndGroupsKeepTheNumbersOfTheWordsTheyLeaveOut)
{
    EXPECT_EQ (scan ("*a b"), (Events { "w1:b" }));
    EXPECT_EQ (scan ("**a b"), (Events { "w1:b" })) << "the flag is one flag, not a count";
    EXPECT_EQ (scan ("{a b c} d"), (Events { "w2:c", "w3:d" })) << "the closing brace lifts the group before the word it ends";
    EXPECT_EQ (scan ("{a b }c"), (Events { "w2:c" }));
    EXPECT_EQ (scan ("*{a} b"), (Events { "w1:b" })) << "the star is used up by the word the brace ends";

    // The flags react to their characters wherever they stand, even inside a passage or a stamp.
    EXPECT_EQ (scan ("(x*) a b"), (Events { "w1:b" }));
    EXPECT_EQ (scan ("[00:01{] a b"), (Events { "s1@0" }));
}

TEST (TranscriptScanner, AsksWhetherToStopBeforeEveryCharacter)
{
    Recorder whole;
    EXPECT_TRUE (TranscriptScanner::scan ("ab c", whole));
    EXPECT_EQ (whole.checks, 5) << "four characters and the end of the text";

    Recorder stopped;
    stopped.stopAfterChecks = 4;
    EXPECT_FALSE (TranscriptScanner::scan ("ab c", stopped));
    EXPECT_EQ (stopped.events, (Events { "w0:ab" })) << "the word the end of the text would have finished is lost";
}
