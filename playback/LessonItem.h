#pragma once

#include "playback/BaseItem.h"

/** A lesson row of the catalog tree, with its chapters below it. Message thread. */
class LessonItem final : public BaseItem
{
public:
    LessonItem (Core& core, CatalogTreeHost& host, int course, int lesson);

    bool mightContainSubItems() override { return true; }
    juce::String getUniqueName() const override { return "l" + juce::String (lesson); }
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

    const int course, lesson;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LessonItem)
};
