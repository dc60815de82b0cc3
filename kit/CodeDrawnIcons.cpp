#include "kit/CodeDrawnIcons.h"

namespace
{
/** The glyph colour of the skin's media buttons, so drawn and pictured icons match. */
const juce::Colour ink { 0xff3a4450 };

/** Main strokes are 2 units, details 1.6: about 1.2 and 1 pixel at the 14-pixel size the
    extras buttons draw them. */
constexpr float mainStroke = 2.0f;
constexpr float detailStroke = 1.6f;

/** Builds an icon on the shared canvas: an invisible square comes first because a drawable's
    bounds are those of its visible content, which would let a button enlarge a small glyph. */
class IconBuilder final
{
public:
    IconBuilder()
    {
        juce::Path square;
        square.addRectangle (0.0f, 0.0f, CodeDrawnIcons::canvasSize, CodeDrawnIcons::canvasSize);
        fill (square, juce::Colours::transparentBlack);
    }

    IconBuilder& fill (const juce::Path& path, juce::Colour colour)
    {
        auto shape = std::make_unique<juce::DrawablePath>();
        shape->setPath (path);
        shape->setFill (colour);
        shape->setStrokeFill (juce::Colours::transparentBlack);
        shape->setStrokeThickness (0.0f);
        composite->addAndMakeVisible (shape.release());
        return *this;
    }

    IconBuilder& stroke (const juce::Path& path, float thickness, juce::Colour colour)
    {
        auto shape = std::make_unique<juce::DrawablePath>();
        shape->setPath (path);
        shape->setFill (juce::Colours::transparentBlack);
        shape->setStrokeFill (colour);
        shape->setStrokeType ({ thickness, juce::PathStrokeType::curved, juce::PathStrokeType::rounded });
        composite->addAndMakeVisible (shape.release());
        return *this;
    }

    std::unique_ptr<juce::Drawable> build()
    {
        composite->resetContentAreaAndBoundingBoxToFitChildren();
        return std::move (composite);
    }

private:
    std::unique_ptr<juce::DrawableComposite> composite = std::make_unique<juce::DrawableComposite>();
};

juce::Path speaker()
{
    juce::Path path;
    path.startNewSubPath (3.0f, 9.0f);
    path.lineTo (7.0f, 9.0f);
    path.lineTo (12.0f, 4.5f);
    path.lineTo (12.0f, 19.5f);
    path.lineTo (7.0f, 15.0f);
    path.lineTo (3.0f, 15.0f);
    path.closeSubPath();
    return path.createPathWithRoundedCorners (1.0f);
}
} // namespace

std::unique_ptr<juce::Drawable> CodeDrawnIcons::createClearSearch()
{
    juce::Path disc;
    disc.addEllipse (3.0f, 3.0f, 18.0f, 18.0f);

    juce::Path cross;
    cross.startNewSubPath (8.5f, 8.5f);
    cross.lineTo (15.5f, 15.5f);
    cross.startNewSubPath (15.5f, 8.5f);
    cross.lineTo (8.5f, 15.5f);

    return IconBuilder()
        .fill (disc, juce::Colour (0xff8f99a4))
        .stroke (cross, 2.2f, juce::Colours::white)
        .build();
}

std::unique_ptr<juce::Drawable> CodeDrawnIcons::createCoverIcon()
{
    juce::Path frame;
    frame.addRoundedRectangle (3.0f, 5.0f, 18.0f, 14.0f, 2.0f);

    juce::Path landscape;
    landscape.startNewSubPath (5.5f, 17.0f);
    landscape.lineTo (10.0f, 11.0f);
    landscape.lineTo (13.5f, 15.0f);
    landscape.lineTo (15.5f, 13.0f);
    landscape.lineTo (18.5f, 17.0f);
    landscape.closeSubPath();

    juce::Path sun;
    sun.addEllipse (14.0f, 7.8f, 3.4f, 3.4f);

    return IconBuilder()
        .stroke (frame, mainStroke, ink)
        .fill (landscape.createPathWithRoundedCorners (0.8f), ink)
        .fill (sun, ink)
        .build();
}

std::unique_ptr<juce::Drawable> CodeDrawnIcons::createCreditsIcon()
{
    juce::Path head;
    head.addEllipse (8.0f, 3.5f, 8.0f, 8.0f);

    juce::Path shoulders;
    shoulders.startNewSubPath (4.0f, 20.5f);
    shoulders.cubicTo (4.0f, 15.5f, 7.5f, 13.0f, 12.0f, 13.0f);
    shoulders.cubicTo (16.5f, 13.0f, 20.0f, 15.5f, 20.0f, 20.5f);
    shoulders.closeSubPath();

    return IconBuilder()
        .fill (head, ink)
        .fill (shoulders, ink)
        .build();
}

std::unique_ptr<juce::Drawable> CodeDrawnIcons::createPartnersIcon()
{
    // Few lines on purpose: at 14 pixels a fuller grid of meridians turns into a grey blot.
    juce::Path outline;
    outline.addEllipse (3.5f, 3.5f, 17.0f, 17.0f);

    juce::Path grid;
    grid.addEllipse (8.25f, 3.5f, 7.5f, 17.0f);
    grid.startNewSubPath (3.5f, 12.0f);
    grid.lineTo (20.5f, 12.0f);

    return IconBuilder()
        .stroke (grid, detailStroke, ink)
        .stroke (outline, mainStroke, ink)
        .build();
}

std::unique_ptr<juce::Drawable> CodeDrawnIcons::createMinVolume()
{
    // The loud end's speaker at three quarters of its size, centred on the canvas.
    auto small = speaker();
    small.applyTransform (juce::AffineTransform::scale (0.75f, 0.75f, 7.5f, 12.0f).translated (4.5f, 0.0f));

    return IconBuilder().fill (small, ink).build();
}

std::unique_ptr<juce::Drawable> CodeDrawnIcons::createMaxVolume()
{
    juce::Path waves;
    constexpr auto pi = juce::MathConstants<float>::pi;

    for (const auto radius : { 4.5f, 8.5f })
        waves.addCentredArc (12.0f, 12.0f, radius, radius, 0.0f, 0.25f * pi, 0.75f * pi, true);

    return IconBuilder()
        .fill (speaker(), ink)
        .stroke (waves, mainStroke, ink)
        .build();
}
