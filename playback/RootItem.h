#pragma once

#include <JuceHeader.h>

/** The hidden root of the catalog tree; its children are the tree's rows. Message thread. */
class RootItem final : public juce::TreeViewItem
{
public:
    bool mightContainSubItems() override { return true; }
    juce::String getUniqueName() const override { return "root"; }
};
