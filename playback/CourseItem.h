#pragma once

#include "playback/BaseItem.h"

/** A course row of the catalog tree, with its lessons below it. Message thread. */
class CourseItem final : public BaseItem
{
public:
    CourseItem (Core& core, CatalogTreeHost& host, int course);

    int getCourse() const noexcept { return course; }

    bool mightContainSubItems() override { return true; }
    juce::String getUniqueName() const override { return "c" + juce::String (course); }
    void itemClicked (const juce::MouseEvent& e) override;
    void itemSelectionChanged (bool isNowSelected) override;

    void iconClicked() override;
    bool isSearchHit() const override;
    bool isUnseen() const override;
    int getStatusIcon() const override;
    juce::Colour getTextColour() const override;

private:
    bool passesFilter() const override;
    void createSubItems() override;

    const int course;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CourseItem)
};
