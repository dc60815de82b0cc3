#include "playback/SpecialItem.h"

#include "app/SharedRes.h"

SpecialItem::SpecialItem (CatalogTreeHost& h, const juce::String& text, SpecialItemType itemType)
    : host (h), label (text), type (itemType)
{
    setDrawsInLeftMargin (true);
}

juce::String SpecialItem::getUniqueName() const
{
    return juce::String ((int) type) + label;
}

bool SpecialItem::canBeSelected() const
{
    return type == homeItem || type == downloadsItem || type == preferencesItem;
}

void SpecialItem::paintSelection (juce::Graphics& g, int width, int height, int left)
{
    const auto top = juce::Colour (0xffff9827).withAlpha (0.7f);
    g.setGradientFill (juce::ColourGradient::vertical (top, 0.0f, top.withMultipliedBrightness (0.5f), (float) height));
    g.fillRect (left, 0, width - left, height);
}

void SpecialItem::paintItem (juce::Graphics& g, int width, int height)
{
    if (isSelected())
        paintSelection (g, width, height, -getItemPosition (false).getX());

    auto* skin = SharedRes::getInstance();
    const char* picture = nullptr;

    switch (type)
    {
        case homeItem: picture = "icon-home"; break;
        case collapseItem: picture = "icon-close"; break;
        case downloadsItem: picture = "icon-download"; break;
        case preferencesItem: picture = "icon-preferences"; break;
        case manualItem: picture = "icon-manual"; break;
        case spacerItem:
        case headerItem: break;
    }

    if (picture != nullptr)
    {
        const auto image = skin->getImage (picture);
        g.setOpacity (1.0f);
        g.drawImageAt (image, 0, (height - image.getHeight()) / 2);
    }

    g.setFont (juce::Font (skin->getTypeface ("Lucida Grande Bold")).withHeight (13.0f));
    g.setColour (juce::Colours::black.withAlpha (picture != nullptr ? 1.0f : 0.5f));
    g.drawText (label, 21, 0, width, height, juce::Justification::centredLeft, false);
}

void SpecialItem::itemClicked (const juce::MouseEvent&)
{
    if (type == collapseItem)
        host.collapseTree();
    else if (type == manualItem)
        host.openManual();
}

void SpecialItem::itemSelectionChanged (bool isNowSelected)
{
    if (! isNowSelected)
        return;

    if (type == homeItem)
        host.showHomePage();
    else if (type == downloadsItem)
        host.showDownloadPanel();
    else if (type == preferencesItem)
        host.showPreferencesPanel();
}
