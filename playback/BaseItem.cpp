#include "playback/BaseItem.h"

#include "app/SharedRes.h"
#include "playback/ChapterStatus.h"
#include "playback/SpecialItem.h"

BaseItem::BaseItem (Core& c, CatalogTreeHost& h, const juce::String& text) : core (c), host (h), label (text)
{
    setDrawsInLeftMargin (true);
}

BaseItem::BaseItem (Core& c, CatalogTreeHost& h) : core (c), host (h)
{
    setDrawsInLeftMargin (true);
}

const juce::String& BaseItem::getLabel() const
{
    if (! label.has_value())
        label = createLabel();

    return *label;
}

int BaseItem::getItemHeight() const
{
    return passesFilter() ? rowHeight : 0;
}

bool BaseItem::canBeSelected() const
{
    return passesFilter();
}

void BaseItem::paintItem (juce::Graphics& g, int width, int height)
{
    auto* skin = SharedRes::getInstance();
    const auto left = -getItemPosition (false).getX();

    if (isSearchHit())
    {
        g.setColour (juce::Colour (0xff1de300).withAlpha (0.2f));
        g.fillRect (left, 0, width - left, height);
    }

    if (isSelected())
        SpecialItem::paintSelection (g, width, height, left);

    if (mightContainSubItems())
    {
        const auto indent = (float) getOwnerView()->getIndentSize();
        getOwnerView()->getLookAndFeel().drawTreeviewPlusMinusBox (g, { -indent, 0.0f, indent, (float) height },
                                                                   getOwnerView()->findColour (juce::TreeView::backgroundColourId),
                                                                   isOpen(),
                                                                   false);
    }

    if (const auto icon = getStatusIcon(); icon >= 0)
    {
        if (auto* drawable = skin->getTreeIcon (icon))
        {
            const auto area = icon == ChapterStatus::playIcon ? juce::Rectangle<float> (0.0f, (float) ((height - 15) / 2), 15.0f, 15.0f)
                                                             : juce::Rectangle<float> (1.0f, (float) ((height - 15) / 2 + 1), 13.0f, 13.0f);
            drawable->drawWithin (g, area, juce::RectanglePlacement::centred, 1.0f);
        }
    }

    if (isFavorite())
    {
        g.setOpacity (1.0f);
        g.drawImageAt (skin->getImage ("icon-favorites"), left + 4, (height - 16) / 2);
    }

    g.setFont (juce::Font (skin->getTypeface (isUnseen() ? "Lucida Grande Bold" : "Lucida Grande Regular")).withHeight (13.0f));
    g.setColour (getTextColour());
    g.drawText (getLabel(), 21, 0, width - 21, height, juce::Justification::centredLeft, false);

    if (const auto watched = getWatchedFraction(); watched > 0.0 && width > 21)
    {
        const auto length = juce::jmax (1, juce::roundToInt (watched * (width - 21 - 4)));
        g.setColour (juce::Colour (watchedLineColour));
        g.fillRect (21, height - watchedLineThickness - 1, length, watchedLineThickness);
    }
}

void BaseItem::itemClicked (const juce::MouseEvent& e)
{
    if (e.mods.isLeftButtonDown() && ChapterStatus::isIconClick (e.getPosition(), getItemHeight()))
        iconClicked();
}

void BaseItem::ensureSubItems()
{
    if (std::exchange (subItemsMade, true))
        return;

    createSubItems();
}

void BaseItem::itemOpennessChanged (bool isNowOpen)
{
    if (isNowOpen)
        ensureSubItems();
}
