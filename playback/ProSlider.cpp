#include "playback/ProSlider.h"

namespace qo
{
ProSlider::ProSlider (const juce::String& name) : Slider (name)
{
    setSliderStyle (juce::Slider::LinearHorizontal);
    setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    setRange (0.0, 1.0);
}
} // namespace qo
