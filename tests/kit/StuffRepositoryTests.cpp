#include "kit/StuffRepository.h"

#include <gtest/gtest.h>

namespace
{
juce::MemoryBlock pictureData (juce::ImageFileFormat& format, int width, int height, juce::Colour colour)
{
    juce::Image image (juce::Image::ARGB, width, height, false);
    image.clear (image.getBounds(), colour);

    juce::MemoryOutputStream out;
    EXPECT_TRUE (format.writeImageToStream (image, out));
    return out.getMemoryBlock();
}

juce::MemoryBlock png (int width, int height)
{
    juce::PNGImageFormat format;
    return pictureData (format, width, height, juce::Colours::orange);
}

juce::MemoryBlock jpeg (int width, int height)
{
    juce::JPEGImageFormat format;
    return pictureData (format, width, height, juce::Colours::teal);
}

juce::MemoryBlock text (const juce::String& content)
{
    return { content.toRawUTF8(), content.getNumBytesAsUTF8() };
}

juce::MemoryBlock typefaceData (const juce::String& family)
{
    juce::CustomTypeface typeface;
    typeface.setCharacteristics (family, "Regular", 0.8f, ' ');

    juce::Path outline;
    outline.addRectangle (0.1f, -0.7f, 0.4f, 0.7f);
    typeface.addGlyph ('A', outline, 0.6f);
    typeface.addGlyph (' ', {}, 0.3f);

    juce::MemoryOutputStream out;
    EXPECT_TRUE (typeface.writeToStream (out));
    return out.getMemoryBlock();
}

/** Serialised typeface data that is well-formed gzip but claims far more glyphs than it holds. */
juce::MemoryBlock typefaceClaimingGlyphs (int numGlyphs)
{
    juce::MemoryOutputStream out;

    {
        juce::GZIPCompressorOutputStream zipped (out);
        zipped.writeString ("Liar");
        zipped.writeBool (false);
        zipped.writeBool (false);
        zipped.writeFloat (0.8f);
        zipped.writeShort (' ');
        zipped.writeInt (numGlyphs);
    }

    return out.getMemoryBlock();
}

const juce::String svgSquare = R"(<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48" viewBox="0 0 48 48">
  <rect x="8" y="8" width="32" height="32" fill="#3a4450"/></svg>)";

/** Builds a ZIP archive in memory, entries in the order they are added. */
class ZipMaker
{
public:
    ZipMaker& add (const juce::String& name, const juce::MemoryBlock& data, int compression = 9)
    {
        builder.addEntry (new juce::MemoryInputStream (data, true), compression, name, juce::Time());
        return *this;
    }

    ZipMaker& folder (const juce::String& name) { return add (name, {}, 0); }

    void loadInto (qo::StuffRepository& repository)
    {
        juce::MemoryOutputStream out;
        ASSERT_TRUE (builder.writeToStream (out, nullptr));

        juce::MemoryInputStream in (out.getData(), out.getDataSize(), false);
        juce::ZipFile zip (in);
        repository.addEntriesFromZip (zip);
    }

private:
    juce::ZipFile::Builder builder;
};

bool isEmpty (const qo::StuffRepository::Counts& counts)
{
    return counts.xml + counts.points + counts.rectangles + counts.images + counts.drawables + counts.objects + counts.typefaces == 0;
}

struct DestructionFlag
{
    explicit DestructionFlag (bool& flagToSet) : flag (flagToSet) {}
    virtual ~DestructionFlag() { flag = true; }
    bool& flag;
};

struct OtherObject
{
    virtual ~OtherObject() = default;
};

/** Records what the archive walk hands to the virtual filing operation. */
struct RecordingRepository final : qo::StuffRepository
{
    void addEntry (const juce::String& key, const juce::String& entryName, juce::InputStream& stream) override
    {
        calls.add (key + " <- " + entryName + " (" + juce::String (stream.readEntireStreamAsString().length()) + ")");
    }

    juce::StringArray calls;
};
} // namespace

TEST (StuffRepositoryKeys, CutBeforeTheLastPointAndStartWithASlash)
{
    EXPECT_EQ (qo::StuffRepository::makeKey ("images/play-norm.png"), "/images/play-norm");
    EXPECT_EQ (qo::StuffRepository::makeKey ("vector/folder.svg"), "/vector/folder");
    EXPECT_EQ (qo::StuffRepository::makeKey ("fonts/Lucida Grande Bold.bin"), "/fonts/Lucida Grande Bold");
    EXPECT_EQ (qo::StuffRepository::makeKey ("archive.tar.gz"), "/archive.tar");
    EXPECT_EQ (qo::StuffRepository::makeKey ("README"), "/README");
    EXPECT_EQ (qo::StuffRepository::makeKey ("/already/rooted.png"), "/already/rooted");
}

TEST (StuffRepositoryArchive, FoldersAndHiddenFilesAddNothing)
{
    qo::StuffRepository repository;
    ZipMaker()
        .folder ("images/")
        .folder ("vector/")
        .folder ("fonts/")
        .folder ("pictures.png/")
        .add ("images/.DS_Store", text ("Bud1"))
        .add ("images/.hidden.png", png (4, 4))
        .add (".rootlayout.xml", text ("<layout/>"))
        .add ("fonts/.cache.bin", typefaceData ("Hidden"))
        .loadInto (repository);

    EXPECT_TRUE (isEmpty (repository.getCounts()));
    EXPECT_FALSE (repository.getImage ("/images/.hidden").isValid());
}

TEST (StuffRepositoryArchive, WalksEntriesInStoredOrderThroughTheVirtualFilingOperation)
{
    RecordingRepository repository;
    ZipMaker()
        .add ("vector/b.svg", text ("12345"))
        .folder ("images/")
        .add ("images/a.png", text ("123"), 0)
        .add ("Top.TXT", text (""))
        .loadInto (repository);

    EXPECT_EQ (repository.calls, juce::StringArray ({ "/vector/b <- vector/b.svg (5)", "/images/a <- images/a.png (3)", "/Top <- Top.TXT (0)" }));
}

TEST (StuffRepositoryArchive, FilesPicturesDrawingsTypefacesAndDocuments)
{
    qo::StuffRepository repository;
    ZipMaker()
        .add ("images/play-norm.png", png (28, 28))
        .add ("images/stored.png", png (3, 5), 0)
        .add ("images/logo.jpg", jpeg (20, 4))
        .add ("images/photo.jpeg", jpeg (7, 7))
        .add ("vector/folder.svg", text (svgSquare))
        .add ("fonts/Test Sans.bin", typefaceData ("Test Sans"))
        .add ("layout/main.xml", text ("<window width=\"640\"/>"))
        .add ("notes.txt", text ("ignored"))
        .add ("images/readme", text ("ignored"))
        .loadInto (repository);

    const auto counts = repository.getCounts();
    EXPECT_EQ (counts.images, 4);
    EXPECT_EQ (counts.drawables, 1);
    EXPECT_EQ (counts.typefaces, 1);
    EXPECT_EQ (counts.xml, 1);
    EXPECT_EQ (counts.points + counts.rectangles + counts.objects, 0);

    EXPECT_EQ (repository.getImage ("play-norm").getBounds(), juce::Rectangle<int> (28, 28));
    EXPECT_EQ (repository.getImage ("/images/play-norm"), repository.getImage ("play-norm"));
    EXPECT_EQ (repository.getImage ("stored").getBounds(), juce::Rectangle<int> (3, 5));
    EXPECT_EQ (repository.getImage ("logo").getBounds(), juce::Rectangle<int> (20, 4));
    EXPECT_EQ (repository.getImage ("photo").getBounds(), juce::Rectangle<int> (7, 7));

    EXPECT_NE (repository.getDrawable ("/vector/folder"), nullptr);
    EXPECT_EQ (repository.getDrawable ("folder"), nullptr) << "drawables take full keys only";
    EXPECT_EQ (repository.getDrawable ("vector/folder"), nullptr);

    const auto typeface = repository.getTypeface ("Test Sans");
    ASSERT_NE (typeface, nullptr);
    EXPECT_EQ (typeface, repository.getTypeface ("/fonts/Test Sans"));
    EXPECT_EQ (typeface->getName(), "Test Sans");
    EXPECT_NEAR (juce::Font (typeface).withHeight (10.0f).getStringWidthFloat ("A A"), 15.0f, 0.01f);

    ASSERT_NE (repository.getXml ("/layout/main"), nullptr);
    EXPECT_EQ (repository.getXml ("/layout/main")->getIntAttribute ("width"), 640);

    EXPECT_FALSE (repository.getImage ("missing").isValid());
    EXPECT_EQ (repository.getTypeface ("missing"), nullptr);
    EXPECT_EQ (repository.getXml ("/missing"), nullptr);
}

TEST (StuffRepositoryArchive, SuffixesIgnoreCaseButKeysAndTheFontFolderDoNot)
{
    qo::StuffRepository repository;
    ZipMaker()
        .add ("Images/Logo.JPG", jpeg (12, 6))
        .add ("images/Shot.PNG", png (2, 2))
        .add ("vector/Upper.SVG", text (svgSquare))
        .add ("layout/Window.XML", text ("<window/>"))
        .add ("Fonts/x.bin", typefaceData ("Wrong Folder"))
        .add ("fonts/y.BIN", typefaceData ("Upper Suffix"))
        .loadInto (repository);

    EXPECT_EQ (repository.getImage ("/Images/Logo").getBounds(), juce::Rectangle<int> (12, 6));
    EXPECT_FALSE (repository.getImage ("Logo").isValid()) << "the name is looked up under /images/, not /Images/";
    EXPECT_FALSE (repository.getImage ("/images/Logo").isValid());
    EXPECT_FALSE (repository.getImage ("/Images/logo").isValid());

    EXPECT_TRUE (repository.getImage ("Shot").isValid());
    EXPECT_NE (repository.getDrawable ("/vector/Upper"), nullptr);
    EXPECT_NE (repository.getXml ("/layout/Window"), nullptr);

    EXPECT_EQ (repository.getTypeface ("/Fonts/x"), nullptr);
    EXPECT_NE (repository.getTypeface ("y"), nullptr);
    EXPECT_EQ (repository.getCounts().typefaces, 1);
}

TEST (StuffRepositoryArchive, PointFilesFillTheKeySpaceOfTheirFolder)
{
    qo::StuffRepository repository;
    ZipMaker()
        .add ("points.txt", text ("# layout of the main window\n"
                                  "\n"
                                  "playButton: 10, 20\n"
                                  "   \t  \n"
                                  "  # only a comment\n"
                                  "  spaced name :  -3 ,  7px   # trailing comment\r\n"
                                  "onlyX: 5\n"
                                  "letters: abc, 12\n"
                                  "huge: 99999999999, -99999999999\n"
                                  "nocolon\n"))
        .add ("skin/points.txt", text ("playButton: 1, 2"))
        .add ("layout/POINTS.TXT", text ("upper: 4, 4"))
        .add ("mypoints.txt", text ("notAPointFile: 9, 9"))
        .loadInto (repository);

    EXPECT_EQ (repository.getPoint ("/playButton"), juce::Point<int> (10, 20));
    EXPECT_EQ (repository.getPoint ("/spaced name"), juce::Point<int> (-3, 7));
    EXPECT_EQ (repository.getPoint ("/onlyX"), juce::Point<int> (5, 0));
    EXPECT_EQ (repository.getPoint ("/letters"), juce::Point<int> (0, 12));
    EXPECT_EQ (repository.getPoint ("/huge"), juce::Point<int> (std::numeric_limits<int>::max(), std::numeric_limits<int>::min()));
    EXPECT_EQ (repository.getPoint ("/nocolon"), juce::Point<int> (0, 0));
    EXPECT_EQ (repository.getPoint ("/skin/playButton"), juce::Point<int> (1, 2));
    EXPECT_EQ (repository.getPoint ("/layout/upper"), juce::Point<int> (4, 4));

    // six lines of the root file, one in each of the other two; comments, blanks and mypoints.txt add nothing
    EXPECT_EQ (repository.getCounts().points, 8);
    EXPECT_EQ (repository.getPoint ("/notAPointFile"), juce::Point<int>());
}

TEST (StuffRepositoryArchive, RectangleFilesTreatMissingValuesAsZero)
{
    qo::StuffRepository repository;
    ZipMaker()
        .add ("rectangles.txt", text ("panel: 0, 0, 200, 45\n"
                                      "a:5\n"
                                      "# comment: 1, 2, 3, 4\n"
                                      "\n"
                                      "gaps: 1,,3\n"
                                      "extra: 1, 2, 3, 4, 5, 6\n"
                                      "negative: -10, -20, 30, 40 # offscreen\n"))
        .add ("skin/rectangles.txt", text ("panel: 1, 1, 2, 2"))
        .loadInto (repository);

    EXPECT_EQ (repository.getRectangle ("/panel"), juce::Rectangle<int> (0, 0, 200, 45));
    EXPECT_EQ (repository.getRectangle ("/a"), juce::Rectangle<int> (5, 0, 0, 0));
    EXPECT_EQ (repository.getRectangle ("/gaps"), juce::Rectangle<int> (1, 0, 3, 0));
    EXPECT_EQ (repository.getRectangle ("/extra"), juce::Rectangle<int> (1, 2, 3, 4));
    EXPECT_EQ (repository.getRectangle ("/negative"), juce::Rectangle<int> (-10, -20, 30, 40));
    EXPECT_EQ (repository.getRectangle ("/skin/panel"), juce::Rectangle<int> (1, 1, 2, 2));
    EXPECT_EQ (repository.getCounts().rectangles, 6);
    EXPECT_EQ (repository.getCounts().points, 0);
}

TEST (StuffRepositoryArchive, DamagedEntriesAreSkippedAndTheRestStillLoads)
{
    juce::MemoryBlock truncatedPng = png (16, 16);
    truncatedPng.setSize (truncatedPng.getSize() / 2);

    juce::MemoryBlock brokenJpeg = jpeg (16, 16);
    brokenJpeg.setSize (40);

    qo::StuffRepository repository;
    ZipMaker()
        .add ("images/noise.png", text ("definitely not a picture"))
        .add ("images/truncated.png", truncatedPng)
        .add ("images/noise.jpg", text ("definitely not a picture either"))
        .add ("images/broken.jpg", brokenJpeg)
        .add ("images/png-named.jpg", png (4, 4))
        .add ("vector/noise.svg", text ("plain words, not a drawing"))
        .add ("layout/noise.xml", text ("plain words, not a document"))
        .add ("fonts/noise.bin", text ("not compressed"))
        .add ("fonts/liar.bin", typefaceClaimingGlyphs (2000000000))
        .add ("images/good.png", png (2, 3))
        .loadInto (repository);

    const auto counts = repository.getCounts();
    EXPECT_EQ (counts.images, 1);
    EXPECT_EQ (counts.drawables, 0);
    EXPECT_EQ (counts.xml, 0);
    EXPECT_EQ (counts.typefaces, 0);
    EXPECT_EQ (repository.getImage ("good").getBounds(), juce::Rectangle<int> (2, 3));
}

TEST (StuffRepositoryArchive, ALaterEntryWithTheSameKeyReplacesTheEarlierOne)
{
    qo::StuffRepository repository;
    ZipMaker()
        .add ("images/logo.png", png (10, 10))
        .add ("images/logo.jpg", jpeg (30, 3))
        .loadInto (repository);

    EXPECT_EQ (repository.getCounts().images, 1);
    EXPECT_EQ (repository.getImage ("logo").getBounds(), juce::Rectangle<int> (30, 3));
}

TEST (StuffRepositoryRegistrations, ReplacingADrawableDeletesTheOldOne)
{
    qo::StuffRepository repository;

    auto first = std::make_unique<juce::DrawablePath>();
    juce::Component::SafePointer<juce::Component> firstWatch (first.get());
    repository.setDrawable ("/vector/clear-search", std::move (first));

    auto second = std::make_unique<juce::DrawablePath>();
    auto* secondPointer = second.get();
    juce::Component::SafePointer<juce::Component> secondWatch (second.get());
    repository.setDrawable ("/vector/clear-search", std::move (second));

    EXPECT_EQ (firstWatch.getComponent(), nullptr);
    EXPECT_EQ (repository.getDrawable ("/vector/clear-search"), secondPointer);
    EXPECT_EQ (repository.getCounts().drawables, 1);

    repository.setDrawable ("/vector/clear-search", nullptr);
    EXPECT_EQ (secondWatch.getComponent(), nullptr);
    EXPECT_EQ (repository.getDrawable ("/vector/clear-search"), nullptr);
    EXPECT_EQ (repository.getCounts().drawables, 0);
}

TEST (StuffRepositoryRegistrations, ObjectsAreTypeCheckedAndOwned)
{
    bool firstDeleted = false, secondDeleted = false;
    juce::Component::SafePointer<juce::Component> drawableWatch;

    {
        qo::StuffRepository repository;
        repository.setObject ("/custom", std::make_unique<DestructionFlag> (firstDeleted));
        repository.setObject ("/custom", std::make_unique<DestructionFlag> (secondDeleted));
        EXPECT_TRUE (firstDeleted);
        EXPECT_FALSE (secondDeleted);

        EXPECT_NE (repository.getObject<DestructionFlag> ("/custom"), nullptr);
        EXPECT_TRUE (&repository.getObject<DestructionFlag> ("/custom")->flag == &secondDeleted);
        EXPECT_EQ (repository.getObject<OtherObject> ("/custom"), nullptr);
        EXPECT_EQ (repository.getObject<DestructionFlag> ("/searchEditor"), nullptr);

        repository.setObject ("/searchEditor", std::make_unique<juce::LookAndFeel_V4>());
        EXPECT_NE (repository.getObject<juce::LookAndFeel_V4> ("/searchEditor"), nullptr);
        EXPECT_EQ (repository.getObject<juce::LookAndFeel_V2> ("/searchEditor"), nullptr)
            << "objects come back only as the type they were registered with";
        EXPECT_EQ (repository.getCounts().objects, 2);

        auto drawable = std::make_unique<juce::DrawablePath>();
        drawableWatch = drawable.get();
        repository.setDrawable ("/vector/x", std::move (drawable));
    }

    EXPECT_TRUE (secondDeleted);
    EXPECT_EQ (drawableWatch.getComponent(), nullptr);
}
