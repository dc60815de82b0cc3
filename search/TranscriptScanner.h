#pragma once

#include <JuceHeader.h>

#include <string_view>

/**
    Reads one chapter's transcript markup and numbers its words.

    A word is a run of word characters (WordMatching). Any other character ends it, and each
    ended word takes the next number whether it is kept or not. "[m:s]" is a time stamp that
    marks the moment the next word is spoken; a passage in "(...)" is passed over without
    numbers; "*" leaves out the next word to end, and the words of a "{...}" group are left out
    too, except the last one, whose end the closing "}" already lifted the group from. A sink
    that shows the transcript also gets it piece by piece, numbered by the same count.

    A plain function of its input; any thread.
*/
class TranscriptScanner final
{
public:
    /** Receives what the scan finds, and is asked before every character whether to go on. */
    class Sink
    {
    public:
        virtual ~Sink() = default;

        /** True to end the scan before the next character. */
        virtual bool shouldStop() = 0;

        /** A word that is kept: its number and its text in lower case, as UTF-8. */
        virtual void wordFound (int wordIndex, std::string_view lowerCaseWord) = 0;

        /** A time stamp: its time and the number the next word gets. */
        virtual void stampFound (juce::int64 seconds, int nextWordIndex) = 0;

        /** How a piece of the transcript reads. */
        enum class Piece
        {
            /** A word the database keeps. */
            word,

            /** A word that keeps its number but is left out of the database. */
            leftOutWord,

            /** The inside of a passage in "(...)", which has no numbers; an unfinished one
                runs to the end of the text. */
            passage,

            /** A run of other characters between words: blanks, punctuation. */
            text
        };

        /** True for a sink that shows the transcript and wants its pieces; asked once per scan. */
        virtual bool wantsPieces() const { return false; }

        /** The transcript as it reads, markup characters left out, piece by piece in order, as
            UTF-8 with its original case; a word's number, or for other pieces the number the
            next word gets. Called only when wantsPieces said so.
        */
        virtual void pieceFound (Piece, const char* /*utf8*/, size_t /*numBytes*/, int /*wordIndex*/) {}
    };

    /** Scans a transcript, the end of the text counting as a last character that is not part of
        a word; an unfinished stamp or passage is dropped. False when the sink asked to stop.
    */
    static bool scan (const juce::String& transcript, Sink& sink);

    /** A stamp's text (between "[" and "]") in seconds: the leading digits before the first
        ":" as minutes and those after it as seconds, each 0 when there are none.
    */
    static juce::int64 readStampSeconds (const char* utf8, size_t numBytes) noexcept;

private:
    TranscriptScanner() = delete;
};
