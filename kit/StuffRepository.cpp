#include "kit/StuffRepository.h"

#include "kit/PictureDecoder.h"

#include <limits>

namespace
{
/** Reads an integer the lenient way the skin's layout files expect: leading white space and an
    optional sign, then decimal digits up to the first non-digit; no digits gives 0. Values beyond
    the int range saturate rather than wrap. */
int readLenientInt (const juce::String& text)
{
    auto p = text.getCharPointer().findEndOfWhitespace();
    const bool negative = *p == '-';

    if (negative || *p == '+')
        ++p;

    juce::int64 value = 0;
    constexpr auto limit = (juce::int64) std::numeric_limits<int>::max() + 1;

    for (; *p >= '0' && *p <= '9'; ++p)
        value = juce::jmin (limit, value * 10 + (*p - '0'));

    return (int) juce::jlimit ((juce::int64) std::numeric_limits<int>::min(),
                               (juce::int64) std::numeric_limits<int>::max(),
                               negative ? -value : value);
}

/** The meaningful lines of a point or rectangle file: comments cut, white space trimmed,
    blank lines dropped, each split into its name and the text after the first ":". */
template <typename Callback>
void forEachLayoutLine (juce::InputStream& stream, Callback&& callback)
{
    for (auto line : juce::StringArray::fromLines (stream.readEntireStreamAsString()))
    {
        line = line.upToFirstOccurrenceOf ("#", false, false).trim();

        if (line.isNotEmpty())
            callback (line.upToFirstOccurrenceOf (":", false, false).trim(),
                      line.fromFirstOccurrenceOf (":", false, false));
    }
}

/** The skin's pictures go through the same decoder as the pictures from the network: the
    framework's readers do not stop cleanly on damaged data. An entry holds the format its name
    says, as the skin's loader has always required. */
juce::Image decodePicture (juce::InputStream& stream, bool png)
{
    juce::MemoryBlock data;
    stream.readIntoMemoryBlock (data);
    juce::Image picture;

    if (! data.isEmpty() && (data[0] == (char) 0x89) == png)
        PictureDecoder::decode (data, picture);

    return picture;
}

/** Walks a serialised custom typeface (uncompressed) and tells whether its glyph and kerning
    counts fit the data. The typeface reader trusts those counts and would otherwise spin through
    billions of empty glyphs on a damaged entry. */
bool isPlausibleTypeface (const juce::MemoryBlock& data)
{
    juce::MemoryInputStream in (data, false);

    const auto readChar = [&in]
    {
        const auto unit = (juce::uint16) in.readShort();

        if (unit >= 0xd800 && unit <= 0xdfff)
            in.readShort();
    };

    in.readString();
    in.readBool();
    in.readBool();
    in.readFloat();
    readChar();

    const auto numGlyphs = in.readInt();
    constexpr int smallestGlyph = 2 + 4 + 1; // character, width, end of path

    if (numGlyphs <= 0 || numGlyphs > in.getNumBytesRemaining() / smallestGlyph)
        return false;

    for (int i = 0; i < numGlyphs; ++i)
    {
        readChar();
        in.readFloat();

        for (bool endOfPath = false; ! endOfPath;)
        {
            if (in.isExhausted())
                return false;

            switch (in.readByte())
            {
                case 'm':
                case 'l':
                    in.skipNextBytes (2 * 4);
                    break;
                case 'q':
                    in.skipNextBytes (4 * 4);
                    break;
                case 'b':
                    in.skipNextBytes (6 * 4);
                    break;
                case 'c':
                case 'n':
                case 'z':
                    break;
                case 'e':
                    endOfPath = true;
                    break;
                default:
                    return false;
            }
        }
    }

    if (in.getNumBytesRemaining() < 4)
        return false;

    const auto numKerningPairs = in.readInt();
    constexpr int smallestKerningPair = 2 + 2 + 4;

    return numKerningPairs >= 0 && numKerningPairs <= in.getNumBytesRemaining() / smallestKerningPair;
}

juce::Typeface::Ptr readTypeface (juce::InputStream& stream)
{
    juce::MemoryBlock compressed;
    stream.readIntoMemoryBlock (compressed);

    juce::MemoryBlock serialised;

    {
        juce::MemoryInputStream source (compressed, false);
        juce::GZIPDecompressorInputStream unzipped (source);
        unzipped.readIntoMemoryBlock (serialised);
    }

    if (! isPlausibleTypeface (serialised))
        return nullptr;

    juce::MemoryInputStream in (compressed, false);
    return new juce::CustomTypeface (in);
}

template <typename Value>
Value findOr (const std::map<juce::String, Value>& table, const juce::String& key, Value fallback)
{
    const auto found = table.find (key);
    return found != table.end() ? found->second : fallback;
}

template <typename Value>
Value* findOwned (const std::map<juce::String, std::unique_ptr<Value>>& table, const juce::String& key)
{
    const auto found = table.find (key);
    return found != table.end() ? found->second.get() : nullptr;
}

juce::String withDefaultFolder (const juce::String& name, const char* folder)
{
    return name.startsWithChar ('/') ? name : folder + name;
}
} // namespace

namespace qo
{
StuffRepository::StuffRepository() = default;

StuffRepository::~StuffRepository()
{
    // Registered objects (the look and feels) point at drawables of this repository, so they go first.
    objects.clear();
    drawableTable.clear();
}

juce::String StuffRepository::makeKey (const juce::String& entryName)
{
    const auto key = entryName.upToLastOccurrenceOf (".", false, false);
    return key.startsWithChar ('/') ? key : "/" + key;
}

void StuffRepository::addEntriesFromZip (juce::ZipFile& zip)
{
    for (int i = 0; i < zip.getNumEntries(); ++i)
    {
        const auto* entry = zip.getEntry (i);

        if (entry == nullptr)
            continue;

        const auto name = entry->filename;

        if (name.endsWithChar ('/') || name.fromLastOccurrenceOf ("/", false, false).startsWithChar ('.'))
            continue;

        if (const std::unique_ptr<juce::InputStream> stream { zip.createStreamForEntry (i) })
            addEntry (makeKey (name), name, *stream);
    }
}

void StuffRepository::addEntry (const juce::String& key, const juce::String& entryName, juce::InputStream& stream)
{
    if (entryName.endsWithIgnoreCase (".xml"))
    {
        if (auto root = juce::parseXML (stream.readEntireStreamAsString()))
            xmlTable[key] = std::move (root);
    }
    else if (entryName.endsWithIgnoreCase (".png") || entryName.endsWithIgnoreCase (".jpg") || entryName.endsWithIgnoreCase (".jpeg"))
    {
        if (const auto image = decodePicture (stream, entryName.endsWithIgnoreCase (".png")); image.isValid())
            imageTable[key] = image;
    }
    else if (entryName.startsWith ("fonts/") && entryName.endsWithIgnoreCase (".bin"))
    {
        if (auto typeface = readTypeface (stream))
            typefaceTable[key] = typeface;
    }
    else if (entryName.endsWithIgnoreCase ("/points.txt") || entryName == "points.txt")
    {
        readPointFile (key, stream);
    }
    else if (entryName.endsWithIgnoreCase ("/rectangles.txt") || entryName == "rectangles.txt")
    {
        readRectangleFile (key, stream);
    }
    else if (entryName.endsWithIgnoreCase (".svg"))
    {
        juce::MemoryBlock data;
        stream.readIntoMemoryBlock (data);

        if (auto drawable = juce::Drawable::createFromImageData (data.getData(), data.getSize()))
            drawableTable[key] = std::move (drawable);
    }
}

void StuffRepository::readPointFile (const juce::String& key, juce::InputStream& stream)
{
    const auto prefix = key.upToLastOccurrenceOf ("/", true, false);

    forEachLayoutLine (stream, [&] (const juce::String& name, const juce::String& values)
                       { pointTable[prefix + name] = { readLenientInt (values.upToFirstOccurrenceOf (",", false, false)),
                                                       readLenientInt (values.fromFirstOccurrenceOf (",", false, false)) }; });
}

void StuffRepository::readRectangleFile (const juce::String& key, juce::InputStream& stream)
{
    const auto prefix = key.upToLastOccurrenceOf ("/", true, false);

    forEachLayoutLine (stream, [&] (const juce::String& name, const juce::String& values)
                       {
        juce::StringArray tokens;
        tokens.addTokens (values, ",", "");

        const auto token = [&tokens] (int index) { return readLenientInt (tokens[index]); };
        rectangleTable[prefix + name] = { token (0), token (1), token (2), token (3) }; });
}

juce::Image StuffRepository::getImage (const juce::String& name) const
{
    return findOr (imageTable, withDefaultFolder (name, "/images/"), juce::Image());
}

juce::Typeface::Ptr StuffRepository::getTypeface (const juce::String& name) const
{
    return findOr (typefaceTable, withDefaultFolder (name, "/fonts/"), juce::Typeface::Ptr());
}

juce::Drawable* StuffRepository::getDrawable (const juce::String& key) const
{
    return findOwned (drawableTable, key);
}

void StuffRepository::setDrawable (const juce::String& key, std::unique_ptr<juce::Drawable> drawable)
{
    if (drawable == nullptr)
        drawableTable.erase (key);
    else
        drawableTable[key] = std::move (drawable);
}

juce::XmlElement* StuffRepository::getXml (const juce::String& key) const
{
    return findOwned (xmlTable, key);
}

juce::Point<int> StuffRepository::getPoint (const juce::String& key) const
{
    return findOr (pointTable, key, juce::Point<int>());
}

juce::Rectangle<int> StuffRepository::getRectangle (const juce::String& key) const
{
    return findOr (rectangleTable, key, juce::Rectangle<int>());
}

StuffRepository::Counts StuffRepository::getCounts() const
{
    Counts counts;
    counts.xml = (int) xmlTable.size();
    counts.points = (int) pointTable.size();
    counts.rectangles = (int) rectangleTable.size();
    counts.images = (int) imageTable.size();
    counts.drawables = (int) drawableTable.size();
    counts.objects = (int) objects.size();
    counts.typefaces = (int) typefaceTable.size();
    return counts;
}
} // namespace qo
