#include "kit/CodeDrawnIcons.h"
#include "tests/kit/SkinManifest.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>

namespace
{
const juce::Colour barGrey { 0xffb2b2b2 }; // the bottom bar under the media buttons
const juce::Colour titleGrey { 0xffd0d0d0 }; // the title bar under its buttons
const juce::Colour panelBlue { 0xffe6e9ec }; // panels and the tree

bool isBlank (const juce::Image& image)
{
    const juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readOnly);
    const auto first = pixels.getPixelColour (0, 0);

    for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x)
            if (pixels.getPixelColour (x, y) != first)
                return false;

    return true;
}

/** The area of the pixels that are more than faintly visible. */
juce::Rectangle<int> inkBounds (const juce::Image& image)
{
    const juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readOnly);
    juce::Rectangle<int> bounds;

    for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x)
            if (pixels.getPixelColour (x, y).getAlpha() > 64)
                bounds = bounds.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1) : bounds.getUnion ({ x, y, 1, 1 });

    return bounds;
}

juce::Image render (juce::Drawable& drawable, juce::Rectangle<int> size, bool fitToSize)
{
    juce::Image image (juce::Image::ARGB, size.getWidth(), size.getHeight(), true);
    juce::Graphics g (image);

    if (fitToSize)
        drawable.drawWithin (g, size.toFloat(), juce::RectanglePlacement::centred, 1.0f);
    else
        drawable.draw (g, 1.0f);

    return image;
}

juce::Image enlarged (const juce::Image& image, int factor)
{
    juce::Image result (juce::Image::ARGB, image.getWidth() * factor, image.getHeight() * factor, true);
    juce::Graphics g (result);
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
    g.drawImage (image, result.getBounds().toFloat());
    return result;
}

/** A grid of labelled samples, each drawn on the colour it meets in the program. */
class ContactSheet
{
public:
    void startSection (const juce::String& title) { items.push_back ({ title, {}, {}, true }); }

    /** Adds one sample: its pictures side by side, at the sizes given. */
    void add (const juce::String& label, juce::Colour background, std::vector<juce::Image> pictures)
    {
        items.push_back ({ label, background, std::move (pictures), false });
    }

    juce::Image paint (const juce::Font& font) const
    {
        const auto layout = arrange (font);
        juce::Image sheet (juce::Image::RGB, width, layout.height, true);
        juce::Graphics g (sheet);
        g.fillAll (juce::Colours::white);
        g.setFont (font);

        for (size_t i = 0; i < items.size(); ++i)
        {
            const auto& item = items[i];
            const auto area = layout.areas[i];
            g.setColour (juce::Colour (0xff121212));

            if (item.isTitle)
            {
                g.setFont (font.boldened().withHeight (15.0f));
                g.drawText (item.label, area, juce::Justification::bottomLeft);
                g.setFont (font);
                continue;
            }

            g.drawText (item.label, area.withTop (area.getBottom() - labelHeight), juce::Justification::centredLeft);

            auto art = area.withHeight (area.getHeight() - labelHeight);
            g.setColour (item.background);
            g.fillRect (art);

            auto x = art.getX() + padding;

            for (const auto& picture : item.pictures)
            {
                g.drawImageAt (picture, x, art.getCentreY() - picture.getHeight() / 2);
                x += picture.getWidth() + padding;
            }
        }

        return sheet;
    }

private:
    struct Item
    {
        juce::String label;
        juce::Colour background;
        std::vector<juce::Image> pictures;
        bool isTitle;
    };

    struct Layout
    {
        std::vector<juce::Rectangle<int>> areas;
        int height = 0;
    };

    Layout arrange (const juce::Font& font) const
    {
        Layout layout;
        int x = margin, y = margin, rowHeight = 0;

        for (const auto& item : items)
        {
            if (item.isTitle)
            {
                y += rowHeight + (rowHeight > 0 ? gap : 0);
                layout.areas.push_back ({ margin, y, width - 2 * margin, 26 });
                y += 30;
                x = margin;
                rowHeight = 0;
                continue;
            }

            int artWidth = padding, artHeight = 0;

            for (const auto& picture : item.pictures)
            {
                artWidth += picture.getWidth() + padding;
                artHeight = juce::jmax (artHeight, picture.getHeight());
            }

            const auto cellWidth = juce::jmax (artWidth, (int) std::ceil (font.getStringWidthFloat (item.label)) + 2);
            const auto cellHeight = artHeight + 2 * padding + labelHeight;

            if (x + cellWidth > width - margin)
            {
                x = margin;
                y += rowHeight + gap;
                rowHeight = 0;
            }

            layout.areas.push_back ({ x, y, cellWidth, cellHeight });
            x += cellWidth + gap;
            rowHeight = juce::jmax (rowHeight, cellHeight);
        }

        layout.height = y + rowHeight + margin;
        return layout;
    }

    static constexpr int width = 1100, margin = 16, gap = 12, padding = 6, labelHeight = 16;
    std::vector<Item> items;
};

struct DrawnIcon
{
    const char* name;
    std::function<std::unique_ptr<juce::Drawable>()> create;
    int buttonSize; // the size of the area the program draws it in
    juce::Colour background; // what it is drawn over
};

const std::vector<DrawnIcon>& drawnIcons()
{
    static const std::vector<DrawnIcon> icons {
        { "clear-search", CodeDrawnIcons::createClearSearch, 16, juce::Colours::white },
        { "cover-icon", CodeDrawnIcons::createCoverIcon, 14, juce::Colours::white },
        { "credits-icon", CodeDrawnIcons::createCreditsIcon, 14, juce::Colours::white },
        { "partners-icon", CodeDrawnIcons::createPartnersIcon, 14, juce::Colours::white },
        { "min-volume", CodeDrawnIcons::createMinVolume, 17, barGrey },
        { "max-volume", CodeDrawnIcons::createMaxVolume, 17, barGrey },
    };
    return icons;
}

juce::Colour backgroundOfPicture (const juce::String& name, const juce::Image& picture)
{
    if (name.startsWith ("mac-"))
        return titleGrey;

    return picture.getWidth() == 28 ? barGrey : panelBlue;
}

class SkinContactSheet : public ::testing::Test
{
protected:
    void SetUp() override { SkinManifest::loadEmbeddedSkin (repository); }

    qo::StuffRepository repository;
};
} // namespace

TEST_F (SkinContactSheet, EverySkinPictureAndDrawingRendersVisiblyAtItsSize)
{
    ContactSheet sheet;

    sheet.startSection ("Pictures: actual size and enlarged");

    for (const auto& entry : SkinManifest::pictures())
    {
        const auto picture = repository.getImage (entry.name);
        ASSERT_TRUE (picture.isValid()) << entry.name;
        EXPECT_EQ (picture.getBounds(), juce::Rectangle<int> (entry.width, entry.height)) << entry.name;
        EXPECT_FALSE (isBlank (picture)) << entry.name << " shows nothing";

        const auto zoom = picture.getWidth() > 100 ? 2 : (picture.getWidth() > 20 ? 3 : 4);
        sheet.add (entry.name, backgroundOfPicture (entry.name, picture), { picture, enlarged (picture, zoom) });
    }

    sheet.startSection ("Drawings: canvas size, and 13 pixels as in the tree");

    for (const auto& entry : SkinManifest::drawings())
    {
        auto* drawable = repository.getDrawable ("/vector/" + juce::String (entry.name));
        ASSERT_NE (drawable, nullptr) << entry.name;

        const auto full = render (*drawable, { entry.width, entry.height }, false);
        EXPECT_FALSE (isBlank (full)) << entry.name << " shows nothing";

        const auto small = render (*drawable, { 13, 13 }, true);
        EXPECT_FALSE (isBlank (small)) << entry.name << " shows nothing at 13 pixels";

        sheet.add (entry.name, panelBlue, { full, small, enlarged (small, 3) });
    }

    sheet.startSection ("Drawn in code: canvas size, enlarged, and at the size of their buttons");

    for (const auto& icon : drawnIcons())
    {
        const auto drawable = icon.create();
        ASSERT_NE (drawable, nullptr) << icon.name;
        EXPECT_EQ (drawable->getDrawableBounds(), juce::Rectangle<float> (CodeDrawnIcons::canvasSize, CodeDrawnIcons::canvasSize))
            << icon.name << " must keep the shared canvas";

        const auto full = render (*drawable, { 24, 24 }, true);
        const auto large = render (*drawable, { 72, 72 }, true);
        const auto button = render (*drawable, { icon.buttonSize, icon.buttonSize }, true);

        for (const auto& image : { full, large, button })
            EXPECT_FALSE (isBlank (image)) << icon.name << " shows nothing at " << image.getWidth() << " pixels";

        sheet.add (icon.name, icon.background, { full, large, button, enlarged (button, 3) });
    }

    sheet.startSection ("Typefaces");
    {
        const auto regular = repository.getTypeface ("Lucida Grande Regular");
        const auto bold = repository.getTypeface ("Lucida Grande Bold");
        ASSERT_NE (regular, nullptr);
        ASSERT_NE (bold, nullptr);

        juce::Image sample (juce::Image::ARGB, 760, 64, true);
        juce::Graphics g (sample);
        g.setColour (juce::Colour (0xff121212));
        g.setFont (juce::Font (regular).withHeight (13.0f));
        g.drawText (juce::CharPointer_UTF8 ("Lucida Grande Regular 13: The quick brown fox jumps over the lazy dog 0123456789 (àèéìòù …)"), 4, 4, 752, 18, juce::Justification::centredLeft);
        g.setFont (juce::Font (bold).withHeight (13.0f));
        g.drawText ("Lucida Grande Bold 13: Download available chapters - Clear completed - 00:12:34", 4, 24, 752, 18, juce::Justification::centredLeft);
        g.setFont (juce::Font (bold).withHeight (12.5f));
        g.drawText ("Bold 12.5 as on buttons: Delete file and create folder", 4, 44, 752, 18, juce::Justification::centredLeft);
        sheet.add ("typeface samples", panelBlue, { sample });
    }

    const auto output = juce::File (TSY_UI_TEST_OUTPUT_DIR).getChildFile ("skin-contact-sheet.png");
    output.deleteFile();

    {
        juce::FileOutputStream out (output);
        ASSERT_TRUE (out.openedOk()) << output.getFullPathName();
        juce::PNGImageFormat png;
        ASSERT_TRUE (png.writeImageToStream (sheet.paint (juce::Font (repository.getTypeface ("Lucida Grande Regular")).withHeight (12.0f)), out));
    }

    std::cout << "[ contact sheet ] " << output.getFullPathName() << std::endl;
}

TEST_F (SkinContactSheet, TheQuietSpeakerIsDrawnSmallerThanTheLoudOne)
{
    const auto quiet = render (*CodeDrawnIcons::createMinVolume(), { 17, 17 }, true);
    const auto loud = render (*CodeDrawnIcons::createMaxVolume(), { 17, 17 }, true);

    const auto quietInk = inkBounds (quiet);
    const auto loudInk = inkBounds (loud);
    EXPECT_LT (quietInk.getHeight(), loudInk.getHeight());
    EXPECT_LT (quietInk.getWidth(), loudInk.getWidth());
    EXPECT_NEAR (quietInk.getCentreY(), 8, 1) << "the small speaker sits in the middle of its button";
}

TEST_F (SkinContactSheet, PressedPicturesDifferVisiblyFromTheirRestingTwins)
{
    for (const auto& entry : SkinManifest::pictures())
    {
        const juce::String name (entry.name);

        if (! name.endsWith ("-norm"))
            continue;

        const auto resting = repository.getImage (name);
        const auto pressed = repository.getImage (name.replace ("-norm", "-down"));
        ASSERT_TRUE (pressed.isValid()) << name;

        // the mean brightness of the button must drop noticeably when pressed
        const auto brightness = [] (const juce::Image& image)
        {
            const juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readOnly);
            double sum = 0, weight = 0;

            for (int y = 0; y < pixels.height; ++y)
                for (int x = 0; x < pixels.width; ++x)
                {
                    const auto colour = pixels.getPixelColour (x, y);
                    sum += colour.getBrightness() * colour.getFloatAlpha();
                    weight += colour.getFloatAlpha();
                }

            return sum / weight;
        };

        EXPECT_GT (brightness (resting) - brightness (pressed), 0.08) << name;
    }
}
