#include "search/TranscriptScanner.h"
#include "search/WordMatching.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using Events = std::vector<std::string>;

/** What a scan reported, in order: "w<number>:<word>" and "s<seconds>@<next word>". */
struct Recorder final : TranscriptScanner::Sink
{
    bool shouldStop() override { return ++checks > stopAfterChecks; }
    void wordFound (int wordIndex, std::string_view word) override { events.push_back ("w" + std::to_string (wordIndex) + ":" + std::string (word)); }
    void stampFound (juce::int64 seconds, int nextWordIndex) override { events.push_back ("s" + std::to_string (seconds) + "@" + std::to_string (nextWordIndex)); }

    int checks = 0;
    int stopAfterChecks = std::numeric_limits<int>::max();
    Events events;
};
} // namespace

TEST (TranscriptScanner, ReadsWordsStampsPassagesAndLeftOutWords)
{
    for (const auto& [text, expected] : std::vector<std::pair<juce::String, Events>> {
             // The worked example: every row and every number.
             { "[00:05]Hello (laughs) *uh {um} world[00:12]again* x* end*", { "s5@0", "w0:hello", "w2:um", "w3:world", "s12@4" } },
             { "l'Asse X", { "w0:l", "w1:asse", "w2:x" } },
             { "", {} },
             // Letters and digits of every script are word characters.
             { juce::CharPointer_UTF8 ("Perch\xc3\xa9 CITT\xc3\x80 3D \xc3\x83x \xce\x9b\xce\xbf\xce\xb3 \xe6\x97\xa5\xe6\x9c\xac \xd9\xa3"),
               { "w0:perch\xc3\xa9", "w1:citt\xc3\xa0", "w2:3d", "w3:\xc3\xa3x", "w4:\xce\xbb\xce\xbf\xce\xb3", "w5:\xe6\x97\xa5\xe6\x9c\xac", "w6:\xd9\xa3" } },
             // A no-break space, an en dash, a euro sign and an ideographic full stop end words.
             { juce::CharPointer_UTF8 ("a\xc2\xa0"
                                       "b\xe2\x80\x93"
                                       "c\xe2\x82\xac"
                                       "d\xe3\x80\x82"
                                       "e"),
               { "w0:a", "w1:b", "w2:c", "w3:d", "w4:e" } },
             // Stamps read minutes and seconds from leading digits; only the first colon splits.
             { "[02:15]a", { "s135@0", "w0:a" } },
             { "[1:05:30]a", { "s65@0", "w0:a" } },
             { "[abc]a", { "s0@0", "w0:a" } },
             { "[3]a [ 1:2x]b [:7]c", { "s180@0", "w0:a", "s2@1", "w1:b", "s7@2", "w2:c" } },
             { "a[00:01]b", { "w0:a", "s1@1", "w1:b" } },
             { "a [00:0", { "w0:a" } }, // an unfinished stamp is dropped
             // Words inside stamps and passages are no words.
             { "a [word 00:01] (b c) d", { "w0:a", "s1@1", "w1:d" } },
             { "a(b)c", { "w0:a", "w1:c" } },
             { "a (b c", { "w0:a" } },
             // Stars and groups keep the numbers of the words they leave out.
             { "*a b", { "w1:b" } },
             { "**a b", { "w1:b" } }, // one flag, not a count
             { "{a b c} d", { "w2:c", "w3:d" } }, // the closing brace lifts the group before the word it ends
             { "{a b }c", { "w2:c" } },
             { "*{a} b", { "w1:b" } }, // the star is used up by the word the brace ends
             { "(x*) a b", { "w1:b" } }, // flags react wherever they stand
             { "[00:01{] a b", { "s1@0" } } })
    {
        Recorder recorder;
        EXPECT_TRUE (TranscriptScanner::scan (text, recorder));
        EXPECT_EQ (recorder.events, expected) << text;
    }

    EXPECT_GT (TranscriptScanner::readStampSeconds ("99999999999999999999999:1", 25), 0) << "an absurd number does not overflow";
    EXPECT_TRUE (WordMatching::isWordCharacter (0x1d465)) << "a letter outside the basic plane";
    EXPECT_FALSE (WordMatching::isWordCharacter ('_'));
    EXPECT_FALSE (WordMatching::isWordCharacter (0x2160)) << "a Roman numeral is a number but no decimal digit";
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
