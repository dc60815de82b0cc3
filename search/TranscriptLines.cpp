#include "search/TranscriptLines.h"

#include "search/TranscriptScanner.h"
#include "search/TranscriptSearch.h"
#include "search/WordMatching.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <set>

namespace
{
/** The characters between two stop checks of a parse. */
constexpr int charactersBetweenStopChecks = 4096;

/** Text with every run of white space made one blank. */
juce::String collapseWhiteSpace (const juce::String& text)
{
    juce::String result;
    bool inSpace = false;

    for (auto p = text.getCharPointer(); ! p.isEmpty(); ++p)
    {
        const auto c = *p;

        if (juce::CharacterFunctions::isWhitespace (c))
        {
            inSpace = true;
            continue;
        }

        if (inSpace)
            result << ' ';

        result << juce::String::charToString (c);
        inSpace = false;
    }

    return inSpace ? result + " " : result;
}
} // namespace

class TranscriptLines::Builder final : public TranscriptScanner::Sink
{
public:
    Builder (TranscriptLines& t, const StopCheck& s) : lines (t), stopCheck (s) {}

    bool shouldStop() override
    {
        if (--untilStopCheck > 0)
            return false;

        untilStopCheck = charactersBetweenStopChecks;
        return stopCheck != nullptr && stopCheck();
    }

    void wordFound (int wordIndex, std::string_view lowerCaseWord) override
    {
        auto& word = lines.words[(size_t) wordIndex];
        word.lowerCase.assign (lowerCaseWord.data(), lowerCaseWord.size());
        word.indexed = true;
        lines.indexedWords.push_back (wordIndex);
    }

    void stampFound (juce::int64 seconds, int nextWordIndex) override
    {
        // The database keeps the first stamp of each time, and of the stamps before one word
        // the search reads the one with the fewest seconds.
        if (stampTimes.insert (seconds).second)
        {
            auto [stamp, inserted] = stamps.emplace (nextWordIndex, (double) seconds);

            if (! inserted)
                stamp->second = juce::jmin (stamp->second, (double) seconds);
        }

        // A line with nothing to read yet takes the later stamp's time instead.
        if (lines.lines.empty() || hasReadableText (lines.lines.back()))
            lines.lines.emplace_back();

        lines.lines.back() = Line { seconds, {}, nextWordIndex, nextWordIndex };
    }

    bool wantsPieces() const override { return true; }

    void pieceFound (Piece piece, const char* utf8, size_t numBytes, int wordIndex) override
    {
        if (lines.lines.empty())
            lines.lines.push_back (Line { 0, {}, wordIndex, wordIndex });

        auto& line = lines.lines.back();
        const auto kind = piece == Piece::word          ? Kind::word
                          : piece == Piece::leftOutWord ? Kind::leftOutWord
                          : piece == Piece::passage     ? Kind::passage
                                                        : Kind::text;
        const auto isWord = kind == Kind::word || kind == Kind::leftOutWord;

        if (isWord)
        {
            lines.words.push_back (WordEntry { {}, false, (int) line.pieces.size() });
            lines.wordLines.push_back ((int) lines.lines.size() - 1);
            line.endWord = wordIndex + 1;
        }

        line.pieces.push_back (Piece_ { kind, juce::String::fromUTF8 (utf8, (int) numBytes), isWord ? wordIndex : -1 });
    }

    /** Works out every word's times from the stamps the database keeps. */
    void finish()
    {
        const auto numWords = (size_t) lines.getNumWords();
        lines.spokenTimes.resize (numWords);
        lines.seekTimes.resize (numWords);

        for (size_t w = 0; w < numWords; ++w)
        {
            const auto wordIndex = (int) w;
            auto after = stamps.lower_bound (wordIndex);
            auto before = after != stamps.end() && after->first == wordIndex ? after : (after == stamps.begin() ? stamps.end() : std::prev (after));
            const auto beforeIndex = before != stamps.end() ? before->first : 0;
            const auto beforeSeconds = before != stamps.end() ? before->second : 0.0;
            const auto hasAfter = after != stamps.end();
            const auto afterIndex = hasAfter ? after->first : 0;
            const auto afterSeconds = hasAfter ? after->second : 0.0;

            lines.spokenTimes[w] = TranscriptSearch::getSpokenTime (wordIndex, beforeIndex, beforeSeconds, hasAfter, afterIndex, afterSeconds);
            lines.seekTimes[w] = TranscriptSearch::getHitTime (wordIndex, beforeIndex, beforeSeconds, hasAfter, afterIndex, afterSeconds);
        }

        lines.wordsBySpokenTime.resize (numWords);
        std::iota (lines.wordsBySpokenTime.begin(), lines.wordsBySpokenTime.end(), 0);
        std::stable_sort (lines.wordsBySpokenTime.begin(), lines.wordsBySpokenTime.end(), [this] (int a, int b)
                          { return lines.spokenTimes[(size_t) a] < lines.spokenTimes[(size_t) b]; });

        if (! lines.lines.empty() && ! hasReadableText (lines.lines.back()))
            lines.lines.pop_back();
    }

private:
    using Piece_ = TranscriptLines::Piece;

    static bool hasReadableText (const Line& line)
    {
        return std::any_of (line.pieces.begin(), line.pieces.end(), [] (const Piece_& piece)
                            { return piece.kind != Kind::text || piece.text.containsNonWhitespaceChars(); });
    }

    TranscriptLines& lines;
    const StopCheck& stopCheck;
    int untilStopCheck = charactersBetweenStopChecks;
    std::set<juce::int64> stampTimes;
    std::map<int, double> stamps;
};

TranscriptLines TranscriptLines::parse (const juce::String& transcript, const StopCheck& shouldStop)
{
    TranscriptLines result;
    Builder builder (result, shouldStop);
    TranscriptScanner::scan (transcript, builder);
    builder.finish();
    return result;
}

double TranscriptLines::getSeekTime (int wordIndex) const
{
    return seekTimes[(size_t) wordIndex];
}

double TranscriptLines::getLineSeekTime (int line) const
{
    const auto& l = lines[(size_t) line];
    return l.firstWord < l.endWord ? getSeekTime (l.firstWord) : (double) l.seconds;
}

int TranscriptLines::findWordSpokenAt (double seconds) const
{
    const auto found = std::upper_bound (wordsBySpokenTime.begin(), wordsBySpokenTime.end(), seconds, [this] (double t, int word)
                                         { return t < spokenTimes[(size_t) word]; });
    return found == wordsBySpokenTime.begin() ? -1 : *std::prev (found);
}

int TranscriptLines::findLineSpokenAt (double seconds) const
{
    const auto word = findWordSpokenAt (seconds);
    return word < 0 ? -1 : wordLines[(size_t) word];
}

juce::String TranscriptLines::getCaption (double seconds) const
{
    const auto word = findWordSpokenAt (seconds);

    if (word < 0)
        return {};

    const auto& line = lines[(size_t) wordLines[(size_t) word]];
    const auto numWords = line.endWord - line.firstWord;
    const auto numParts = (numWords + maxCaptionWords - 1) / maxCaptionWords;
    const auto partSize = (numWords + numParts - 1) / numParts;
    const auto partBegin = line.firstWord + (word - line.firstWord) / partSize * partSize;
    const auto partEnd = juce::jmin (partBegin + partSize, line.endWord);

    if (seconds > spokenTimes[(size_t) partEnd - 1] + captionHoldSeconds)
        return {};

    std::vector<Span> spans;
    appendPieces (spans, partBegin, partEnd - 1, [] (int)
                  { return false; });

    juce::String caption;

    for (const auto& span : spans)
        caption << span.text;

    return caption.trim();
}

std::vector<int> TranscriptLines::findPhrase (const juce::StringArray& searchWords) const
{
    std::vector<int> found;

    if (searchWords.isEmpty())
        return found;

    std::vector<std::string> stems { WordMatching::getStem (searchWords[0], true).toStdString() };

    for (int k = 1; k < searchWords.size(); ++k)
        stems.push_back (WordMatching::getStem (searchWords[k], false).toStdString());

    const auto matches = [this] (int word, const std::string& stem)
    {
        const auto& text = words[(size_t) word].lowerCase;
        return WordMatching::matchesStem (text.data(), text.size(), stem);
    };

    for (size_t i = 0; i + stems.size() <= indexedWords.size(); ++i)
    {
        bool all = true;

        for (size_t k = 0; k < stems.size() && all; ++k)
            all = matches (indexedWords[i + k], stems[k]);

        if (all)
            found.push_back (indexedWords[i]);
    }

    return found;
}

std::vector<TranscriptLines::Span> TranscriptLines::getContext (int wordIndex, int numPhraseWords) const
{
    std::vector<Span> spans;

    if (wordIndex < 0 || wordIndex >= getNumWords())
        return spans;

    // The phrase: the word and the indexed words after it, as the search read them.
    std::set<int> phrase { wordIndex };
    const auto start = std::lower_bound (indexedWords.begin(), indexedWords.end(), wordIndex);

    for (auto next = start; next != indexedWords.end() && (int) phrase.size() < numPhraseWords; ++next)
        phrase.insert (*next);

    const auto phraseEnd = *phrase.rbegin() + 1;
    const auto extra = juce::jmax (0, contextWords - (phraseEnd - wordIndex));
    auto from = juce::jmax (0, wordIndex - extra / 3);
    const auto to = juce::jmin (getNumWords(), phraseEnd + extra - (wordIndex - from));
    from = juce::jmax (0, juce::jmin (from, to - contextWords));

    appendPieces (spans, from, to - 1, [&phrase] (int word)
                  { return phrase.count (word) > 0; });

    if (! spans.empty())
    {
        spans.front().text = spans.front().text.trimStart();
        spans.back().text = spans.back().text.trimEnd();
    }

    return spans;
}

void TranscriptLines::appendPieces (std::vector<Span>& spans, int fromWord, int toWord, const std::function<bool (int)>& isHighlighted) const
{
    const auto firstLine = wordLines[(size_t) fromWord];
    const auto lastLine = wordLines[(size_t) toWord];

    const auto add = [&spans] (const juce::String& text, bool highlighted)
    {
        if (text.isEmpty())
            return;

        if (! spans.empty() && spans.back().highlighted == highlighted)
            spans.back().text = collapseWhiteSpace (spans.back().text + text);
        else
            spans.push_back (Span { collapseWhiteSpace (text), highlighted });
    };

    for (auto l = firstLine; l <= lastLine; ++l)
    {
        const auto& pieces = lines[(size_t) l].pieces;
        const auto begin = l == firstLine ? (size_t) words[(size_t) fromWord].piece : 0;
        const auto last = l == lastLine ? (size_t) words[(size_t) toWord].piece : pieces.size() - 1;

        for (auto p = begin; p <= last && p < pieces.size(); ++p)
            if (pieces[p].kind != Kind::passage)
                add (pieces[p].text, pieces[p].wordIndex >= 0 && isHighlighted (pieces[p].wordIndex));

        // The punctuation right after the last word belongs to it; a line break reads as a blank.
        if (l == lastLine && last + 1 < pieces.size() && pieces[last + 1].kind == Kind::text)
            add (pieces[last + 1].text.trimEnd(), false);
        else if (l < lastLine)
            add (" ", false);
    }
}
