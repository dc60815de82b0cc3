#include "tests/kit/SkinManifest.h"

#include <gtest/gtest.h>

#include <set>

namespace
{
/** A typeface read from the same bytes that notes every character it had to look for elsewhere. */
struct GlyphProbe final : juce::CustomTypeface
{
    using juce::CustomTypeface::CustomTypeface;

    bool loadGlyphIfPossible (juce::juce_wchar character) override
    {
        missing.insert (character);
        return false;
    }

    std::set<juce::juce_wchar> missing;
};

std::unique_ptr<GlyphProbe> probeTypeface (const juce::String& entryName)
{
    juce::MemoryInputStream in (SkinArchive::getData(), SkinArchive::getSize(), false);
    juce::ZipFile zip (in);
    const auto index = zip.getIndexOfFileName (entryName);

    if (index < 0)
        return nullptr;

    const std::unique_ptr<juce::InputStream> stream (zip.createStreamForEntry (index));
    return stream != nullptr ? std::make_unique<GlyphProbe> (*stream) : nullptr;
}

juce::String allPrintableAscii()
{
    juce::String text;

    for (juce::juce_wchar c = 32; c < 127; ++c)
        text += juce::String::charToString (c);

    return text;
}

class EmbeddedSkin : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        repository = new qo::StuffRepository();
        SkinManifest::loadEmbeddedSkin (*repository);
    }

    static void TearDownTestSuite()
    {
        delete repository;
        repository = nullptr;
    }

    static qo::StuffRepository* repository;
};

qo::StuffRepository* EmbeddedSkin::repository = nullptr;
} // namespace

TEST_F (EmbeddedSkin, ArchiveHoldsExactlyTheListedEntries)
{
    juce::MemoryInputStream in (SkinArchive::getData(), SkinArchive::getSize(), false);
    juce::ZipFile zip (in);

    std::set<juce::String> expected { "images/", "vector/", "fonts/", "images/.DS_Store" };

    for (const auto& picture : SkinManifest::pictures())
        expected.insert ("images/" + juce::String (picture.name) + (juce::String (picture.name) == "logo" ? ".jpg" : ".png"));

    for (const auto& drawing : SkinManifest::drawings())
        expected.insert ("vector/" + juce::String (drawing.name) + ".svg");

    for (const auto& typeface : SkinManifest::typefaces())
        expected.insert ("fonts/" + typeface + ".bin");

    std::set<juce::String> actual;

    for (int i = 0; i < zip.getNumEntries(); ++i)
        actual.insert (zip.getEntry (i)->filename);

    EXPECT_EQ (actual, expected);
    EXPECT_EQ (zip.getNumEntries(), (int) expected.size()) << "no entry is stored twice";
}

TEST_F (EmbeddedSkin, EveryPictureIsThereAtItsSize)
{
    EXPECT_EQ (repository->getCounts().images, (int) SkinManifest::pictures().size());

    for (const auto& picture : SkinManifest::pictures())
    {
        const auto image = repository->getImage (picture.name);
        ASSERT_TRUE (image.isValid()) << picture.name;
        EXPECT_EQ (image.getWidth(), picture.width) << picture.name;
        EXPECT_EQ (image.getHeight(), picture.height) << picture.name;
    }

    EXPECT_FALSE (repository->getImage ("logo").hasAlphaChannel()) << "the logo is the JPEG";
    EXPECT_TRUE (repository->getImage ("play-norm").hasAlphaChannel());
}

TEST_F (EmbeddedSkin, EveryDrawingIsThereAndStaysOnItsCanvas)
{
    EXPECT_EQ (repository->getCounts().drawables, (int) SkinManifest::drawings().size());

    for (const auto& drawing : SkinManifest::drawings())
    {
        auto* composite = dynamic_cast<juce::DrawableComposite*> (repository->getDrawable ("/vector/" + juce::String (drawing.name)));
        ASSERT_NE (composite, nullptr) << drawing.name;

        const juce::Rectangle<float> canvas (0.0f, 0.0f, (float) drawing.width, (float) drawing.height);
        EXPECT_EQ (composite->getContentArea(), canvas) << drawing.name;

        const auto bounds = composite->getDrawableBounds();
        EXPECT_FALSE (bounds.isEmpty()) << drawing.name;
        EXPECT_TRUE (canvas.expanded (0.01f).contains (bounds)) << drawing.name << " reaches " << bounds.toString();
    }
}

TEST_F (EmbeddedSkin, TypefacesCarryTheirNamesAndEveryPrintableAsciiCharacter)
{
    EXPECT_EQ (repository->getCounts().typefaces, 2);
    EXPECT_EQ (repository->getCounts().xml + repository->getCounts().points + repository->getCounts().rectangles, 0);

    for (const auto& name : SkinManifest::typefaces())
    {
        const auto typeface = repository->getTypeface (name);
        ASSERT_NE (typeface, nullptr) << name;
        EXPECT_EQ (typeface->getName(), "Lucida Grande");
        EXPECT_EQ (typeface->getStyle(), name.fromLastOccurrenceOf (" ", false, false));

        const auto probe = probeTypeface ("fonts/" + name + ".bin");
        ASSERT_NE (probe, nullptr) << name;

        juce::Array<int> glyphs;
        juce::Array<float> offsets;
        probe->getGlyphPositions (allPrintableAscii() + juce::String (juce::CharPointer_UTF8 ("àèéìòùÀÈ€…–“”")), glyphs, offsets);
        EXPECT_TRUE (probe->missing.empty()) << name << " lacks " << probe->missing.size() << " characters, first U+"
                                             << juce::String::toHexString ((int) *probe->missing.begin());
    }
}

TEST_F (EmbeddedSkin, TypefacesMeasureLikeTheFontsTheyWereMadeFrom)
{
    const auto measure = [] (juce::Typeface::Ptr typeface)
    {
        return juce::Font (typeface).withHeight (13.0f).getStringWidthFloat ("Download available chapters");
    };

    const auto regular = measure (repository->getTypeface ("Lucida Grande Regular"));
    const auto bold = measure (repository->getTypeface ("Lucida Grande Bold"));
    EXPECT_GT (bold, regular * 1.05f);

    const juce::File dejaVu ("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");

    if (! dejaVu.existsAsFile())
        GTEST_SKIP() << "DejaVu Sans is not installed";

    juce::MemoryBlock data;
    ASSERT_TRUE (dejaVu.loadFileAsData (data));
    const auto original = measure (juce::Typeface::createSystemTypefaceFor (data.getData(), data.getSize()));
    EXPECT_NEAR (regular, original, original * 0.01f);
}
