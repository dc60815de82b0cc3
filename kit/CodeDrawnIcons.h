#pragma once

#include <JuceHeader.h>

#include <memory>

/**
    The small icons that the skin does not carry as files: the clear button of the search field,
    the three buttons of the course extras and the two ends of the volume control.

    Every icon is drawn on the same invisible 24 by 24 canvas, so a button that scales its drawable
    to fit keeps the icons' relative sizes and margins. Called on the message thread while the
    shared resources are built; each call returns a new drawable that the caller owns.
*/
class CodeDrawnIcons final
{
public:
    /** A grey disc with a white cross: empties the search field. */
    static std::unique_ptr<juce::Drawable> createClearSearch();

    /** A framed landscape picture: shows the course's cover picture. */
    static std::unique_ptr<juce::Drawable> createCoverIcon();

    /** A person's bust: shows the course's credits picture. */
    static std::unique_ptr<juce::Drawable> createCreditsIcon();

    /** A globe: shows the course's partners web site. */
    static std::unique_ptr<juce::Drawable> createPartnersIcon();

    /** A small speaker: the silent end of the volume control. */
    static std::unique_ptr<juce::Drawable> createMinVolume();

    /** A full-size speaker sending out sound waves: the loud end of the volume control. */
    static std::unique_ptr<juce::Drawable> createMaxVolume();

    /** The side of the square canvas all icons are drawn on. */
    static constexpr float canvasSize = 24.0f;

    CodeDrawnIcons() = delete;
};
