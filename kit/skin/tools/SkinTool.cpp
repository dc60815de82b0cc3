/*
    Build-time helper that turns the skin's sources into the archive compiled into the program.

        tsy_skin_tool typeface <font file> <family> <style> <output>
            Copies the glyphs the interface needs from an installed font into a custom typeface.
        tsy_skin_tool zip <output> <entry>...
            Writes a ZIP archive. An entry "name=path" stores the file at path under name; an entry
            ending in "/" stores a folder. Entries keep the given order and a fixed date, so the
            same sources always give the same bytes.
        tsy_skin_tool embed <input> <output>
            Writes a C++ source that defines SkinArchive::getData() and getSize() over the input.

    Outputs are written in full or not at all, so an interrupted build never leaves a truncated
    file that looks up to date.
*/

#include <JuceHeader.h>

#include <iostream>

namespace
{
/** The characters the skin's typefaces carry: Latin text with the punctuation the program and
    course titles use. Anything else falls back to a system font when drawn. */
const juce::Range<juce::juce_wchar> typefaceCharacters[] = {
    { 0x20, 0x7f }, // ASCII
    { 0xa0, 0x180 }, // Latin-1 supplement, Latin extended-A
    { 0x2013, 0x2015 }, // dashes
    { 0x2018, 0x201f }, // quotation marks
    { 0x2022, 0x2023 }, // bullet
    { 0x2026, 0x2027 }, // ellipsis
    { 0x20ac, 0x20ad }, // euro sign
    { 0x2122, 0x2123 }, // trade mark sign
};

/** The date written into every archive entry. */
const juce::Time archiveDate { 2013, 0, 1, 0, 0 };

int fail (const juce::String& message)
{
    std::cerr << "tsy_skin_tool: " << message << std::endl;
    return 1;
}

bool writeAtomically (const juce::File& output, const std::function<bool (juce::OutputStream&)>& write)
{
    output.getParentDirectory().createDirectory();
    juce::TemporaryFile temporary (output);

    {
        juce::FileOutputStream out (temporary.getFile());

        if (out.failedToOpen() || ! write (out))
            return false;

        out.flush();

        if (out.getStatus().failed())
            return false;
    }

    return temporary.overwriteTargetFileWithTemporary();
}

/** Glyph outlines and advances are copied one by one, and kerning is asked for every ordered
    pair: CustomTypeface::addGlyphsFromOtherTypeface only records pairs whose first character was
    added after the second, which loses half of them (for example "AV" but not "VA"). */
int makeTypeface (const juce::File& fontFile, const juce::String& family, const juce::String& style, const juce::File& output)
{
    juce::MemoryBlock fontData;

    if (! fontFile.loadFileAsData (fontData))
        return fail ("cannot read " + fontFile.getFullPathName());

    const auto source = juce::Typeface::createSystemTypefaceFor (fontData.getData(), fontData.getSize());

    if (source == nullptr)
        return fail ("not a usable font: " + fontFile.getFullPathName());

    juce::CustomTypeface typeface;
    typeface.setCharacteristics (family, style, source->getAscent(), ' ');

    juce::Array<juce::juce_wchar> characters;
    std::map<juce::juce_wchar, float> advances;

    for (const auto range : typefaceCharacters)
    {
        for (auto c = range.getStart(); c < range.getEnd(); ++c)
        {
            juce::Array<int> glyphs;
            juce::Array<float> offsets;
            source->getGlyphPositions (juce::String::charToString (c), glyphs, offsets);

            if (glyphs.size() != 1 || glyphs[0] < 0 || offsets.size() < 2)
                continue;

            juce::Path outline;
            source->getOutlineForGlyph (glyphs[0], outline);
            typeface.addGlyph (c, outline, offsets[1]);

            characters.add (c);
            advances[c] = offsets[1];
        }
    }

    if (! characters.contains ('A') || ! characters.contains ('z'))
        return fail ("the font lacks basic Latin letters: " + fontFile.getFullPathName());

    for (const auto first : characters)
    {
        for (const auto second : characters)
        {
            juce::Array<int> glyphs;
            juce::Array<float> offsets;
            source->getGlyphPositions (juce::String::charToString (first) + juce::String::charToString (second), glyphs, offsets);

            if (offsets.size() > 1)
                typeface.addKerningPair (first, second, offsets[1] - advances[first]);
        }
    }

    const bool written = writeAtomically (output, [&typeface] (juce::OutputStream& out)
                                          { return typeface.writeToStream (out); });
    return written ? 0 : fail ("cannot write " + output.getFullPathName());
}

int makeZip (const juce::File& output, const juce::StringArray& entries)
{
    juce::ZipFile::Builder builder;

    for (const auto& entry : entries)
    {
        if (entry.endsWithChar ('/') && ! entry.containsChar ('='))
        {
            builder.addEntry (new juce::MemoryInputStream (nullptr, 0, false), 0, entry, archiveDate);
            continue;
        }

        const auto storedName = entry.upToFirstOccurrenceOf ("=", false, false);
        const auto source = juce::File::getCurrentWorkingDirectory().getChildFile (entry.fromFirstOccurrenceOf ("=", false, false));

        if (storedName.isEmpty() || ! source.existsAsFile())
            return fail ("bad entry (want name=existing file): " + entry);

        auto stream = source.createInputStream();

        if (stream == nullptr)
            return fail ("cannot read " + source.getFullPathName());

        builder.addEntry (stream.release(), 9, storedName, archiveDate);
    }

    const bool written = writeAtomically (output, [&builder] (juce::OutputStream& out)
                                          { return builder.writeToStream (out, nullptr); });
    return written ? 0 : fail ("cannot write " + output.getFullPathName());
}

int embed (const juce::File& input, const juce::File& output)
{
    juce::MemoryBlock data;

    if (! input.loadFileAsData (data) || data.isEmpty())
        return fail ("cannot read " + input.getFullPathName());

    juce::MemoryOutputStream source;
    source << "// Generated by tsy_skin_tool from " << input.getFileName() << " at build time; edit kit/skin instead.\n\n"
           << "#include \"kit/SkinArchive.h\"\n\n"
           << "namespace\n{\n"
           << "const unsigned char skinArchiveData[] = {";

    const auto* bytes = static_cast<const juce::uint8*> (data.getData());

    for (size_t i = 0; i < data.getSize(); ++i)
        source << (i % 20 == 0 ? "\n    " : " ") << (int) bytes[i] << ",";

    source << "\n};\n} // namespace\n\n"
           << "const void* SkinArchive::getData() noexcept\n{\n    return skinArchiveData;\n}\n\n"
           << "size_t SkinArchive::getSize() noexcept\n{\n    return sizeof (skinArchiveData);\n}\n";

    const bool written = writeAtomically (output, [&source] (juce::OutputStream& out)
                                          { return out.write (source.getData(), source.getDataSize()); });
    return written ? 0 : fail ("cannot write " + output.getFullPathName());
}

int run (const juce::StringArray& args)
{
    const auto file = [&args] (int index)
    { return juce::File::getCurrentWorkingDirectory().getChildFile (args[index]); };

    if (args[0] == "typeface" && args.size() == 5)
        return makeTypeface (file (1), args[2], args[3], file (4));

    if (args[0] == "zip" && args.size() >= 2)
        return makeZip (file (1), juce::StringArray (args.begin() + 2, args.size() - 2));

    if (args[0] == "embed" && args.size() == 3)
        return embed (file (1), file (2));

    return fail ("usage: typeface <font> <family> <style> <output> | zip <output> <entry>... | embed <input> <output>");
}
} // namespace

int main (int argc, char** argv)
{
    juce::StringArray args;

    for (int i = 1; i < argc; ++i)
        args.add (juce::CharPointer_UTF8 (argv[i]));

    const auto result = run (args);

    // The font machinery keeps singletons that would otherwise be reported as leaks at exit.
    juce::DeletedAtShutdown::deleteAll();
    return result;
}
