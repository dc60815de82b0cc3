#pragma once

#include <JuceHeader.h>

#include <functional>
#include <string>
#include <vector>

/**
    A chapter's transcript as it is read and followed: lines, one per time stamp, each with the
    stamp's time and its pieces of text (markup characters left out), and for every word the
    moment it is spoken and the moment a click on it plays from.

    Words are numbered as the search database numbers them (TranscriptScanner), and the stamps
    the times come from are those the database keeps: of two stamps with the same seconds only
    the first, and of stamps before the same word the one with the fewest seconds. A click on a
    word therefore plays from exactly where a search hit on that word is placed
    (TranscriptSearch::getHitTime), and the word being spoken at a moment is the one whose
    interpolated time was reached last.

    Built by parse on any thread, then read-only, so any thread may read it.
*/
class TranscriptLines final
{
public:
    /** Asked now and then during a parse; true ends it with what was read so far. */
    using StopCheck = std::function<bool()>;

    /** How a piece of a line is shown. */
    enum class Kind
    {
        /** A word the search finds. */
        word,

        /** A word the search passes over (after "*" or inside "{...}"): shown dimmed. */
        leftOutWord,

        /** A passage in "(...)", without its parentheses: shown dimmed. */
        passage,

        /** Blanks and punctuation between words. */
        text
    };

    /** A piece of a line; words carry their number, other pieces -1. */
    struct Piece
    {
        Kind kind = Kind::text;
        juce::String text;
        int wordIndex = -1;
    };

    /** A line: the time of the stamp it starts with (0 for text before the first stamp), and
        its words, numbers firstWord up to but not including endWord.
    */
    struct Line
    {
        juce::int64 seconds = 0;
        std::vector<Piece> pieces;
        int firstWord = 0;
        int endWord = 0;
    };

    /** A piece of a caption or a context, and whether it is one of the searched words. */
    struct Span
    {
        juce::String text;
        bool highlighted = false;

        bool operator== (const Span& other) const { return text == other.text && highlighted == other.highlighted; }
    };

    TranscriptLines() = default;

    /** Reads a transcript as the search database update stores it. */
    static TranscriptLines parse (const juce::String& transcript, const StopCheck& shouldStop = {});

    int getNumLines() const noexcept { return (int) lines.size(); }
    const Line& getLine (int line) const { return lines[(size_t) line]; }

    /** The number of numbered words (the last one's number + 1). */
    int getNumWords() const noexcept { return (int) wordLines.size(); }

    /** The line a word is in. */
    int getLineOfWord (int wordIndex) const { return wordLines[(size_t) wordIndex]; }

    /** The moment a word is estimated to be spoken: interpolated between the stamps around it,
        as the search estimates it before placing its hit.
    */
    double getSpokenTime (int wordIndex) const { return spokenTimes[(size_t) wordIndex]; }

    /** Where a click on a word plays from: where the search places a hit on it. */
    double getSeekTime (int wordIndex) const;

    /** Where a click on a line plays from: as on its first word, or its own time without one. */
    double getLineSeekTime (int line) const;

    /** The word whose spoken time was reached last at a moment; -1 before the first. */
    int findWordSpokenAt (double seconds) const;

    /** The line of the word being spoken at a moment; -1 before the first. */
    int findLineSpokenAt (double seconds) const;

    /** The words being spoken at a moment as one caption line: a line of the transcript is cut
        into parts of at most maxCaptionWords words, and the part of the word being spoken is
        shown from its first word's time until the next part begins, or a few seconds after its
        last word. Empty when nothing is being spoken.
    */
    juce::String getCaption (double seconds) const;

    /** The numbers of the words where the search finds the words spoken one after the other
        (WordMatching's rules: the first word's wildcards removed, the database's case folding),
        in the order the search finds them.
    */
    std::vector<int> findPhrase (const juce::StringArray& words) const;

    /** About ten words around a phrase of a number of words starting at a word, the phrase's
        words highlighted.
    */
    std::vector<Span> getContext (int wordIndex, int numPhraseWords) const;

    /** The most words a caption shows. */
    static constexpr int maxCaptionWords = 10;

    /** How long a caption stays after its last word is spoken. */
    static constexpr double captionHoldSeconds = 3.0;

    /** The words of a context. */
    static constexpr int contextWords = 10;

private:
    class Builder;

    /** A word as the search database keeps it (empty when it is left out), and where its
        piece is in its line.
    */
    struct WordEntry
    {
        std::string lowerCase;
        bool indexed = false;
        int piece = 0;
    };

    /** Appends the pieces from one word's piece to another's, in order across lines. */
    void appendPieces (std::vector<Span>& spans, int fromWord, int toWord, const std::function<bool (int)>& isHighlighted) const;

    std::vector<Line> lines;
    std::vector<int> wordLines;
    std::vector<WordEntry> words;

    // The numbers of the words the search database keeps, in order: the "words after" a word
    // that the phrase test reads.
    std::vector<int> indexedWords;
    std::vector<double> spokenTimes;
    std::vector<double> seekTimes;

    // Word numbers by spoken time, so that the word of a moment is a binary search even where
    // the stamps are not in order.
    std::vector<int> wordsBySpokenTime;
};
