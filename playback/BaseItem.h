#pragma once

#include "playback/CatalogTreeHost.h"

#include <optional>

class Core;

/**
    The base of the catalog rows (course, lesson, chapter): it paints a row from what the row
    answers about its state, gives a row the height 20 or, when the current tab filters it out,
    0, and turns a left click on the status icon into iconClicked. Everything is read from Core
    whenever it is needed, never cached. Message thread.
*/
class BaseItem : public juce::TreeViewItem
{
public:
    BaseItem (Core& core, CatalogTreeHost& host, const juce::String& label);

    void paintItem (juce::Graphics& g, int width, int height) override;

    /** Draws nothing: the row's own paint draws the open/close box. */
    void paintOpenCloseButton (juce::Graphics&, const juce::Rectangle<float>&, juce::Colour, bool) override {}

    void itemClicked (const juce::MouseEvent& e) override;
    int getItemHeight() const override;
    bool canBeSelected() const override;

    /** A click on the row's status icon. */
    virtual void iconClicked() {}

    virtual bool isSearchHit() const = 0;
    virtual bool isUnseen() const = 0;
    virtual bool isFavorite() const { return false; }

    /** An index into the tree icons of the shared resources, or -1 for none. */
    virtual int getStatusIcon() const = 0;

    virtual juce::Colour getTextColour() const { return juce::Colours::black; }

    /** How much of the row's video was watched, 0 to 1, drawn as a thin line under the label;
        0 draws nothing.
    */
    virtual double getWatchedFraction() const { return 0.0; }

    /** The watched line's colour and thickness; it lies within the row, above its bottom edge. */
    static constexpr juce::uint32 watchedLineColour = 0xffff9827;
    static constexpr int watchedLineThickness = 2;

    /** The row's text; made on first use by rows that leave it to createLabel(). */
    const juce::String& getLabel() const;

    /** The row's height when it passes the tab filter. */
    static constexpr int rowHeight = 20;

    /** Makes the rows below this one unless they are made already. A course's lessons and a
        lesson's chapters are made when the row first opens, or when something below it is
        looked for: a catalog of thousands of chapters shows few of them, and start-up does not
        wait for the rest.
    */
    void ensureSubItems();

    /** Makes the rows below on the first opening. */
    void itemOpennessChanged (bool isNowOpen) override;

protected:
    /** A row whose text is made by createLabel() when first painted or asked for: a catalog of
        thousands of rows, most of them in closed lessons, is not worth their texts up front.
    */
    BaseItem (Core& core, CatalogTreeHost& host);

    /** The text of a row made without one. */
    virtual juce::String createLabel() const { return {}; }

    /** Whether the row passes the current tab's filter. */
    virtual bool passesFilter() const = 0;

    /** Adds the rows below this one; called once, by ensureSubItems(). */
    virtual void createSubItems() {}

    Core& core;
    CatalogTreeHost& host;

private:
    mutable std::optional<juce::String> label;
    bool subItemsMade = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BaseItem)
};
