#pragma once

#include "kit/ComponentContainer.h"

class BackgroundPanel;
class MoviePanel;
class VideoFullScreen;
class WebPanel;

/**
    The window's right-hand area, which shows one panel at a time: the movie, the web page, a
    picture, the downloads, the preferences or a message. Showing one hides the others, each the
    way it must be hidden (the movie leaves full screen and stops, the web page stops loading).

    Message thread only; the window creates it after the panels and deletes it before them.
*/
class RightHandPanels final
{
public:
    struct Panels
    {
        MoviePanel& movie;
        WebPanel& web;
        VideoFullScreen& fullScreen;
    };

    /** The panels under a content tree; the function lays the window out again. */
    RightHandPanels (qo::ComponentContainer& content, Panels panels, juce::String applicationTitle, std::function<void()> layoutContent);

    /** Shows the panel at a component path and hides every other. */
    void showOnly (const juce::String& panelPath);

    /** Shows a picture in the image panel, scaled to fit, with or without the extras buttons. */
    void showImage (const juce::Image& image, bool showExtrasControls);

    /** Shows the video and its controls, leaving the other panels as they are. */
    void showMovieArea();

    void hideImagePanel();

private:
    void hideMoviePanel();
    void hideWebPanel();
    juce::Component& get (const juce::String& path) const { return *content.getRequired<juce::Component> (path); }

    qo::ComponentContainer& content;
    Panels panels;
    BackgroundPanel& imagePanel;
    const juce::String applicationTitle;
    std::function<void()> layoutContent;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RightHandPanels)
};
