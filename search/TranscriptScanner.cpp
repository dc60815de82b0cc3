#include "search/TranscriptScanner.h"

#include "search/WordMatching.h"

#include <cstring>
#include <string>

namespace
{
/** Leading decimal digits; 0 when there are none. Absurdly long numbers stop growing rather
    than overflow.
*/
juce::int64 readLeadingDigits (const char* text, const char* end) noexcept
{
    constexpr juce::int64 limit = (juce::int64) 1 << 40;
    juce::int64 value = 0;

    for (; text < end && *text >= '0' && *text <= '9'; ++text)
        if (value < limit)
            value = value * 10 + (*text - '0');

    return value;
}

enum class Mode
{
    outside,
    word,
    stamp,
    passage
};
} // namespace

juce::int64 TranscriptScanner::readStampSeconds (const char* utf8, size_t numBytes) noexcept
{
    const auto* end = utf8 + numBytes;
    const auto* colon = static_cast<const char*> (std::memchr (utf8, ':', numBytes));
    const auto minutes = readLeadingDigits (utf8, colon != nullptr ? colon : end);
    const auto seconds = colon != nullptr ? readLeadingDigits (colon + 1, end) : 0;
    return minutes * 60 + seconds;
}

bool TranscriptScanner::scan (const juce::String& transcript, Sink& sink)
{
    using Piece = Sink::Piece;
    const auto wantsPieces = sink.wantsPieces();
    auto mode = Mode::outside;
    const char* start = nullptr;
    const char* textStart = nullptr;
    int wordIndex = 0;
    bool skipNext = false;
    bool inGroup = false;
    std::string word;

    // Plain text runs from textStart (when set) to the markup or word that ends it.
    const auto endText = [&] (const char* end)
    {
        if (textStart != nullptr)
            sink.pieceFound (Piece::text, textStart, (size_t) (end - textStart), wordIndex);

        textStart = nullptr;
    };

    const auto isMarkup = [] (juce::juce_wchar c)
    { return c == '*' || c == '{' || c == '}' || c == '[' || c == '(' || c == 0; };

    for (auto p = transcript.getCharPointer();; ++p)
    {
        if (sink.shouldStop())
            return false;

        // The terminating null stands for the end of the text: not a word character.
        const auto* here = p.getAddress();
        const auto c = *p;

        if (c == '*')
            skipNext = true;
        else if (c == '{')
            inGroup = true;
        else if (c == '}')
            inGroup = false;

        switch (mode)
        {
            case Mode::outside:
                if (wantsPieces)
                {
                    if (WordMatching::isWordCharacter (c) || isMarkup (c))
                        endText (here);
                    else if (textStart == nullptr)
                        textStart = here;
                }

                if (WordMatching::isWordCharacter (c))
                {
                    mode = Mode::word;
                    start = here;
                }
                else if (c == '[')
                {
                    mode = Mode::stamp;
                    start = here + 1;
                }
                else if (c == '(')
                {
                    mode = Mode::passage;
                    start = here + 1;
                }

                break;

            case Mode::word:
                if (WordMatching::isWordCharacter (c))
                    break;

                if (wantsPieces)
                    sink.pieceFound (inGroup || skipNext ? Piece::leftOutWord : Piece::word, start, (size_t) (here - start), wordIndex);

                if (inGroup || skipNext)
                {
                    skipNext = false;
                }
                else
                {
                    word.clear();
                    WordMatching::appendLowerCase (word, start, (size_t) (here - start));
                    sink.wordFound (wordIndex, word);
                }

                ++wordIndex;

                if (c == '[' || c == '(')
                {
                    mode = c == '[' ? Mode::stamp : Mode::passage;
                    start = here + 1;
                }
                else
                {
                    mode = Mode::outside;

                    if (wantsPieces && ! isMarkup (c))
                        textStart = here;
                }

                break;

            case Mode::stamp:
                if (c == ']')
                {
                    sink.stampFound (readStampSeconds (start, (size_t) (here - start)), wordIndex);
                    mode = Mode::outside;
                }

                break;

            case Mode::passage:
                if (c == ')' || c == 0)
                {
                    if (wantsPieces)
                        sink.pieceFound (Piece::passage, start, (size_t) (here - start), wordIndex);

                    mode = Mode::outside;
                }

                break;
        }

        if (c == 0)
            return true;
    }
}
