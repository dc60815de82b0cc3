#pragma once

#include "playback/CatalogTreeHost.h"

#include <array>
#include <optional>

/**
    The strip of three tabs above the courses: TUTORIALS, MY TUTORIALS and FAVORITES. Painting
    remembers where each tab lies, and a click inside one makes it the main window's tab, which
    filters the catalog rows. Message thread.
*/
class TabbedTitleItem final : public juce::TreeViewItem
{
public:
    explicit TabbedTitleItem (CatalogTreeHost& host);

    bool mightContainSubItems() override { return false; }
    juce::String getUniqueName() const override { return "tabbedTitle"; }
    int getItemHeight() const override { return 34; }
    bool canBeSelected() const override { return false; }
    void paintItem (juce::Graphics& g, int width, int height) override;
    void itemClicked (const juce::MouseEvent& e) override;

    /** Where the tabs lie for a row of height h, as painting places them (x from the item's own
        left edge): TUTORIALS, MY TUTORIALS, FAVORITES.
    */
    static std::array<juce::Rectangle<int>, 3> getTabAreas (int height) noexcept;

    /** The tab under a point, testing TUTORIALS, MY TUTORIALS and FAVORITES in that order, in
        the areas last painted; nothing before the first paint.
    */
    std::optional<BrowserTab> getTabAt (juce::Point<int> position) const noexcept;

private:
    CatalogTreeHost& host;
    juce::Rectangle<int> tutorialsArea, myTutorialsArea, favoritesArea;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TabbedTitleItem)
};
