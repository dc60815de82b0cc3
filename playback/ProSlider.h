#pragma once

#include <JuceHeader.h>

namespace qo
{
/**
    The slider of the playback controls: the position along the open chapter and the volume,
    both from 0.0 to 1.0.

    Message thread only.
*/
class ProSlider final : public juce::Slider
{
public:
    explicit ProSlider (const juce::String& name);

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ProSlider)
};
} // namespace qo
