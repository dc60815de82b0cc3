#include "ui/VideoFullScreen.h"

VideoFullScreen::VideoFullScreen (juce::ResizableWindow& w, juce::Component& c, juce::Array<juce::Component*> othersToHide)
    : window (w), content (c), others (std::move (othersToHide))
{
}

VideoFullScreen::~VideoFullScreen()
{
    leave();
}

void VideoFullScreen::enter()
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (active || window.getPeer() == nullptr)
        return;

    // Set first: the window lays itself out for full screen as it is resized.
    active = true;
    hiddenOnEntry.clear();

    for (auto* component : others)
    {
        if (component->isVisible())
        {
            hiddenOnEntry.add (component);
            component->setVisible (false);
        }
    }

    lastMousePosition.reset();
    content.addMouseListener (this, true);
    juce::Desktop::getInstance().setKioskModeComponent (&window, false);
    showBar (true);

    if (onChange != nullptr)
        onChange();
}

void VideoFullScreen::leave()
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (! active)
        return;

    active = false;
    stopTimer();
    content.removeMouseListener (this);
    showBar (true);

    if (juce::Desktop::getInstance().getKioskModeComponent() == &window)
        juce::Desktop::getInstance().setKioskModeComponent (nullptr, false);

    for (auto* component : hiddenOnEntry)
        component->setVisible (true);

    hiddenOnEntry.clear();

    if (onChange != nullptr)
        onChange();
}

void VideoFullScreen::toggle()
{
    if (active)
        leave();
    else
        enter();
}

void VideoFullScreen::mouseMove (const juce::MouseEvent& e)
{
    mouseMovedTo (e.getScreenPosition().toFloat());
}

void VideoFullScreen::mouseDrag (const juce::MouseEvent& e)
{
    mouseMovedTo (e.getScreenPosition().toFloat());
}

void VideoFullScreen::mouseMovedTo (juce::Point<float> screenPosition)
{
    if (! active || lastMousePosition == screenPosition)
        return;

    lastMousePosition = screenPosition;
    showBar (true);
}

void VideoFullScreen::timerCallback()
{
    stopTimer();

    if (active)
        showBar (false);
}

void VideoFullScreen::showBar (bool shouldShow)
{
    // Each movement starts the stillness over.
    if (shouldShow && active)
        startTimer (barHideDelayMs);

    if (barShown == shouldShow)
        return;

    barShown = shouldShow;

    // With the bar gone the pointer would only cover the picture.
    content.setMouseCursor (shouldShow ? juce::MouseCursor::NormalCursor : juce::MouseCursor::NoCursor);

    if (onChange != nullptr)
        onChange();
}
