#include "playback/VideoComponent.h"

VideoComponent::VideoComponent()
{
    setOpaque (true);

    // A click on the picture takes the keyboard from the tree and the search field, which use
    // the arrow keys themselves, so that the arrows seek and change the volume.
    setWantsKeyboardFocus (true);
    player.addChangeListener (this);
}

void VideoComponent::mouseDown (const juce::MouseEvent&)
{
    grabKeyboardFocus();
}

void VideoComponent::mouseDoubleClick (const juce::MouseEvent&)
{
    if (onDoubleClick != nullptr)
        onDoubleClick();
}

VideoComponent::~VideoComponent()
{
    player.removeChangeListener (this);
}

bool VideoComponent::loadMovie (const juce::File& videoFile)
{
    const auto loaded = player.load (videoFile);
    repaint();
    return loaded;
}

bool VideoComponent::isMovieOpen() const
{
    return player.isOpen();
}

void VideoComponent::closeMovie()
{
    player.close();
    repaint();
}

void VideoComponent::play()
{
    player.play();
}

void VideoComponent::stop()
{
    player.pause();
}

bool VideoComponent::isPlaying() const
{
    return player.isPlaying();
}

void VideoComponent::setPosition (double seconds)
{
    player.setPosition (seconds);
}

double VideoComponent::getPosition() const
{
    return player.getPosition();
}

double VideoComponent::getMovieDuration() const
{
    return player.getDuration();
}

void VideoComponent::setMovieVolume (float newVolume)
{
    player.setVolume (newVolume);
}

void VideoComponent::setSpeed (double rate)
{
    player.setSpeed (rate);
}

double VideoComponent::getSpeed() const
{
    return player.getSpeed();
}

void VideoComponent::setLooping (bool shouldLoop)
{
    player.setLooping (shouldLoop);
}

void VideoComponent::getMovieNormalSize (int& width, int& height) const
{
    const auto size = player.getVideoSize();
    width = size.getWidth();
    height = size.getHeight();
}

void VideoComponent::paint (juce::Graphics& g)
{
    const auto frame = player.getLatestFrame();

    if (frame.image.isNull())
    {
        g.fillAll (juce::Colours::black);
        return;
    }

    // Only the margins are filled: a whole frame's worth of black under the picture would
    // double the work of every repaint.
    const auto placement = juce::RectanglePlacement (juce::RectanglePlacement::centred)
                               .appliedTo (frame.image.getBounds().toDouble(), getLocalBounds().toDouble())
                               .toNearestInt();
    juce::RectangleList<int> margins (getLocalBounds());
    margins.subtract (placement);
    g.setColour (juce::Colours::black);
    g.fillRectList (margins);

    g.drawImage (frame.image, placement.toFloat());

    if (frame.number != lastPaintedFrame)
    {
        lastPaintedFrame = frame.number;
        ++framesPainted;
    }
}

void VideoComponent::changeListenerCallback (juce::ChangeBroadcaster*)
{
    repaint();
}
