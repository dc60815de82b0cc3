#include "playback/TabbedTitleItem.h"

#include "app/SharedRes.h"

TabbedTitleItem::TabbedTitleItem (CatalogTreeHost& h) : host (h)
{
    setDrawsInLeftMargin (true);
}

std::array<juce::Rectangle<int>, 3> TabbedTitleItem::getTabAreas (int height) noexcept
{
    const juce::Rectangle<int> tutorials (-5, 0, 77, height - 10);
    const auto myTutorials = tutorials.withX (tutorials.getRight()).withWidth (100);
    const auto favorites = myTutorials.withX (myTutorials.getRight()).withWidth (77);
    return { tutorials, myTutorials, favorites };
}

void TabbedTitleItem::paintItem (juce::Graphics& g, int width, int height)
{
    const auto areas = getTabAreas (height);
    tutorialsArea = areas[0];
    myTutorialsArea = areas[1];
    favoritesArea = areas[2];

    const auto line = height - 11;
    const auto left = -getItemPosition (false).getX();
    g.setColour (juce::Colours::black.withAlpha (0.5f));
    g.setFont (juce::Font (SharedRes::getInstance()->getTypeface ("Lucida Grande Bold")).withHeight (13.0f));
    g.drawHorizontalLine (line, (float) left, (float) tutorialsArea.getX());

    const struct
    {
        juce::Rectangle<int> area;
        const char* name;
        BrowserTab tab;
    } tabs[] = { { tutorialsArea, "TUTORIALS", tutorialsTab },
                 { myTutorialsArea, "MY TUTORIALS", myTutorialsTab },
                 { favoritesArea, "FAVORITES", favoritesTab } };

    for (const auto& tab : tabs)
    {
        g.drawText (TRANS (tab.name), tab.area, juce::Justification::centred, false);

        if (tab.tab == host.getBrowserTab())
            g.drawRect (tab.area, 1);
        else
            g.drawHorizontalLine (line, (float) tab.area.getX(), (float) tab.area.getRight());
    }

    g.drawHorizontalLine (line, (float) favoritesArea.getRight(), (float) width);
}

std::optional<BrowserTab> TabbedTitleItem::getTabAt (juce::Point<int> position) const noexcept
{
    if (tutorialsArea.contains (position))
        return tutorialsTab;

    if (myTutorialsArea.contains (position))
        return myTutorialsTab;

    if (favoritesArea.contains (position))
        return favoritesTab;

    return std::nullopt;
}

void TabbedTitleItem::itemClicked (const juce::MouseEvent& e)
{
    if (const auto tab = getTabAt (e.getPosition()))
        host.setBrowserTab (*tab);
}
