#pragma once

#include "playback/CatalogTreeHost.h"

/** The kinds of the catalog tree's fixed rows; the values are part of the rows' unique names. */
enum SpecialItemType
{
    spacerItem = 0,
    homeItem = 1,
    collapseItem = 2,
    downloadsItem = 3,
    headerItem = 4,
    preferencesItem = 5,
    manualItem = 6
};

/**
    A fixed row of the catalog tree: the "BROWSER" header, the home, downloads, preferences and
    manual entries, the empty spacer and "Collapse". Home, downloads and preferences can be
    selected and show their panels; "Collapse" and "Manual" act when clicked. Message thread.
*/
class SpecialItem final : public juce::TreeViewItem
{
public:
    SpecialItem (CatalogTreeHost& host, const juce::String& label, SpecialItemType type);

    SpecialItemType getType() const noexcept { return type; }

    bool mightContainSubItems() override { return false; }
    juce::String getUniqueName() const override;
    int getItemHeight() const override { return 20; }
    bool canBeSelected() const override;
    void paintItem (juce::Graphics& g, int width, int height) override;
    void itemClicked (const juce::MouseEvent& e) override;
    void itemSelectionChanged (bool isNowSelected) override;

    /** The selected row's background: a vertical gradient of orange, darker at the bottom. */
    static void paintSelection (juce::Graphics& g, int width, int height, int left);

private:
    CatalogTreeHost& host;
    const juce::String label;
    const SpecialItemType type;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SpecialItem)
};
