#include "search/TranscriptPane.h"

#include "search/SearchResults.h"
#include "search/WordMatching.h"

#include <unordered_map>

namespace
{
const juce::Colour background { 0xff1e1f22 };
const juce::Colour textColour { 0xffe6e6e6 };
const juce::Colour dimmedColour { 0xff7d7f85 };
const juce::Colour spokenBackground { 0xff2f4a6b };
const juce::Colour matchColour { 0xff7bd88f };
} // namespace

TranscriptPane::TranscriptPane()
{
    list.setRowHeight (rowHeight);
    list.setColour (juce::ListBox::backgroundColourId, background);
    list.setMultipleSelectionEnabled (false);
    list.setWantsKeyboardFocus (false);
    addAndMakeVisible (list);
}

TranscriptPane::~TranscriptPane()
{
    list.setModel (nullptr);
}

void TranscriptPane::setTranscript (std::shared_ptr<const TranscriptLines> newLines, const juce::String& messageWhenNone)
{
    jassert (juce::MessageManager::existsAndIsCurrentThread());
    lines = std::move (newLines);
    message = lines == nullptr || lines->getNumLines() == 0 ? messageWhenNone : juce::String();
    spokenLine = -1;
    measurePieces();
    wrappedWidth = -1;
    wrapRows();
    list.updateContent();
    list.scrollToEnsureRowIsOnscreen (0);
    list.setVisible (message.isEmpty());
    repaint();
}

void TranscriptPane::setSearchWords (const juce::StringArray& words)
{
    stems.clear();

    for (int k = 0; k < words.size(); ++k)
        stems.push_back (WordMatching::getStem (words[k], k == 0).toStdString());

    list.repaint();
}

void TranscriptPane::setPosition (double seconds)
{
    if (lines == nullptr)
        return;

    const auto line = lines->findLineSpokenAt (seconds);

    if (line == spokenLine)
        return;

    spokenLine = line;
    list.repaint();

    if (line >= 0)
        list.scrollToEnsureRowIsOnscreen (getFirstRowOfLine (line));
}

int TranscriptPane::getFirstRowOfLine (int line) const
{
    return line >= 0 && line < (int) firstRowOfLine.size() ? firstRowOfLine[(size_t) line] : -1;
}

void TranscriptPane::resized()
{
    list.setBounds (getLocalBounds());
    wrapRows();
    list.updateContent();
}

void TranscriptPane::paint (juce::Graphics& g)
{
    g.fillAll (background);

    if (message.isNotEmpty())
    {
        g.setColour (dimmedColour);
        g.setFont (font);
        g.drawFittedText (message, getLocalBounds().reduced (12), juce::Justification::centredTop, 3);
    }
}

void TranscriptPane::measurePieces()
{
    pieceWidths.clear();

    if (lines == nullptr)
        return;

    pieceWidths.resize ((size_t) lines->getNumLines());

    // Spoken language repeats its words and its blanks: each text is measured once.
    std::unordered_map<juce::String, float> measured;

    for (int l = 0; l < lines->getNumLines(); ++l)
    {
        const auto& pieces = lines->getLine (l).pieces;
        auto& widths = pieceWidths[(size_t) l];
        widths.reserve (pieces.size());

        for (const auto& piece : pieces)
        {
            const auto text = piece.kind == TranscriptLines::Kind::passage ? "(" + piece.text + ")" : piece.text;
            auto [width, isNew] = measured.emplace (text, 0.0f);

            if (isNew)
                width->second = font.getStringWidthFloat (text);

            widths.push_back (width->second);
        }
    }
}

void TranscriptPane::wrapRows()
{
    const auto width = juce::jmax (40, getWidth() - timeColumnWidth - 12 - list.getVerticalScrollBar().getWidth());

    if (width == wrappedWidth)
        return;

    wrappedWidth = width;
    rows.clear();
    firstRowOfLine.clear();

    if (lines == nullptr)
        return;

    for (int l = 0; l < lines->getNumLines(); ++l)
    {
        const auto& widths = pieceWidths[(size_t) l];
        firstRowOfLine.push_back ((int) rows.size());
        Row row { l, 0, 0 };
        float x = 0.0f;

        // Rows break before a word that does not fit; blanks at a break take no room.
        for (int p = 0; p < (int) widths.size(); ++p)
        {
            const auto isWord = lines->getLine (l).pieces[(size_t) p].wordIndex >= 0;

            if (isWord && x + widths[(size_t) p] > (float) width && row.endPiece > row.firstPiece)
            {
                rows.push_back (row);
                row = Row { l, p, p };
                x = 0.0f;
            }

            x += widths[(size_t) p];
            row.endPiece = p + 1;
        }

        rows.push_back (row);
    }
}

bool TranscriptPane::isHighlighted (const TranscriptLines::Piece& piece) const
{
    if (stems.empty() || piece.kind != TranscriptLines::Kind::word)
        return false;

    const auto lower = WordMatching::toLowerCase (piece.text).toStdString();

    for (const auto& stem : stems)
        if (WordMatching::matchesStem (lower.data(), lower.size(), stem))
            return true;

    return false;
}

void TranscriptPane::paintListBoxItem (int rowNumber, juce::Graphics& g, int width, int height, bool)
{
    if (lines == nullptr || rowNumber < 0 || rowNumber >= (int) rows.size())
        return;

    const auto& row = rows[(size_t) rowNumber];
    const auto& line = lines->getLine (row.line);

    if (row.line == spokenLine)
        g.fillAll (spokenBackground);

    g.setFont (font);

    if (row.firstPiece == 0)
    {
        g.setColour (dimmedColour);
        g.drawText (SearchResults::formatTime ((double) line.seconds), 4, 0, timeColumnWidth - 8, height, juce::Justification::centredRight);
    }

    auto x = (float) timeColumnWidth;
    const auto& widths = pieceWidths[(size_t) row.line];

    for (int p = row.firstPiece; p < row.endPiece && x < (float) width; ++p)
    {
        const auto& piece = line.pieces[(size_t) p];
        const auto pieceWidth = widths[(size_t) p];

        if (! (p == row.firstPiece && piece.kind == TranscriptLines::Kind::text))
        {
            const auto dimmed = piece.kind == TranscriptLines::Kind::leftOutWord || piece.kind == TranscriptLines::Kind::passage;
            const auto highlighted = isHighlighted (piece);
            const juce::Rectangle<float> pieceArea (x, 0.0f, pieceWidth + 2.0f, (float) height);

            // A match keeps the font its width was measured in, or its last letters would be cut
            // off: it is marked by a tint behind it instead of bold.
            if (highlighted)
            {
                g.setColour (matchColour.withAlpha (0.2f));
                g.fillRoundedRectangle (pieceArea.reduced (0.0f, 2.0f).withTrimmedRight (2.0f).expanded (1.0f, 0.0f), 3.0f);
            }

            g.setColour (highlighted ? matchColour : dimmed ? dimmedColour
                                                            : textColour);
            g.drawText (piece.kind == TranscriptLines::Kind::passage ? "(" + piece.text + ")" : piece.text,
                        pieceArea,
                        juce::Justification::centredLeft,
                        false);
            x += pieceWidth;
        }
    }
}

std::optional<double> TranscriptPane::getSeekTimeAt (int rowNumber, juce::Point<int> position) const
{
    if (lines == nullptr || rowNumber < 0 || rowNumber >= (int) rows.size())
        return std::nullopt;

    const auto& row = rows[(size_t) rowNumber];
    const auto& line = lines->getLine (row.line);
    const auto& widths = pieceWidths[(size_t) row.line];
    auto x = (float) timeColumnWidth;

    for (int p = row.firstPiece; p < row.endPiece; ++p)
    {
        if (p == row.firstPiece && line.pieces[(size_t) p].kind == TranscriptLines::Kind::text)
            continue;

        const auto right = x + widths[(size_t) p];

        if ((float) position.x >= x && (float) position.x < right && line.pieces[(size_t) p].wordIndex >= 0)
            return lines->getSeekTime (line.pieces[(size_t) p].wordIndex);

        x = right;
    }

    return lines->getLineSeekTime (row.line);
}

void TranscriptPane::listBoxItemClicked (int row, const juce::MouseEvent& event)
{
    if (const auto seconds = getSeekTimeAt (row, event.getPosition()); seconds.has_value() && onSeek != nullptr)
        onSeek (*seconds);
}
