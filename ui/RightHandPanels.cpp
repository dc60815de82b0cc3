#include "ui/RightHandPanels.h"

#include "kit/BackgroundPanel.h"
#include "kit/ComponentPaths.h"
#include "playback/MoviePanel.h"
#include "ui/VideoFullScreen.h"
#include "ui/WebPanel.h"

RightHandPanels::RightHandPanels (qo::ComponentContainer& c, Panels p, juce::String title, std::function<void()> layout)
    : content (c),
      panels (p),
      imagePanel (*content.getRequired<BackgroundPanel> (ComponentPaths::imagePanel)),
      applicationTitle (std::move (title)),
      layoutContent (std::move (layout))
{
}

void RightHandPanels::showOnly (const juce::String& panelPath)
{
    if (panelPath != ComponentPaths::moviePanel)
        hideMoviePanel();

    if (panelPath != ComponentPaths::webPanel)
        hideWebPanel();

    if (panelPath != ComponentPaths::imagePanel)
        hideImagePanel();

    for (auto* plain : { ComponentPaths::downloadPanel, ComponentPaths::preferencesPanel, ComponentPaths::messagePanel })
        if (panelPath != plain)
            get (plain).setVisible (false);

    get (panelPath).setVisible (true);
}

void RightHandPanels::showImage (const juce::Image& image, bool showExtrasControls)
{
    showOnly (ComponentPaths::imagePanel);
    imagePanel.setImage (image, juce::RectanglePlacement::centred);
    get (ComponentPaths::extrasControlsPanel).setVisible (showExtrasControls);
}

void RightHandPanels::showMovieArea()
{
    get (ComponentPaths::moviePanel).setVisible (true);
    layoutContent();
    get (ComponentPaths::movieControlsPanel).setVisible (true);
}

void RightHandPanels::hideImagePanel()
{
    imagePanel.setVisible (false);
    get (ComponentPaths::extrasControlsPanel).setVisible (false);
}

void RightHandPanels::hideMoviePanel()
{
    panels.fullScreen.leave();
    panels.movie.close (applicationTitle);
    get (ComponentPaths::moviePanel).setVisible (false);
    layoutContent();
    get (ComponentPaths::movieControlsPanel).setVisible (false);
}

void RightHandPanels::hideWebPanel()
{
    panels.web.panelHidden();
    get (ComponentPaths::webPanel).setVisible (false);
    layoutContent();
}
