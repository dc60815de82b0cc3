#pragma once

#include "model/Core.h"
#include "ui/WebPanel.h"

/**
    The extras buttons of the bottom bar ("extrasControlsPanel"): cover ("coverButton"),
    credits ("creditsButton") and partners ("partnersButton"), a radio group that remembers the
    last kind chosen. A click shows that page of the current course: the cover or the credits
    picture in the image panel, the partners site in the web panel. The partners button shows
    only for a course that has a partners page.

    Message thread only.
*/
class ExtrasPanel final : public juce::Component
{
public:
    /** What the panel shows its pages through. */
    struct Host
    {
        virtual ~Host() = default;

        /** The course whose extras are shown, -1 for none. */
        virtual int getExtrasCourse() const = 0;

        /** Shows a picture (empty when there is none) in the image panel, with these buttons. */
        virtual void showExtrasPicture (const juce::Image& picture) = 0;

        /** The web panel that shows the partners site. */
        virtual WebPanel& getExtrasWebPanel() = 0;
    };

    ExtrasPanel (Core& core, Host& host);

    /** Shows the remembered page of the current course; partners falls back to the cover for
        a course without a partners page.
    */
    void showCourseExtras();

    /** Shows one page of the current course and remembers it. */
    void showPage (ExtrasKind kind);

    /** The kind of page last chosen. */
    ExtrasKind getKind() const noexcept { return kind; }

    /** Turns on the remembered kind's button and shows the partners button only when the
        current course has a partners page.
    */
    void refresh();

    /** A course's picture file decoded for showing; an empty picture when there is none or it
        is damaged or too large (which the log then says).
    */
    static juce::Image loadPicture (const juce::File& file);

    void resized() override;

private:
    juce::DrawableButton& buttonFor (ExtrasKind kind) noexcept;
    bool currentCourseHasPartners() const;

    Core& core;
    Host& host;
    ExtrasKind kind = ExtrasKind::Cover;
    juce::DrawableButton coverButton { "coverButton", juce::DrawableButton::ImageOnButtonBackground };
    juce::DrawableButton creditsButton { "creditsButton", juce::DrawableButton::ImageOnButtonBackground };
    juce::DrawableButton partnersButton { "partnersButton", juce::DrawableButton::ImageOnButtonBackground };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ExtrasPanel)
};
