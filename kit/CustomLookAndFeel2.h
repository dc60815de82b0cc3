#pragma once

#include "kit/StuffRepository.h"

#include <JuceHeader.h>

#include <array>
#include <optional>

/**
    The program's own look and feel: a light grey, rounded, glass-like skin over the framework's
    widgets, with the skin's typefaces and LED tick boxes. The main window makes it the default
    for every component.

    Created by the shared resources at start-up; used on the message thread only. The static
    functions are the pure geometry behind the drawing and may be called from any thread.
*/
class CustomLookAndFeel2 final : public juce::LookAndFeel_V2
{
public:
    /** The two drawables are the tick box's off and on pictures; the repository owns them. */
    CustomLookAndFeel2 (juce::Drawable* tickOffDrawable, juce::Drawable* tickOnDrawable);

    /** Sets the skin's colour for every widget role the program draws. */
    void applySkinColours();

    /** The repository whose "mac-..." pictures the title bar buttons show; it owns this look
        and feel, so it outlives it. Without one the buttons have no pictures.
    */
    void setSkin (const qo::StuffRepository* repository) noexcept { skin = repository; }

    /** Fonts for text buttons, window titles, table headers and pop-up menus; an empty
        optional returns that use to the framework's default font.
    */
    void setButtonFont (std::optional<juce::Font> font) { buttonFont = std::move (font); }
    void setTitleFont (std::optional<juce::Font> font) { titleFont = std::move (font); }
    void setHeaderFont (std::optional<juce::Font> font) { headerFont = std::move (font); }
    void setMenuFont (std::optional<juce::Font> font) { menuFont = std::move (font); }

    const std::optional<juce::Font>& getButtonFont() const noexcept { return buttonFont; }
    const std::optional<juce::Font>& getTitleFont() const noexcept { return titleFont; }
    const std::optional<juce::Font>& getHeaderFont() const noexcept { return headerFont; }
    const std::optional<juce::Font>& getMenuFont() const noexcept { return menuFont; }

    juce::Drawable* getTickOffDrawable() const noexcept { return tickOff; }
    juce::Drawable* getTickOnDrawable() const noexcept { return tickOn; }

    /** The light blue-grey of panels and the tree's background. */
    static constexpr juce::uint32 panelColour = 0xffe6e9ec;

    /** The window background's gradient, from the top edge down to gradientDepth pixels. */
    static constexpr juce::uint32 windowTopColour = 0xffd8d8d8;
    static constexpr juce::uint32 windowBottomColour = 0xffb2b2b2;

    /** The pop-up menu background's gradient, over the same depth. */
    static constexpr juce::uint32 menuTopColour = 0xfff2f2f2;
    static constexpr juce::uint32 menuBottomColour = 0xffe5e5e5;

    static constexpr int gradientDepth = 52;

    /** Where the window background draws its black lines: under the title bar, and this far
        above the bottom edge, on top of the main window's bottom bar.
    */
    static constexpr int titleBarLineY = 25;
    static constexpr int bottomBarHeight = 55;

    /** The grey of the tree's open/close triangles. */
    static constexpr juce::uint32 treeMarkColour = 0xff8c8c8c;

    /** Colour identifiers of the marker components along the position slider. */
    enum MarkerColourIds
    {
        markerColourId = 0x20003020,
        markerOutlineColourId = 0x20003030
    };

    //==============================================================================
    /** Width of a progress bar's filled part: progress x (barWidth - 2), kept inside the bar;
        nothing (no bar at all) for a progress outside 0..1 or not a number.
    */
    static std::optional<float> progressFillWidth (double progress, int barWidth);

    /** A text colour that stays readable over both colours of a progress bar. */
    static juce::Colour progressTextColour (juce::Colour background, juce::Colour foreground);

    /** Side of a toggle button's tick box: height - 6, at most 20, never negative. */
    static int toggleTickSide (int buttonHeight);

    /** Toggle-button text height when no button font is set: 0.75 x height, at most 15. */
    static float toggleFallbackFontHeight (int buttonHeight);

    /** The tree's open/close mark: an equilateral triangle centred in the area, its circumradius
        a quarter of the area's smaller side, pointing right when closed and down when open.
        The first point is the tip.
    */
    static std::array<juce::Point<float>, 3> treeMarkTriangle (juce::Rectangle<float> area, bool isOpen);

    /** Ideal size of a pop-up menu item (x = width, y = height) from the menu font's height, the
        item text's width and the width of the shortcut text " Ctrl-C" in that font.
    */
    static juce::Point<int> popupMenuItemSize (float fontHeight, int textWidth, int shortcutWidth, bool isSeparator);

    /** The horizontal span (start, length) of a window title within a title bar of the given
        width: left-aligned at the title space or centred in the bar, always inside the title
        space; an icon width, when given, is reserved in front of the text.
    */
    static juce::Range<int> titleTextSpan (int titleBarWidth,
                                           int titleSpaceX,
                                           int titleSpaceW,
                                           int textWidth,
                                           int iconWidth,
                                           bool drawTitleTextOnLeft);

    /** An alert box's painting: a light gradient, the icon for its type at the left of the text
        area, the laid-out message beside it and a one-pixel outline round the bounds.
    */
    static void paintAlertBox (juce::Graphics&,
                               juce::Rectangle<int> bounds,
                               juce::MessageBoxIconType,
                               juce::Rectangle<int> textArea,
                               const juce::TextLayout&,
                               juce::Colour outline);

    //==============================================================================
    juce::Font getTextButtonFont (juce::TextButton& button, int buttonHeight) override;
    juce::Font getPopupMenuFont() override;

    void drawButtonBackground (juce::Graphics&,
                               juce::Button&,
                               const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted,
                               bool shouldDrawButtonAsDown) override;

    void drawTickBox (juce::Graphics&,
                      juce::Component&,
                      float x,
                      float y,
                      float w,
                      float h,
                      bool ticked,
                      bool isEnabled,
                      bool shouldDrawButtonAsHighlighted,
                      bool shouldDrawButtonAsDown) override;

    void drawToggleButton (juce::Graphics&,
                           juce::ToggleButton&,
                           bool shouldDrawButtonAsHighlighted,
                           bool shouldDrawButtonAsDown) override;

    void changeToggleButtonWidthToFitText (juce::ToggleButton&) override;

    void drawProgressBar (juce::Graphics&,
                          juce::ProgressBar&,
                          int width,
                          int height,
                          double progress,
                          const juce::String& textToShow) override;

    void drawScrollbar (juce::Graphics&,
                        juce::ScrollBar&,
                        int x,
                        int y,
                        int width,
                        int height,
                        bool isScrollbarVertical,
                        int thumbStartPosition,
                        int thumbSize,
                        bool isMouseOver,
                        bool isMouseDown) override;

    void drawTreeviewPlusMinusBox (juce::Graphics&,
                                   const juce::Rectangle<float>& area,
                                   juce::Colour backgroundColour,
                                   bool isOpen,
                                   bool isMouseOver) override;

    void drawPopupMenuBackground (juce::Graphics&, int width, int height) override;

    void getIdealPopupMenuItemSize (const juce::String& text,
                                    bool isSeparator,
                                    int standardMenuItemHeight,
                                    int& idealWidth,
                                    int& idealHeight) override;

    void drawAlertBox (juce::Graphics&, juce::AlertWindow&, const juce::Rectangle<int>& textArea, juce::TextLayout&) override;

    juce::Button* createFilenameComponentBrowseButton (const juce::String& text) override;

    void fillResizableWindowBackground (juce::Graphics&,
                                        int w,
                                        int h,
                                        const juce::BorderSize<int>&,
                                        juce::ResizableWindow&) override;

    void drawResizableWindowBorder (juce::Graphics&,
                                    int w,
                                    int h,
                                    const juce::BorderSize<int>&,
                                    juce::ResizableWindow&) override;

    void drawCornerResizer (juce::Graphics&, int w, int h, bool isMouseOver, bool isMouseDragging) override;

    void drawDocumentWindowTitleBar (juce::DocumentWindow&,
                                     juce::Graphics&,
                                     int w,
                                     int h,
                                     int titleSpaceX,
                                     int titleSpaceW,
                                     const juce::Image* icon,
                                     bool drawTitleTextOnLeft) override;

    /** The title-bar buttons: the skin's "mac-close", "mac-minimise" and "mac-maximise" pictures. */
    juce::Button* createDocumentWindowButton (int buttonType) override;

    /** Each button 14 x 16, 5 pixels below the title bar's top, 21 pixels apart. */
    void positionDocumentWindowButtons (juce::DocumentWindow& window,
                                        int titleBarX,
                                        int titleBarY,
                                        int titleBarW,
                                        int titleBarH,
                                        juce::Button* minimiseButton,
                                        juce::Button* maximiseButton,
                                        juce::Button* closeButton,
                                        bool positionTitleBarButtonsOnLeft) override;

private:
    juce::Font getToggleButtonFont (int buttonHeight) const;
    static void drawAlertIcon (juce::Graphics&, juce::MessageBoxIconType, juce::Rectangle<float> area);

    juce::Drawable* tickOff = nullptr;
    juce::Drawable* tickOn = nullptr;
    const qo::StuffRepository* skin = nullptr;
    std::optional<juce::Font> buttonFont, titleFont, headerFont, menuFont;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CustomLookAndFeel2)
};
