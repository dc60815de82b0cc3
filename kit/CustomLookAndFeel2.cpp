#include "kit/CustomLookAndFeel2.h"

#include <cmath>

namespace
{
/** A vertical gradient that reaches its lower colour at depth and keeps it below. */
juce::ColourGradient topGradient (juce::uint32 top, juce::uint32 bottom, int depth)
{
    return juce::ColourGradient::vertical (juce::Colour (top), 0.0f, juce::Colour (bottom), (float) depth);
}
} // namespace

CustomLookAndFeel2::CustomLookAndFeel2 (juce::Drawable* tickOffDrawable, juce::Drawable* tickOnDrawable)
    : tickOff (tickOffDrawable), tickOn (tickOnDrawable)
{
}

void CustomLookAndFeel2::applySkinColours()
{
    using juce::Colour;
    const Colour ink (0xff121212);

    const std::pair<int, Colour> skinColours[] = {
        { juce::TextButton::buttonColourId, Colour (0xffffffff) },
        { juce::TextButton::buttonOnColourId, Colour (0xffaaaaaa) },
        { juce::TextButton::textColourOffId, ink },
        { juce::TextButton::textColourOnId, ink },
        { juce::DocumentWindow::textColourId, ink },
        { juce::Label::textColourId, ink },
        { juce::ToggleButton::textColourId, ink },
        { juce::TextEditor::focusedOutlineColourId, Colour (0x7f000000) },
        { juce::TextEditor::outlineColourId, Colour (0x66000000) },
        { juce::TextEditor::highlightColourId, Colour (0xffffd8b3) },
        { juce::TextEditor::shadowColourId, Colour (0x00ffffff) },
        { juce::TextEditor::backgroundColourId, Colour (0xffffffff) },
        { juce::Slider::rotarySliderOutlineColourId, Colour (0xffffffff) },
        { juce::Slider::rotarySliderFillColourId, Colour (0xffffffff) },
        { juce::Slider::trackColourId, Colour (0xffffffff) },
        { juce::Slider::thumbColourId, Colour (0xff666666) },
        { juce::ProgressBar::backgroundColourId, Colour (0xffb9c3ce) },
        { juce::ProgressBar::foregroundColourId, Colour (0xffffcd9b) },
        { juce::ScrollBar::backgroundColourId, Colour (0x00000000) },
        { juce::ScrollBar::trackColourId, Colour (0x00000000) },
        { juce::ScrollBar::thumbColourId, Colour (0xffb9c3ce) },
        { juce::AlertWindow::backgroundColourId, Colour (0xff303030) },
        { juce::AlertWindow::outlineColourId, Colour (0xff000000) },
        { juce::AlertWindow::textColourId, ink },
        { juce::ComboBox::buttonColourId, Colour (0xffe0e0e0) },
        { juce::ComboBox::arrowColourId, ink },
        { juce::PopupMenu::textColourId, Colour (0xff000000) },
        { juce::PopupMenu::highlightedTextColourId, ink },
        { juce::PopupMenu::backgroundColourId, Colour (0xff303030) },
        { juce::PopupMenu::highlightedBackgroundColourId, Colour (0xffffcd9b) },
        { juce::TreeView::linesColourId, Colour (0x00000000) },
        { juce::TreeView::backgroundColourId, Colour (panelColour) },
        { juce::TooltipWindow::outlineColourId, Colour (0xff000000) },
        { juce::TooltipWindow::backgroundColourId, Colour (0xffffd8b3) },
        { markerColourId, Colour (0xff000000) },
        { markerOutlineColourId, Colour (0xff000000) },
    };

    for (const auto& [id, colour] : skinColours)
        setColour (id, colour);
}

//==============================================================================
std::optional<float> CustomLookAndFeel2::progressFillWidth (double progress, int barWidth)
{
    // Written so that NaN fails too: a bar with no sensible value shows no fill at all.
    if (! (progress >= 0.0 && progress <= 1.0))
        return std::nullopt;

    const auto room = juce::jmax (0.0, barWidth - 2.0);
    return (float) juce::jlimit (0.0, room, progress * room);
}

juce::Colour CustomLookAndFeel2::progressTextColour (juce::Colour background, juce::Colour foreground)
{
    // The framework's blended contrast lands on a mid grey between two light colours, which is
    // hard to read: black or white, whichever lies further from the nearer of the two, is not.
    const auto darker = juce::jmin (background.getPerceivedBrightness(), foreground.getPerceivedBrightness());
    const auto lighter = juce::jmax (background.getPerceivedBrightness(), foreground.getPerceivedBrightness());
    return darker >= 1.0f - lighter ? juce::Colours::black : juce::Colours::white;
}

int CustomLookAndFeel2::toggleTickSide (int buttonHeight)
{
    return juce::jlimit (0, 20, buttonHeight - 6);
}

float CustomLookAndFeel2::toggleFallbackFontHeight (int buttonHeight)
{
    return juce::jmin (15.0f, (float) buttonHeight * 0.75f);
}

std::array<juce::Point<float>, 3> CustomLookAndFeel2::treeMarkTriangle (juce::Rectangle<float> area, bool isOpen)
{
    const auto centre = area.getCentre();
    const auto radius = juce::jmin (area.getWidth(), area.getHeight()) * 0.25f;

    // The tip at angle 0 points right; the other two corners are 120 degrees either side.
    const auto tipAngle = isOpen ? juce::MathConstants<float>::halfPi : 0.0f;
    const auto corner = [&] (float angle)
    {
        return centre + juce::Point<float> (std::cos (angle), std::sin (angle)) * radius;
    };

    constexpr auto third = juce::MathConstants<float>::twoPi / 3.0f;
    return { corner (tipAngle), corner (tipAngle + third), corner (tipAngle - third) };
}

juce::Point<int> CustomLookAndFeel2::popupMenuItemSize (float fontHeight, int textWidth, int shortcutWidth, bool isSeparator)
{
    const auto itemHeight = (int) (fontHeight * 1.6f);

    if (isSeparator)
        return { 50, itemHeight / 2 };

    // Room for the tick at the left, the margins and a typical shortcut text at the right.
    return { itemHeight / 2 + textWidth + 2 * (itemHeight * 3 / 5) + shortcutWidth, itemHeight };
}

juce::Range<int> CustomLookAndFeel2::titleTextSpan (int titleBarWidth,
                                                    int titleSpaceX,
                                                    int titleSpaceW,
                                                    int textWidth,
                                                    int iconWidth,
                                                    bool drawTitleTextOnLeft)
{
    const auto width = juce::jmin (titleSpaceW, textWidth + iconWidth);
    auto x = drawTitleTextOnLeft ? titleSpaceX : juce::jmax (titleSpaceX, (titleBarWidth - width) / 2);

    if (x + width > titleSpaceX + titleSpaceW)
        x = titleSpaceX + titleSpaceW - width;

    return juce::Range<int>::withStartAndLength (x, width);
}

//==============================================================================
juce::Font CustomLookAndFeel2::getTextButtonFont (juce::TextButton& button, int buttonHeight)
{
    return buttonFont.has_value() ? *buttonFont : LookAndFeel_V2::getTextButtonFont (button, buttonHeight);
}

juce::Font CustomLookAndFeel2::getPopupMenuFont()
{
    return menuFont.has_value() ? *menuFont : LookAndFeel_V2::getPopupMenuFont();
}

juce::Font CustomLookAndFeel2::getToggleButtonFont (int buttonHeight) const
{
    return buttonFont.has_value() ? *buttonFont : juce::Font (toggleFallbackFontHeight (buttonHeight));
}

//==============================================================================
void CustomLookAndFeel2::drawButtonBackground (juce::Graphics& g,
                                               juce::Button& button,
                                               const juce::Colour& backgroundColour,
                                               bool,
                                               bool)
{
    constexpr float outlineThickness = 1.0f, cornerSize = 5.0f;
    constexpr float halfOutline = outlineThickness * 0.5f;

    // Connected edges run to the button's edge so neighbours join into one control.
    const auto left = button.isConnectedOnLeft() ? 0.0f : halfOutline;
    const auto right = button.isConnectedOnRight() ? 0.0f : halfOutline;
    const auto top = button.isConnectedOnTop() ? 0.0f : halfOutline;
    const auto bottom = button.isConnectedOnBottom() ? 0.0f : halfOutline;

    drawGlassLozenge (g,
                      left,
                      top,
                      (float) button.getWidth() - left - right,
                      (float) button.getHeight() - top - bottom,
                      backgroundColour.withMultipliedAlpha (button.isEnabled() ? 1.0f : 0.2f),
                      outlineThickness,
                      cornerSize,
                      button.isConnectedOnLeft(),
                      button.isConnectedOnRight(),
                      button.isConnectedOnTop(),
                      button.isConnectedOnBottom());
}

void CustomLookAndFeel2::drawTickBox (juce::Graphics& g,
                                      juce::Component& component,
                                      float x,
                                      float y,
                                      float w,
                                      float h,
                                      bool ticked,
                                      bool isEnabled,
                                      bool shouldDrawButtonAsHighlighted,
                                      bool shouldDrawButtonAsDown)
{
    auto* picture = ticked ? tickOn : tickOff;

    if (picture == nullptr)
    {
        LookAndFeel_V2::drawTickBox (g, component, x, y, w, h, ticked, isEnabled, shouldDrawButtonAsHighlighted, shouldDrawButtonAsDown);
        return;
    }

    picture->drawWithin (g, { x + 1.0f, y + 1.0f, w - 2.0f, h - 2.0f }, juce::RectanglePlacement::centred, 1.0f);
}

void CustomLookAndFeel2::drawToggleButton (juce::Graphics& g,
                                           juce::ToggleButton& button,
                                           bool shouldDrawButtonAsHighlighted,
                                           bool shouldDrawButtonAsDown)
{
    const auto height = button.getHeight();
    const auto tickSide = toggleTickSide (height);

    drawTickBox (g,
                 button,
                 4.0f,
                 (float) (height - tickSide) * 0.5f,
                 (float) tickSide,
                 (float) tickSide,
                 button.getToggleState(),
                 button.isEnabled(),
                 shouldDrawButtonAsHighlighted,
                 shouldDrawButtonAsDown);

    g.setColour (button.findColour (juce::ToggleButton::textColourId));
    g.setFont (getToggleButtonFont (height));

    if (! button.isEnabled())
        g.setOpacity (0.5f);

    g.drawFittedText (button.getButtonText(),
                      button.getLocalBounds().withTrimmedLeft (tickSide + 5).withTrimmedRight (2),
                      juce::Justification::centredLeft,
                      10,
                      0.7f);
}

void CustomLookAndFeel2::changeToggleButtonWidthToFitText (juce::ToggleButton& button)
{
    const auto height = button.getHeight();
    const auto textWidth = getToggleButtonFont (height).getStringWidth (button.getButtonText());
    constexpr int slack = 2; // string widths are rounded; without it the text could be squeezed
    button.setSize (toggleTickSide (height) + 5 + textWidth + 2 + slack, height);
}

//==============================================================================
void CustomLookAndFeel2::drawProgressBar (juce::Graphics& g,
                                          juce::ProgressBar& progressBar,
                                          int width,
                                          int height,
                                          double progress,
                                          const juce::String& textToShow)
{
    const auto background = progressBar.findColour (juce::ProgressBar::backgroundColourId);
    const auto foreground = progressBar.findColour (juce::ProgressBar::foregroundColourId);

    g.fillAll (background);

    if (const auto fill = progressFillWidth (progress, width))
        drawGlassLozenge (g, 1.0f, 1.0f, *fill, (float) (height - 2), foreground, 0.5f, 0.0f, true, true, true, true);

    if (textToShow.isNotEmpty())
    {
        g.setColour (progressTextColour (background, foreground));
        g.setFont ((float) height * 0.6f);
        g.drawText (textToShow, 0, 0, width, height, juce::Justification::centred, false);
    }
}

void CustomLookAndFeel2::drawScrollbar (juce::Graphics& g,
                                        juce::ScrollBar& scrollbar,
                                        int x,
                                        int y,
                                        int width,
                                        int height,
                                        bool isScrollbarVertical,
                                        int thumbStartPosition,
                                        int thumbSize,
                                        bool,
                                        bool)
{
    constexpr float cornerSize = 2.0f;

    g.fillAll (scrollbar.findColour (juce::ScrollBar::backgroundColourId));

    const juce::Rectangle<int> track (x, y, width, height);
    g.setColour (scrollbar.findColour (juce::ScrollBar::trackColourId));
    g.fillRoundedRectangle (track.toFloat(), cornerSize);

    if (thumbSize <= 0)
        return;

    // The thumb keeps a pixel of track on every side so it reads as lying in the track.
    const auto thumb = (isScrollbarVertical ? juce::Rectangle<int> (x, thumbStartPosition, width, thumbSize)
                                            : juce::Rectangle<int> (thumbStartPosition, y, thumbSize, height))
                           .reduced (1);

    g.setColour (scrollbar.findColour (juce::ScrollBar::thumbColourId));
    g.fillRoundedRectangle (thumb.toFloat(), cornerSize);
}

void CustomLookAndFeel2::drawTreeviewPlusMinusBox (juce::Graphics& g,
                                                   const juce::Rectangle<float>& area,
                                                   juce::Colour,
                                                   bool isOpen,
                                                   bool)
{
    const auto corners = treeMarkTriangle (area, isOpen);

    juce::Path triangle;
    triangle.addTriangle (corners[0], corners[1], corners[2]);

    g.setColour (juce::Colour (treeMarkColour));
    g.fillPath (triangle);
}

//==============================================================================
void CustomLookAndFeel2::drawPopupMenuBackground (juce::Graphics& g, int, int)
{
    g.setGradientFill (topGradient (menuTopColour, menuBottomColour, gradientDepth));
    g.fillAll();
}

void CustomLookAndFeel2::getIdealPopupMenuItemSize (const juce::String& text,
                                                    bool isSeparator,
                                                    int,
                                                    int& idealWidth,
                                                    int& idealHeight)
{
    const auto font = getPopupMenuFont();
    const auto size = popupMenuItemSize (font.getHeight(),
                                         font.getStringWidth (text),
                                         font.getStringWidth (" Ctrl-C"),
                                         isSeparator);
    idealWidth = size.x;
    idealHeight = size.y;
}

//==============================================================================
void CustomLookAndFeel2::drawAlertBox (juce::Graphics& g,
                                       juce::AlertWindow& alert,
                                       const juce::Rectangle<int>& textArea,
                                       juce::TextLayout& textLayout)
{
    paintAlertBox (g,
                   alert.getLocalBounds(),
                   alert.getAlertType(),
                   textArea,
                   textLayout,
                   alert.findColour (juce::AlertWindow::outlineColourId));
}

void CustomLookAndFeel2::paintAlertBox (juce::Graphics& g,
                                        juce::Rectangle<int> bounds,
                                        juce::MessageBoxIconType iconType,
                                        juce::Rectangle<int> textArea,
                                        const juce::TextLayout& textLayout,
                                        juce::Colour outline)
{
    // The alert window's own background colour is the dark one of the framework's parts; the
    // box itself is painted in the light shades of the rest of the skin.
    const juce::Colour top (menuTopColour), bottom (windowTopColour);
    g.setGradientFill (juce::ColourGradient::vertical (top, (float) bounds.getY(), bottom, (float) bounds.getBottom()));
    g.fillRect (bounds);

    g.setColour (juce::Colours::white.withAlpha (0.6f));
    g.fillRect (bounds.withHeight (1));

    // The framework lays the text out this far right of the text area's edge when there is an
    // icon; the layout already carries the alert's text colour.
    constexpr int iconSpace = 80;

    if (iconType != juce::MessageBoxIconType::NoIcon)
    {
        drawAlertIcon (g, iconType, textArea.toFloat().withSize (56.0f, 56.0f).translated (4.0f, 4.0f));
        textArea.removeFromLeft (iconSpace);
    }

    textLayout.draw (g, textArea.toFloat());

    g.setColour (outline);
    g.drawRect (bounds);
}

void CustomLookAndFeel2::drawAlertIcon (juce::Graphics& g, juce::MessageBoxIconType type, juce::Rectangle<float> area)
{
    juce::Path shape;
    juce::Colour colour;
    juce::String mark;

    if (type == juce::MessageBoxIconType::WarningIcon)
    {
        shape.addTriangle (area.getCentreX(), area.getY(), area.getRight(), area.getBottom(), area.getX(), area.getBottom());
        shape = shape.createPathWithRoundedCorners (6.0f);
        colour = juce::Colour (0xffe8a33d);
        mark = "!";
    }
    else
    {
        shape.addEllipse (area);
        const auto isInfo = type == juce::MessageBoxIconType::InfoIcon;
        colour = juce::Colour (isInfo ? 0xff4f7fc4 : 0xff5f9a3c);
        mark = isInfo ? "i" : "?";
    }

    g.setGradientFill (juce::ColourGradient::vertical (colour.brighter (0.3f), area.getY(), colour.darker (0.2f), area.getBottom()));
    g.fillPath (shape);
    g.setColour (colour.darker (0.6f).withAlpha (0.6f));
    g.strokePath (shape, juce::PathStrokeType (1.0f));

    const auto markArea = type == juce::MessageBoxIconType::WarningIcon ? area.withTrimmedTop (area.getHeight() * 0.3f) : area;
    g.setColour (juce::Colours::white);
    g.setFont (juce::Font (area.getHeight() * 0.55f, juce::Font::bold));
    g.drawText (mark, markArea, juce::Justification::centred, false);
}

juce::Button* CustomLookAndFeel2::createFilenameComponentBrowseButton (const juce::String& text)
{
    return new juce::TextButton (text);
}

//==============================================================================
void CustomLookAndFeel2::fillResizableWindowBackground (juce::Graphics& g,
                                                        int w,
                                                        int h,
                                                        const juce::BorderSize<int>&,
                                                        juce::ResizableWindow&)
{
    g.setGradientFill (topGradient (windowTopColour, windowBottomColour, gradientDepth));
    g.fillAll();

    // The main window's title bar and bottom bar paint nothing themselves: their edges are
    // drawn here.
    g.setColour (juce::Colours::black);
    g.fillRect (0, titleBarLineY, w, 1);
    g.fillRect (0, h - bottomBarHeight, w, 1);

    g.setColour (juce::Colours::white.withAlpha (0.2f));
    g.fillRect (0, 0, w, 1);
}

void CustomLookAndFeel2::drawResizableWindowBorder (juce::Graphics&, int, int, const juce::BorderSize<int>&, juce::ResizableWindow&)
{
}

void CustomLookAndFeel2::drawCornerResizer (juce::Graphics& g, int w, int h, bool, bool)
{
    const auto fw = (float) w, fh = (float) h;

    for (int i = 4; i <= juce::jmin (w, h); i += 4)
    {
        const auto d = (float) i;

        g.setColour (juce::Colours::black.withAlpha (0.2f));
        g.drawLine (fw - d, fh, fw, fh - d, 1.0f);

        g.setColour (juce::Colours::white.withAlpha (0.16f));
        g.drawLine (fw - d + 1.0f, fh, fw, fh - d + 1.0f, 1.0f);
    }
}

void CustomLookAndFeel2::drawDocumentWindowTitleBar (juce::DocumentWindow& window,
                                                     juce::Graphics& g,
                                                     int w,
                                                     int h,
                                                     int titleSpaceX,
                                                     int titleSpaceW,
                                                     const juce::Image* icon,
                                                     bool drawTitleTextOnLeft)
{
    if (w * h == 0)
        return;

    const auto fontHeight = (float) h * 0.65f;
    const auto font = titleFont.has_value() ? titleFont->withHeight (fontHeight) : juce::Font (fontHeight, juce::Font::bold);

    // The icon is not shown, but the title keeps its place as if it were.
    auto iconWidth = 0;

    if (icon != nullptr && icon->getHeight() > 0)
        iconWidth = icon->getWidth() * (int) font.getHeight() / icon->getHeight() + 4;

    const auto span = titleTextSpan (w, titleSpaceX, titleSpaceW, font.getStringWidth (window.getName()), iconWidth, drawTitleTextOnLeft);

    g.setFont (font);
    g.setColour (window.findColour (juce::DocumentWindow::textColourId));
    g.drawText (window.getName(), span.getStart() + iconWidth, 0, span.getLength() - iconWidth, h, juce::Justification::centredLeft, true);
}

//==============================================================================
juce::Button* CustomLookAndFeel2::createDocumentWindowButton (int buttonType)
{
    const char* name = buttonType == juce::DocumentWindow::closeButton      ? "close"
                       : buttonType == juce::DocumentWindow::minimiseButton ? "minimise"
                                                                            : "maximise";

    const juce::String picture ("mac-" + juce::String (name));
    const auto normal = skin != nullptr ? skin->getImage (picture + "-normal") : juce::Image();
    const auto over = skin != nullptr ? skin->getImage (picture + "-over") : juce::Image();

    auto* button = new juce::ImageButton (name);
    button->setImages (false, true, true, normal, 1.0f, {}, over, 1.0f, {}, over, 1.0f, {});
    return button;
}

void CustomLookAndFeel2::positionDocumentWindowButtons (juce::DocumentWindow&,
                                                        int titleBarX,
                                                        int titleBarY,
                                                        int titleBarW,
                                                        int,
                                                        juce::Button* minimiseButton,
                                                        juce::Button* maximiseButton,
                                                        juce::Button* closeButton,
                                                        bool positionTitleBarButtonsOnLeft)
{
    constexpr int width = 14, height = 16, spacing = 21, top = 5;
    const auto y = titleBarY + top;

    // Buttons that are missing leave no gap.
    const auto place = [&] (juce::Button* button, int& x, int step)
    {
        if (button != nullptr)
        {
            button->setBounds (x, y, width, height);
            x += step;
        }
    };

    if (positionTitleBarButtonsOnLeft)
    {
        auto x = titleBarX + 8;
        place (closeButton, x, spacing);
        place (minimiseButton, x, spacing);
        place (maximiseButton, x, spacing);
    }
    else
    {
        auto x = titleBarX + titleBarW - 22;
        place (closeButton, x, -spacing);
        place (maximiseButton, x, -spacing);
        place (minimiseButton, x, -spacing);
    }
}
