#include "app/SharedRes.h"
#include "kit/CustomLookAndFeel2.h"
#include "kit/SearchTextEditorLookAndFeel.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iostream>
#include <limits>

namespace
{
using juce::Colour;

const Colour tickOnColour { 0xffff0000 };
const Colour tickOffColour { 0xff0000ff };

/** A drawable that is one flat colour over its whole (width x height) box. */
std::unique_ptr<juce::Drawable> flatDrawable (Colour colour, float width = 10.0f, float height = 10.0f)
{
    auto drawable = std::make_unique<juce::DrawableRectangle>();
    drawable->setRectangle (juce::Parallelogram<float> (juce::Rectangle<float> (width, height)));
    drawable->setFill (colour);
    drawable->setStrokeThickness (0.0f);
    return drawable;
}

juce::Image transparentImage (int width, int height)
{
    return { juce::Image::ARGB, width, height, true };
}

juce::Image paintedImage (int width, int height, const std::function<void (juce::Graphics&)>& painter)
{
    auto image = transparentImage (width, height);
    juce::Graphics g (image);
    painter (g);
    return image;
}

/** Close enough to count as the same colour after anti-aliasing and gradient rounding. */
bool near (Colour actual, Colour expected, int tolerance = 3)
{
    return std::abs (actual.getRed() - expected.getRed()) <= tolerance
           && std::abs (actual.getGreen() - expected.getGreen()) <= tolerance
           && std::abs (actual.getBlue() - expected.getBlue()) <= tolerance
           && std::abs (actual.getAlpha() - expected.getAlpha()) <= tolerance;
}

std::string describe (Colour c)
{
    return c.toDisplayString (true).toStdString();
}

/** The area of the pixels for which the test holds, searched within the given area. */
juce::Rectangle<int> boundsWhere (const juce::Image& image,
                                  const std::function<bool (Colour)>& test,
                                  juce::Rectangle<int> area = { 0, 0, 1 << 20, 1 << 20 })
{
    area = area.getIntersection (image.getBounds());
    juce::Rectangle<int> bounds;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (test (image.getPixelAt (x, y)))
                bounds = bounds.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1) : bounds.getUnion ({ x, y, 1, 1 });

    return bounds;
}

bool allPixels (const juce::Image& image, const std::function<bool (Colour)>& test)
{
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (! test (image.getPixelAt (x, y)))
                return false;

    return true;
}

/** A window like the main one: no border, so the title bar starts at the top edge. */
class BorderlessWindow final : public juce::DocumentWindow
{
public:
    BorderlessWindow (const juce::String& title, int buttons)
        : DocumentWindow (title, juce::Colours::black, buttons, false)
    {
    }

    juce::BorderSize<int> getBorderThickness() override { return {}; }
};

/** The look and feel with flat red (on) and blue (off) tick pictures and the skin's colours. */
class LookAndFeelTest : public ::testing::Test
{
protected:
    LookAndFeelTest() { lookAndFeel.applySkinColours(); }

    std::unique_ptr<juce::Drawable> tickOff = flatDrawable (tickOffColour);
    std::unique_ptr<juce::Drawable> tickOn = flatDrawable (tickOnColour);
    CustomLookAndFeel2 lookAndFeel { tickOff.get(), tickOn.get() };
};
} // namespace

//==============================================================================
TEST (LookAndFeelGeometry, ProgressFillWidth)
{
    EXPECT_EQ (CustomLookAndFeel2::progressFillWidth (0.0, 102), 0.0f);
    EXPECT_EQ (CustomLookAndFeel2::progressFillWidth (0.5, 102), 50.0f);
    EXPECT_EQ (CustomLookAndFeel2::progressFillWidth (1.0, 102), 100.0f);
    EXPECT_EQ (CustomLookAndFeel2::progressFillWidth (0.25, 1), 0.0f);

    // Outside 0..1 there is no bar at all, not a clamped one.
    EXPECT_FALSE (CustomLookAndFeel2::progressFillWidth (-0.01, 102).has_value());
    EXPECT_FALSE (CustomLookAndFeel2::progressFillWidth (1.01, 102).has_value());
    EXPECT_FALSE (CustomLookAndFeel2::progressFillWidth (-1.0, 102).has_value());
    EXPECT_FALSE (CustomLookAndFeel2::progressFillWidth (std::numeric_limits<double>::quiet_NaN(), 102).has_value());
}

TEST (LookAndFeelGeometry, ProgressTextContrastsWithBothBarColours)
{
    const auto check = [] (Colour background, Colour foreground)
    {
        const auto text = CustomLookAndFeel2::progressTextColour (background, foreground);
        EXPECT_GT (std::abs (text.getPerceivedBrightness() - background.getPerceivedBrightness()), 0.4f) << describe (text);
        EXPECT_GT (std::abs (text.getPerceivedBrightness() - foreground.getPerceivedBrightness()), 0.4f) << describe (text);
    };

    check (Colour (0xffb9c3ce), Colour (0xffffcd9b)); // the skin's own pair
    check (Colour (0xff202020), Colour (0xff303848));
}

TEST (LookAndFeelGeometry, ToggleTickSideAndFallbackFont)
{
    EXPECT_EQ (CustomLookAndFeel2::toggleTickSide (24), 18);
    EXPECT_EQ (CustomLookAndFeel2::toggleTickSide (26), 20);
    EXPECT_EQ (CustomLookAndFeel2::toggleTickSide (40), 20);
    EXPECT_EQ (CustomLookAndFeel2::toggleTickSide (4), 0);

    EXPECT_FLOAT_EQ (CustomLookAndFeel2::toggleFallbackFontHeight (16), 12.0f);
    EXPECT_FLOAT_EQ (CustomLookAndFeel2::toggleFallbackFontHeight (40), 15.0f);
}

TEST (LookAndFeelGeometry, TreeMarkTriangle)
{
    const juce::Rectangle<float> box (10.0f, 20.0f, 16.0f, 24.0f);
    const juce::Point<float> centre (18.0f, 32.0f);

    for (const auto isOpen : { false, true })
    {
        const auto corners = CustomLookAndFeel2::treeMarkTriangle (box, isOpen);

        // Circumradius a quarter of the smaller side (16), centred, equilateral.
        for (const auto& corner : corners)
            EXPECT_NEAR (corner.getDistanceFrom (centre), 4.0f, 1.0e-4f);

        const auto side = 4.0f * std::sqrt (3.0f);
        EXPECT_NEAR (corners[0].getDistanceFrom (corners[1]), side, 1.0e-4f);
        EXPECT_NEAR (corners[1].getDistanceFrom (corners[2]), side, 1.0e-4f);
    }

    const auto closed = CustomLookAndFeel2::treeMarkTriangle (box, false);
    EXPECT_NEAR (closed[0].x, 22.0f, 1.0e-4f);
    EXPECT_NEAR (closed[0].y, 32.0f, 1.0e-4f);

    const auto open = CustomLookAndFeel2::treeMarkTriangle (box, true);
    EXPECT_NEAR (open[0].x, 18.0f, 1.0e-4f);
    EXPECT_NEAR (open[0].y, 36.0f, 1.0e-4f);
}

TEST (LookAndFeelGeometry, PopupMenuItemSize)
{
    // 13 x 1.6 = 20.8, truncated; width = 20 / 2 + text + 2 x (3/5 of 20) + shortcut.
    EXPECT_EQ (CustomLookAndFeel2::popupMenuItemSize (13.0f, 100, 40, false), juce::Point<int> (174, 20));
    EXPECT_EQ (CustomLookAndFeel2::popupMenuItemSize (13.0f, 100, 40, true).y, 10);
    EXPECT_EQ (CustomLookAndFeel2::popupMenuItemSize (17.0f, 0, 0, false), juce::Point<int> (13 + 2 * 16, 27));
}

TEST (LookAndFeelGeometry, TitleTextSpan)
{
    // Left-aligned: from the title space's edge.
    EXPECT_EQ (CustomLookAndFeel2::titleTextSpan (400, 6, 300, 80, 0, true), juce::Range<int> (6, 86));

    // Centred in the whole bar, not in the title space.
    EXPECT_EQ (CustomLookAndFeel2::titleTextSpan (400, 6, 300, 80, 0, false), juce::Range<int> (160, 240));

    // Centring that would run past the title space is pulled back inside it.
    EXPECT_EQ (CustomLookAndFeel2::titleTextSpan (400, 6, 200, 80, 0, false), juce::Range<int> (126, 206));

    // Too long: the span is the whole title space (the text is cut with an ellipsis).
    EXPECT_EQ (CustomLookAndFeel2::titleTextSpan (400, 6, 300, 900, 0, false), juce::Range<int> (6, 306));

    // An icon's width is reserved in front of the text.
    EXPECT_EQ (CustomLookAndFeel2::titleTextSpan (400, 6, 300, 80, 20, true), juce::Range<int> (6, 106));
}

//==============================================================================
TEST_F (LookAndFeelTest, WindowBackgroundGradientAndLines)
{
    BorderlessWindow window ("", 0);
    window.setSize (400, 300);

    const auto image = paintedImage (400, 300, [&] (juce::Graphics& g)
                                     { lookAndFeel.fillResizableWindowBackground (g, 400, 300, {}, window); });

    for (const int x : { 0, 200, 399 })
    {
        // y 0: the top of the gradient under a white line of alpha 0.2.
        EXPECT_TRUE (near (image.getPixelAt (x, 0), Colour (0xffd8d8d8).interpolatedWith (juce::Colours::white, 0.2f), 2)) << describe (image.getPixelAt (x, 0));
        EXPECT_TRUE (near (image.getPixelAt (x, 1), Colour (0xffd8d8d8), 3)) << describe (image.getPixelAt (x, 1));

        EXPECT_EQ (image.getPixelAt (x, 25), Colour (0xff000000));
        EXPECT_EQ (image.getPixelAt (x, 245), Colour (0xff000000));

        // Half way down the gradient, and its constant lower colour beyond 52 pixels.
        EXPECT_TRUE (near (image.getPixelAt (x, 26), Colour (0xffd8d8d8).interpolatedWith (Colour (0xffb2b2b2), 26.5f / 52.0f), 2)) << describe (image.getPixelAt (x, 26));
        EXPECT_TRUE (near (image.getPixelAt (x, 24), Colour (0xffd8d8d8).interpolatedWith (Colour (0xffb2b2b2), 24.5f / 52.0f), 2)) << describe (image.getPixelAt (x, 24));
        EXPECT_TRUE (near (image.getPixelAt (x, 52), Colour (0xffb2b2b2), 1)) << describe (image.getPixelAt (x, 52));

        for (const int y : { 100, 244, 246, 299 })
            EXPECT_EQ (image.getPixelAt (x, y), Colour (0xffb2b2b2)) << "y " << y;
    }
}

TEST_F (LookAndFeelTest, WindowPaintsThroughTheSkin)
{
    // The framework's own window painting reaches the overrides: background, no border, and
    // a title bar without a background of its own.
    BorderlessWindow window ("Lesson one", 0);
    window.setLookAndFeel (&lookAndFeel);
    window.setSize (400, 300);

    const auto image = window.createComponentSnapshot (window.getLocalBounds());
    EXPECT_EQ (image.getPixelAt (10, 25), Colour (0xff000000));
    EXPECT_EQ (image.getPixelAt (10, 245), Colour (0xff000000));
    EXPECT_EQ (image.getPixelAt (0, 150), Colour (0xffb2b2b2));
    EXPECT_EQ (image.getPixelAt (399, 299), Colour (0xffb2b2b2));
    EXPECT_TRUE (near (image.getPixelAt (390, 12), Colour (0xffd8d8d8).interpolatedWith (Colour (0xffb2b2b2), 12.5f / 52.0f), 2));

    const auto titleInk = boundsWhere (image, [] (Colour c)
                                       { return c.getBrightness() < 0.4f; },
                                       { 0, 0, 400, 25 });
    ASSERT_FALSE (titleInk.isEmpty());
    EXPECT_NEAR (titleInk.getCentreX(), 200, 3); // centred by default

    window.setLookAndFeel (nullptr);
}

TEST_F (LookAndFeelTest, TitleTextPlacementAndColour)
{
    BorderlessWindow window ("Lesson one", 0);
    window.setLookAndFeel (&lookAndFeel);

    const auto paintTitle = [&] (bool onLeft)
    {
        return paintedImage (400, 26, [&] (juce::Graphics& g)
                             { lookAndFeel.drawDocumentWindowTitleBar (window, g, 400, 26, 6, 300, nullptr, onLeft); });
    };

    const auto inkOf = [] (const juce::Image& image)
    {
        return boundsWhere (image, [] (Colour c)
                            { return c.getAlpha() > 100; });
    };

    const auto left = paintTitle (true);
    const auto leftInk = inkOf (left);
    ASSERT_FALSE (leftInk.isEmpty());
    EXPECT_GE (leftInk.getX(), 6);
    EXPECT_LE (leftInk.getX(), 8);
    EXPECT_NEAR (leftInk.getCentreY(), 13, 3);

    // No background: everything but the text stays untouched; the text is the title colour.
    EXPECT_TRUE (boundsWhere (left, [] (Colour c)
                              { return c.getAlpha() > 0; },
                              { 0, 0, 400, 3 })
                     .isEmpty());
    EXPECT_TRUE (boundsWhere (left, [] (Colour c)
                              { return c.getAlpha() > 0; },
                              { 320, 0, 80, 26 })
                     .isEmpty());
    Colour darkest (0xffffffff);

    for (int y = 0; y < 26; ++y)
        for (int x = 0; x < 400; ++x)
            if (left.getPixelAt (x, y).getAlpha() == 255 && left.getPixelAt (x, y).getBrightness() < darkest.getBrightness())
                darkest = left.getPixelAt (x, y);

    EXPECT_EQ (darkest, Colour (0xff121212));

    const auto centredInk = inkOf (paintTitle (false));
    EXPECT_NEAR (centredInk.getCentreX(), 200, 3);

    // The font is 0.65 of the title bar's height: its capitals are about half the bar high.
    EXPECT_GE (leftInk.getHeight(), 10);
    EXPECT_LE (leftInk.getHeight(), 19);

    window.setName (juce::String::repeatedString ("long title ", 40));
    const auto longInk = inkOf (paintTitle (false));
    EXPECT_GE (longInk.getX(), 6);
    EXPECT_LE (longInk.getRight(), 306);

    window.setLookAndFeel (nullptr);
}

TEST_F (LookAndFeelTest, TextButtonsAreGlassWithConnectedEdgesAndDisabledAlpha)
{
    juce::TextButton button;
    button.setLookAndFeel (&lookAndFeel);
    button.setSize (80, 24);

    const auto snapshot = [&]
    { return button.createComponentSnapshot (button.getLocalBounds()); };

    const auto enabled = snapshot();
    const auto centreAlpha = enabled.getPixelAt (40, 12).getAlpha();
    EXPECT_GT (centreAlpha, 200);
    EXPECT_EQ (enabled.getPixelAt (0, 0).getAlpha(), 0); // rounded corner
    EXPECT_EQ (enabled.getPixelAt (79, 0).getAlpha(), 0);

    button.setEnabled (false);
    const auto disabled = snapshot();
    EXPECT_NEAR (disabled.getPixelAt (40, 12).getAlpha(), centreAlpha * 0.2, 3.0);

    button.setEnabled (true);
    button.setConnectedEdges (juce::Button::ConnectedOnLeft);
    const auto connected = snapshot();
    EXPECT_GT (connected.getPixelAt (0, 1).getAlpha(), 128); // square on the joined side
    EXPECT_EQ (connected.getPixelAt (79, 0).getAlpha(), 0); // still round on the other

    // Toggled on, the base colour is the "on" grey instead of white.
    button.setConnectedEdges (0);
    button.setToggleState (true, juce::dontSendNotification);
    const auto on = snapshot();
    EXPECT_LT (on.getPixelAt (40, 12).getBrightness(), enabled.getPixelAt (40, 12).getBrightness() - 0.2f);

    button.setLookAndFeel (nullptr);
}

TEST_F (LookAndFeelTest, TickBoxesDrawTheSkinPictures)
{
    juce::ToggleButton owner;

    const auto tickBox = [&] (bool ticked)
    {
        return paintedImage (40, 40, [&] (juce::Graphics& g)
                             { lookAndFeel.drawTickBox (g, owner, 10.0f, 10.0f, 20.0f, 20.0f, ticked, true, false, false); });
    };

    const auto on = tickBox (true);
    EXPECT_EQ (boundsWhere (on, [] (Colour c)
                            { return c.getAlpha() > 0; }),
               juce::Rectangle<int> (11, 11, 18, 18));
    EXPECT_EQ (on.getPixelAt (11, 11), tickOnColour);
    EXPECT_EQ (on.getPixelAt (28, 28), tickOnColour);
    EXPECT_EQ (tickBox (false).getPixelAt (20, 20), tickOffColour);

    // A picture of another shape is scaled to fit and centred.
    const auto wide = flatDrawable (tickOnColour, 20.0f, 10.0f);
    CustomLookAndFeel2 wideLookAndFeel (tickOff.get(), wide.get());
    const auto fitted = paintedImage (40, 40, [&] (juce::Graphics& g)
                                      { wideLookAndFeel.drawTickBox (g, owner, 10.0f, 10.0f, 20.0f, 20.0f, true, true, false, false); });
    EXPECT_EQ (boundsWhere (fitted, [] (Colour c)
                            { return c.getAlpha() > 200; }),
               juce::Rectangle<int> (11, 16, 18, 8));
}

TEST_F (LookAndFeelTest, ToggleButtonLayout)
{
    juce::ToggleButton button ("Show subtitles");
    button.setLookAndFeel (&lookAndFeel);
    button.setSize (160, 30);
    button.setToggleState (true, juce::dontSendNotification);

    const auto isTick = [] (Colour c)
    { return c == tickOnColour; };
    const auto isText = [] (Colour c)
    { return c.getAlpha() > 0 && c.getRed() == c.getBlue(); };

    // A 20 x 20 box at x 4, centred vertically, its picture inset by a pixel.
    const auto enabled = button.createComponentSnapshot (button.getLocalBounds());
    EXPECT_EQ (boundsWhere (enabled, isTick), juce::Rectangle<int> (5, 6, 18, 18));

    const auto text = boundsWhere (enabled, isText);
    ASSERT_FALSE (text.isEmpty());
    EXPECT_GE (text.getX(), 25);
    EXPECT_LE (text.getRight(), 158);
    EXPECT_NEAR (text.getCentreY(), 15, 3);

    const auto strongestText = [&] (const juce::Image& image)
    {
        int alpha = 0;

        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 25; x < image.getWidth(); ++x)
                if (isText (image.getPixelAt (x, y)))
                    alpha = juce::jmax (alpha, (int) image.getPixelAt (x, y).getAlpha());

        return alpha;
    };

    EXPECT_EQ (strongestText (enabled), 255);

    // Disabled: the text at half opacity, the tick box as it was.
    button.setEnabled (false);
    const auto disabled = button.createComponentSnapshot (button.getLocalBounds());
    EXPECT_NEAR (strongestText (disabled), 128, 2);
    EXPECT_EQ (boundsWhere (disabled, isTick), juce::Rectangle<int> (5, 6, 18, 18));

    button.setLookAndFeel (nullptr);
}

TEST_F (LookAndFeelTest, ProgressBarFillExtent)
{
    double value = 0.0;
    juce::ProgressBar bar (value);
    bar.setLookAndFeel (&lookAndFeel);
    const Colour background (0xffb9c3ce);

    const auto paintBar = [&] (double progress, const juce::String& text = {})
    {
        return paintedImage (102, 20, [&] (juce::Graphics& g)
                             { lookAndFeel.drawProgressBar (g, bar, 102, 20, progress, text); });
    };

    // The bar's half-pixel outline at x 1 reaches a quarter into the first column.
    const auto half = paintBar (0.5);
    EXPECT_NE (half.getPixelAt (25, 10), background);
    EXPECT_NE (half.getPixelAt (50, 10), background);
    EXPECT_EQ (half.getPixelAt (52, 10), background);
    EXPECT_EQ (half.getPixelAt (90, 10), background);

    EXPECT_NE (paintBar (1.0).getPixelAt (100, 10), background);

    // Out of range: the bare background, no bar and no animation.
    for (const auto progress : { -1.0, 1.5 })
        EXPECT_TRUE (allPixels (paintBar (progress), [&] (Colour c)
                                { return c == background; }))
            << progress;

    // The text is drawn in the contrasting colour, centred.
    const auto withText = paintBar (-1.0, "50%");
    const auto textColour = CustomLookAndFeel2::progressTextColour (background, Colour (0xffffcd9b));
    ASSERT_LT (textColour.getPerceivedBrightness(), 0.2f);
    const auto ink = boundsWhere (withText, [&] (Colour c)
                                  { return c.getPerceivedBrightness() < 0.4f; });
    ASSERT_FALSE (ink.isEmpty());
    EXPECT_NEAR (ink.getCentreX(), 51, 3);
    EXPECT_NEAR (ink.getCentreY(), 10, 2);

    bar.setLookAndFeel (nullptr);
}

TEST_F (LookAndFeelTest, ScrollBarThumbOverTransparentTrack)
{
    juce::ScrollBar scrollBar (true);
    scrollBar.setLookAndFeel (&lookAndFeel);

    const auto image = paintedImage (16, 100, [&] (juce::Graphics& g)
                                     { lookAndFeel.drawScrollbar (g, scrollBar, 0, 0, 16, 100, true, 20, 40, false, false); });

    EXPECT_EQ (image.getPixelAt (8, 40), Colour (0xffb9c3ce));
    EXPECT_EQ (image.getPixelAt (8, 22), Colour (0xffb9c3ce));
    EXPECT_EQ (image.getPixelAt (8, 80).getAlpha(), 0);
    EXPECT_EQ (image.getPixelAt (8, 10).getAlpha(), 0);

    scrollBar.setLookAndFeel (nullptr);
}

TEST_F (LookAndFeelTest, TreeMarksPointRightWhenClosedAndDownWhenOpen)
{
    const auto mark = [&] (bool isOpen)
    {
        return paintedImage (40, 40, [&] (juce::Graphics& g)
                             { lookAndFeel.drawTreeviewPlusMinusBox (g, { 0.0f, 0.0f, 40.0f, 40.0f }, Colour (0xffe6e9ec), isOpen, false); });
    };

    const Colour grey (0xff8c8c8c);

    // Circumradius 10 around (20, 20): the tip reaches x 30 when closed, y 30 when open.
    const auto closed = mark (false);
    EXPECT_EQ (closed.getPixelAt (27, 20), grey);
    EXPECT_EQ (closed.getPixelAt (20, 27).getAlpha(), 0);

    const auto open = mark (true);
    EXPECT_EQ (open.getPixelAt (20, 27), grey);
    EXPECT_EQ (open.getPixelAt (27, 20).getAlpha(), 0);

    // The flat side lies half the radius behind the centre; the tip thins out towards 30.
    const auto closedInk = boundsWhere (closed, [] (Colour c)
                                        { return c.getAlpha() > 128; });
    EXPECT_EQ (closedInk.getX(), 15);
    EXPECT_NEAR (closedInk.getRight(), 30, 1);
    EXPECT_NEAR (closedInk.getCentreY(), 20, 1);

    const auto openInk = boundsWhere (open, [] (Colour c)
                                      { return c.getAlpha() > 128; });
    EXPECT_EQ (openInk.getY(), 15);
    EXPECT_NEAR (openInk.getBottom(), 30, 1);
    EXPECT_NEAR (openInk.getCentreX(), 20, 1);
}

TEST_F (LookAndFeelTest, PopupMenuBackgroundAndItemSizes)
{
    const auto image = paintedImage (100, 80, [&] (juce::Graphics& g)
                                     { lookAndFeel.drawPopupMenuBackground (g, 100, 80); });
    EXPECT_TRUE (near (image.getPixelAt (50, 0), Colour (0xfff2f2f2), 1));
    EXPECT_TRUE (near (image.getPixelAt (0, 26), Colour (0xfff2f2f2).interpolatedWith (Colour (0xffe5e5e5), 0.5f), 1));
    EXPECT_EQ (image.getPixelAt (99, 60), Colour (0xffe5e5e5));
    EXPECT_EQ (image.getPixelAt (0, 79), Colour (0xffe5e5e5)); // no frame

    const juce::Font menuFont (13.0f);
    lookAndFeel.setMenuFont (menuFont);
    int width = 0, height = 0;

    lookAndFeel.getIdealPopupMenuItemSize ("Remove chapter", false, -1, width, height);
    EXPECT_EQ (height, 20);
    EXPECT_EQ (width, 10 + menuFont.getStringWidth ("Remove chapter") + 24 + menuFont.getStringWidth (" Ctrl-C"));

    lookAndFeel.getIdealPopupMenuItemSize ({}, true, -1, width, height);
    EXPECT_EQ (height, 10);

    // Without a menu font the framework's default (17) sets the height.
    lookAndFeel.setMenuFont (std::nullopt);
    lookAndFeel.getIdealPopupMenuItemSize ("Remove chapter", false, -1, width, height);
    EXPECT_EQ (height, 27);
}

TEST (LookAndFeelAlertBox, LightWithIconAndDarkText)
{
    juce::AttributedString message;
    message.append ("Could not write the file", juce::Font (15.0f), Colour (0xff121212));
    juce::TextLayout layout;
    layout.createLayout (message, 300.0f);

    const auto paintAlert = [&] (juce::MessageBoxIconType type)
    {
        return paintedImage (400, 150, [&] (juce::Graphics& g)
                             { CustomLookAndFeel2::paintAlertBox (g, { 0, 0, 400, 150 }, type, { 10, 10, 380, 130 }, layout, juce::Colours::black); });
    };

    const auto isIcon = [] (Colour c)
    { return c.getSaturation() > 0.4f; };
    const auto isText = [] (Colour c)
    { return c.getBrightness() < 0.3f; };
    const juce::Rectangle<int> inside (1, 1, 398, 148);

    const auto warning = paintAlert (juce::MessageBoxIconType::WarningIcon);
    EXPECT_EQ (warning.getPixelAt (0, 75), Colour (0xff000000)); // outline
    EXPECT_EQ (warning.getPixelAt (399, 149), Colour (0xff000000));
    EXPECT_GT (warning.getPixelAt (300, 120).getBrightness(), 0.8f);

    const auto icon = boundsWhere (warning, isIcon, inside);
    ASSERT_FALSE (icon.isEmpty());
    EXPECT_LT (icon.getRight(), 90);
    EXPECT_GE (boundsWhere (warning, isText, inside).getX(), 90);

    // Without an icon the message starts at the text area's edge.
    const auto plain = paintAlert (juce::MessageBoxIconType::NoIcon);
    EXPECT_TRUE (boundsWhere (plain, isIcon, inside).isEmpty());
    EXPECT_LT (boundsWhere (plain, isText, inside).getX(), 15);
}

TEST_F (LookAndFeelTest, FilenameBrowseButtonIsAPlainTextButton)
{
    std::unique_ptr<juce::Button> button (lookAndFeel.createFilenameComponentBrowseButton ("Choose..."));
    auto* textButton = dynamic_cast<juce::TextButton*> (button.get());
    ASSERT_NE (textButton, nullptr);
    EXPECT_EQ (textButton->getButtonText(), "Choose...");
    EXPECT_TRUE (textButton->getTooltip().isEmpty());
}

TEST_F (LookAndFeelTest, CornerResizerGrip)
{
    const Colour grey (0xff808080);
    auto image = juce::Image (juce::Image::ARGB, 16, 16, false);
    image.clear (image.getBounds(), grey);

    {
        juce::Graphics g (image);
        lookAndFeel.drawCornerResizer (g, 16, 16, false, false);
    }

    // Only the lower right half carries the grip; it has both darker and lighter lines, faint.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x + y < 13; ++x)
            EXPECT_EQ (image.getPixelAt (x, y), grey) << x << ", " << y;

    const auto changed = [&] (const std::function<bool (float)>& test)
    {
        return ! boundsWhere (image, [&] (Colour c)
                              { return test (c.getBrightness() - grey.getBrightness()); })
                     .isEmpty();
    };

    EXPECT_TRUE (changed ([] (float d)
                          { return d < -0.03f; }));
    EXPECT_TRUE (changed ([] (float d)
                          { return d > 0.03f; }));
    EXPECT_FALSE (changed ([] (float d)
                           { return std::abs (d) > 0.25f; }));

    // Lines every 4 pixels: along the bottom row, darker pixels come in four separate runs.
    int runs = 0;
    bool inRun = false;

    for (int x = 0; x < 16; ++x)
    {
        const auto dark = image.getPixelAt (x, 15).getBrightness() < grey.getBrightness() - 0.03f;
        runs += dark && ! inRun ? 1 : 0;
        inRun = dark;
    }

    EXPECT_EQ (runs, 4);
}

//==============================================================================
TEST (SearchFieldLookAndFeel, PillRimFillAndShadow)
{
    SearchTextEditorLookAndFeel lookAndFeel;
    juce::TextEditor editor;

    const auto image = paintedImage (150, 22, [&] (juce::Graphics& g)
                                     { lookAndFeel.fillTextEditorBackground (g, 150, 22, editor); });

    // A thin dark rim along the top, white inside, a soft grey shadow along the bottom.
    EXPECT_TRUE (near (image.getPixelAt (75, 0), Colour (0x66000000), 2)) << describe (image.getPixelAt (75, 0));
    EXPECT_EQ (image.getPixelAt (75, 10), Colour (0xffffffff));
    EXPECT_EQ (image.getPixelAt (75, 20), Colour (0xffffffff));

    const auto shadow = image.getPixelAt (75, 21);
    EXPECT_GT (shadow.getAlpha(), 100);
    EXPECT_LT (shadow.getAlpha(), 200);
    EXPECT_LT (shadow.getBrightness(), 0.95f);

    // Fully round ends: the corners stay clear.
    EXPECT_EQ (image.getPixelAt (0, 0).getAlpha(), 0);
    EXPECT_EQ (image.getPixelAt (149, 0).getAlpha(), 0);
    EXPECT_EQ (image.getPixelAt (149, 21).getAlpha(), 0);
    EXPECT_GT (image.getPixelAt (0, 10).getAlpha(), 200); // the round end reaches the edge half way down

    // The magnifier: a grey ring whose centre is clear, and its handle down to the right.
    const auto lens = SearchTextEditorLookAndFeel::createMagnifier (20.0f).getBounds();
    EXPECT_NEAR (lens.getX(), 4.0f, 0.01f);
    EXPECT_NEAR (lens.getY(), (20.0f - 13.0f) / 2.0f + 2.0f, 0.01f);
    EXPECT_NEAR (lens.getRight(), 4.0f + 13.0f, 0.01f);

    EXPECT_TRUE (near (image.getPixelAt (4, 10), Colour (0xff7f7f7f), 40)) << describe (image.getPixelAt (4, 10));
    EXPECT_EQ (image.getPixelAt (9, 10), Colour (0xffffffff));
    EXPECT_TRUE (near (image.getPixelAt (15, 16), Colour (0xff7f7f7f), 40)) << describe (image.getPixelAt (15, 16));
    EXPECT_EQ (image.getPixelAt (30, 10), Colour (0xffffffff));
}

TEST (SearchFieldLookAndFeel, NoOutline)
{
    SearchTextEditorLookAndFeel lookAndFeel;
    juce::TextEditor editor;
    editor.setColour (juce::TextEditor::outlineColourId, juce::Colours::black);

    const auto image = paintedImage (150, 22, [&] (juce::Graphics& g)
                                     { lookAndFeel.drawTextEditorOutline (g, 150, 22, editor); });

    EXPECT_TRUE (allPixels (image, [] (Colour c)
                            { return c.getAlpha() == 0; }));
}

//==============================================================================
namespace
{
/** A sample of every widget the skin draws, for people to look at. */
class WidgetSampler final : public juce::Component
{
public:
    WidgetSampler()
    {
        for (auto* b : { &plain, &on, &disabled, &left, &middle, &right })
            addAndMakeVisible (b);

        on.setToggleState (true, juce::dontSendNotification);
        disabled.setEnabled (false);
        left.setConnectedEdges (juce::Button::ConnectedOnRight);
        middle.setConnectedEdges (juce::Button::ConnectedOnLeft | juce::Button::ConnectedOnRight);
        right.setConnectedEdges (juce::Button::ConnectedOnLeft);
        middle.setToggleState (true, juce::dontSendNotification);

        for (auto* t : { &toggleOn, &toggleOff, &toggleDisabled })
            addAndMakeVisible (t);

        toggleOn.setToggleState (true, juce::dontSendNotification);
        toggleDisabled.setEnabled (false);

        for (auto* p : { &quarter, &complete, &idle })
            addAndMakeVisible (p);

        quarter.setTextToDisplay ("25%");
        addAndMakeVisible (scrollBar);
        scrollBar.setRangeLimits (0.0, 100.0);
        scrollBar.setCurrentRange (20.0, 30.0);

        addAndMakeVisible (search);
        search.setIndents (22, 4);
        search.setOpaque (false);
        addAndMakeVisible (resizer);
    }

    void paint (juce::Graphics& g) override
    {
        g.setColour (juce::Colour (CustomLookAndFeel2::panelColour));
        g.fillRect (0, 0, getWidth(), 60);

        auto& lf = getLookAndFeel();
        lf.drawTreeviewPlusMinusBox (g, { 10.0f, 70.0f, 20.0f, 20.0f }, {}, false, false);
        lf.drawTreeviewPlusMinusBox (g, { 30.0f, 70.0f, 20.0f, 20.0f }, {}, true, false);

        juce::Graphics::ScopedSaveState state (g);
        g.setOrigin (60, 70);
        g.reduceClipRegion (0, 0, 120, 80);
        lf.drawPopupMenuBackground (g, 120, 80);
        g.setColour (juce::Colours::black);
        g.setFont (lf.getPopupMenuFont());
        g.drawText ("Backup...", 10, 2, 100, 20, juce::Justification::centredLeft);
    }

    void resized() override
    {
        plain.setBounds (10, 10, 90, 25);
        on.setBounds (110, 10, 90, 25);
        disabled.setBounds (210, 10, 90, 25);
        left.setBounds (320, 12, 24, 24);
        middle.setBounds (343, 12, 24, 24);
        right.setBounds (366, 12, 24, 24);
        toggleOn.setBounds (200, 60, 200, 26);
        toggleOff.setBounds (200, 86, 200, 26);
        toggleDisabled.setBounds (200, 112, 200, 26);
        quarter.setBounds (10, 160, 180, 25);
        complete.setBounds (200, 160, 180, 25);
        idle.setBounds (10, 190, 180, 25);
        scrollBar.setBounds (400, 60, 16, 150);
        search.setBounds (200, 190, 150, 22);
        resizer.setBounds (getWidth() - 16, getHeight() - 16, 16, 16);
    }

    juce::TextEditor search;

private:
    juce::TextButton plain { "Clear completed" }, on { "Backup" }, disabled { "Restore" };
    juce::TextButton left, middle, right;
    juce::ToggleButton toggleOn { "Enable logging" }, toggleOff { "Play automatically" }, toggleDisabled { "Disabled choice" };
    double quarterValue = 0.25, completeValue = 1.0, idleValue = -1.0;
    juce::ProgressBar quarter { quarterValue }, complete { completeValue }, idle { idleValue };
    juce::ScrollBar scrollBar { true };
    juce::ResizableCornerComponent resizer { nullptr, nullptr };
};
} // namespace

TEST (LookAndFeelSheet, SkinnedWindowWithEveryWidget)
{
    const ScratchHome home;
    const ScriptedPrompts prompts;

    struct SharedResReleaser
    {
        ~SharedResReleaser() { SharedRes::deleteInstance(); }
    } releaser;

    auto* shared = SharedRes::getInstance();
    auto* skin = shared->getObject<CustomLookAndFeel2> ("/custom");
    auto* searchSkin = shared->getObject<SearchTextEditorLookAndFeel> ("/searchEditor");
    ASSERT_NE (skin, nullptr);
    ASSERT_NE (searchSkin, nullptr);

    juce::Image sheet;

    {
        BorderlessWindow window ("TSY-Player 1.36", juce::DocumentWindow::allButtons);
        window.setLookAndFeel (skin);
        WidgetSampler sampler;
        sampler.search.setLookAndFeel (searchSkin);
        sampler.search.setText ("lighting"); // in the text colour of the look and feel it is shown with
        window.setContentNonOwned (&sampler, false);
        window.setSize (440, 340);

        sheet = window.createComponentSnapshot (window.getLocalBounds());

        // The skin's close picture, not the window background, at the close button's place.
        ASSERT_NE (window.getCloseButton(), nullptr);
        EXPECT_EQ (window.getCloseButton()->getBounds(), juce::Rectangle<int> (440 - 22, 5, 14, 16));
        EXPECT_FALSE (near (sheet.getPixelAt (440 - 15, 13), sheet.getPixelAt (440 - 40, 13), 20)) << describe (sheet.getPixelAt (440 - 15, 13));

        // The LED pictures in the ticked toggle's box (content starts under the 26-pixel title bar).
        EXPECT_GT (sheet.getPixelAt (200 + 4 + 10, 26 + 60 + 13).getSaturation(), 0.3f);

        sampler.search.setLookAndFeel (nullptr);
        window.clearContentComponent();
        window.setLookAndFeel (nullptr);
    }

    const auto output = juce::File (TSY_UI_TEST_OUTPUT_DIR).getChildFile ("look-and-feel-sheet.png");
    output.deleteFile();

    {
        juce::FileOutputStream out (output);
        ASSERT_TRUE (out.openedOk()) << output.getFullPathName();
        ASSERT_TRUE (juce::PNGImageFormat().writeImageToStream (sheet, out));
    }

    std::cout << "look and feel sheet: " << output.getFullPathName() << std::endl;
}
