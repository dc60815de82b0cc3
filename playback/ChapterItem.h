#pragma once

#include "playback/BaseItem.h"
#include "playback/CatalogTreeActions.h"

/** A chapter row of the catalog tree: selecting it opens the chapter, a double click plays it,
    its icon downloads or plays it and its menu marks or removes it. Message thread.
*/
class ChapterItem final : public BaseItem
{
public:
    ChapterItem (Core& core, CatalogTreeHost& host, int course, int lesson, int chapter, const juce::String& chapterId);

    /** "2.5 - Masks": the lesson's and the chapter's catalog orders and the chapter's title. */
    static juce::String makeLabel (const Core& core, int course, int lesson, const juce::String& chapterId);

    juce::String createLabel() const override;

    const juce::String& getChapterId() const noexcept { return reference.id; }

    bool mightContainSubItems() override { return false; }
    juce::String getUniqueName() const override { return reference.id; }
    void itemClicked (const juce::MouseEvent& e) override;
    void itemDoubleClicked (const juce::MouseEvent& e) override;
    void itemSelectionChanged (bool isNowSelected) override;
    juce::String getTooltip() override;

    void iconClicked() override;
    bool isSearchHit() const override;
    bool isUnseen() const override;
    bool isFavorite() const override;
    int getStatusIcon() const override;
    juce::Colour getTextColour() const override;
    double getWatchedFraction() const override;

private:
    bool passesFilter() const override;

    const CatalogTreeActions::ChapterRef reference;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ChapterItem)
};
