#include "playback/PlaybackRules.h"
#include "playback/SpeedButton.h"
#include "tests/common/ScriptedPrompts.h"

#include <gtest/gtest.h>

namespace
{
juce::StringArray textsOf (const std::vector<ScriptedPrompts::MenuItem>& items)
{
    juce::StringArray texts;

    for (const auto& item : items)
        texts.add (item.text);

    return texts;
}

juce::String tickedOf (const std::vector<ScriptedPrompts::MenuItem>& items)
{
    juce::String ticked;

    for (const auto& item : items)
        if (item.ticked)
            ticked << item.text << ";";

    return ticked;
}
} // namespace

TEST (SpeedButton, ShowsTheSpeedAndOffersEveryStepWithTheCurrentOneTicked)
{
    ScriptedPrompts prompts;
    SpeedButton button;
    std::vector<double> chosen;
    button.onSpeedChosen = [&chosen] (double speed) { chosen.push_back (speed); };

    EXPECT_EQ (button.getButtonText(), "1x");
    EXPECT_EQ (button.getName(), "speedButton");
    button.setSpeed (1.5);
    EXPECT_EQ (button.getButtonText(), "1.5x");
    EXPECT_TRUE (chosen.empty()) << "showing a speed sends nothing";

    prompts.pickFromNextMenu (8);
    button.triggerClick();
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);

    ASSERT_EQ (prompts.menus.size(), 1u);
    EXPECT_EQ (textsOf (prompts.menus[0]), juce::StringArray ({ "0.5x", "0.75x", "1x", "1.25x", "1.5x", "1.75x", "2x", "2.5x", "3x" }));
    EXPECT_EQ (tickedOf (prompts.menus[0]), "1.5x;");
    ASSERT_EQ (chosen.size(), 1u);
    EXPECT_DOUBLE_EQ (chosen[0], 2.5);
    EXPECT_EQ (button.getButtonText(), "1.5x") << "the owner shows what it took";

    // Dismissed: nothing is chosen.
    prompts.pickFromNextMenu (0);
    button.triggerClick();
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    EXPECT_EQ (chosen.size(), 1u);
}

TEST (SpeedButton, MenuIdsMapToStepsOnlyAndASpeedBetweenStepsTicksTheNearest)
{
    EXPECT_FALSE (SpeedButton::getSpeedForMenuId (0).has_value());
    EXPECT_FALSE (SpeedButton::getSpeedForMenuId (-1).has_value());
    EXPECT_FALSE (SpeedButton::getSpeedForMenuId (10).has_value());
    EXPECT_DOUBLE_EQ (*SpeedButton::getSpeedForMenuId (1), 0.5);
    EXPECT_DOUBLE_EQ (*SpeedButton::getSpeedForMenuId (9), 3.0);

    for (size_t i = 0; i < PlaybackRules::speedSteps.size(); ++i)
        EXPECT_DOUBLE_EQ (*SpeedButton::getSpeedForMenuId ((int) i + 1), PlaybackRules::speedSteps[i]);

    int ticked = 0, tickedId = 0;
    const auto menu = SpeedButton::makeMenu (1.3);

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        if (it.getItem().isTicked)
        {
            ++ticked;
            tickedId = it.getItem().itemID;
        }

    EXPECT_EQ (ticked, 1);
    EXPECT_EQ (tickedId, 4) << "1.3 is nearest 1.25";
}
