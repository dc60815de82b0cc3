#include "app/Prompts.h"
#include "tests/common/MessagePump.h"

#include <gtest/gtest.h>

#include <atomic>

namespace
{
/**
    The user in front of a modal window: once an alert window is modal, it is handed to the
    given action, which answers it as a person would. A window still open long after the action
    (a fault) is closed with result 0, so that a failing test ends instead of hanging.
*/
class ModalUser final : private juce::Timer
{
public:
    using Action = std::function<void (juce::AlertWindow&)>;

    explicit ModalUser (Action a) : action (std::move (a)) { startTimer (10); }
    ~ModalUser() override { stopTimer(); }

    bool acted = false;

private:
    void timerCallback() override
    {
        auto* window = dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());

        if (window == nullptr)
            return;

        if (acted)
        {
            if (juce::Time::getMillisecondCounter() > giveUpAt)
                window->exitModalState (0);

            return;
        }

        acted = true;
        giveUpAt = juce::Time::getMillisecondCounter() + 20000;
        action (*window);
    }

    Action action;
    juce::uint32 giveUpAt = 0;
};

template <typename Type>
juce::Array<Type*> findChildren (juce::Component& parent)
{
    juce::Array<Type*> found;

    for (auto* child : parent.getChildren())
        if (auto* typed = dynamic_cast<Type*> (child))
            found.add (typed);

    return found;
}

class ModalPromptsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)"; }

    ModalPrompts prompts;
};
} // namespace

TEST_F (ModalPromptsTest, TheFolderDialogShowsItsChoicesAndHandsBackWhatTheUserSet)
{
    const auto scratch = juce::File::createTempFile ("tsy-prompts");
    const auto first = scratch.getChildFile ("first");
    const auto second = scratch.getChildFile ("second");
    ASSERT_TRUE (first.createDirectory());
    ASSERT_TRUE (second.createDirectory());

    Prompts::FolderDialog dialog;
    dialog.title = "Backup";
    dialog.message = "Choose the tutorials to backup";
    dialog.chooserName = "Backup directory";
    dialog.chooserPrompt = "Choose backup directory";
    dialog.toggles = { { "Modelling", 0, false }, { "Rigging", 2, true } };
    dialog.folder = first;

    ModalUser user ([&] (juce::AlertWindow& window) {
        EXPECT_EQ (window.getName(), "Backup");

        const auto toggles = findChildren<juce::ToggleButton> (window);
        const auto choosers = findChildren<juce::FilenameComponent> (window);

        if (toggles.size() == 2 && choosers.size() == 1)
        {
            EXPECT_EQ (toggles[0]->getButtonText(), "Modelling");
            EXPECT_FALSE (toggles[0]->getToggleState());
            EXPECT_TRUE (toggles[1]->getToggleState());
            EXPECT_EQ (choosers[0]->getCurrentFile(), first);

            const auto file = juce::File (TSY_APP_TEST_OUTPUT_DIR).getChildFile ("backup-dialog.png");
            file.deleteFile();
            juce::FileOutputStream out (file);
            juce::PNGImageFormat().writeImageToStream (window.createComponentSnapshot (window.getLocalBounds()), out);
            std::cout << "backup dialog screenshot: " << file.getFullPathName() << std::endl;

            toggles[0]->setToggleState (true, juce::dontSendNotification);
            toggles[1]->setToggleState (false, juce::dontSendNotification);
            choosers[0]->setCurrentFile (second, false, juce::dontSendNotification);
        }
        else
        {
            ADD_FAILURE() << toggles.size() << " toggles, " << choosers.size() << " folder choosers";
        }

        window.triggerButtonClick ("OK");
    });

    EXPECT_TRUE (prompts.askFolder (dialog));
    EXPECT_TRUE (user.acted);
    EXPECT_TRUE (dialog.toggles[0].on);
    EXPECT_FALSE (dialog.toggles[1].on);
    EXPECT_EQ (dialog.folder, second);

    // Shown again, the dialog comes back as left; Cancel says so and keeps what was set.
    ModalUser canceller ([&] (juce::AlertWindow& window) {
        const auto toggles = findChildren<juce::ToggleButton> (window);
        EXPECT_TRUE (toggles.size() == 2 && toggles[0]->getToggleState());
        window.triggerButtonClick ("Cancel");
    });

    EXPECT_FALSE (prompts.askFolder (dialog));
    EXPECT_TRUE (canceller.acted);
    EXPECT_EQ (dialog.folder, second);
    scratch.deleteRecursively();
}

TEST_F (ModalPromptsTest, EachOfTheThreeButtonsGivesItsOwnAnswer)
{
    const std::pair<const char*, Prompts::Answer> cases[] = {
        { "Yes", Prompts::Answer::yes },
        { "No", Prompts::Answer::no },
        { "Cancel", Prompts::Answer::cancel },
    };

    for (const auto& [button, expected] : cases)
    {
        ModalUser user ([button = juce::String (button)] (juce::AlertWindow& window) {
            EXPECT_EQ (window.getNumButtons(), 3);
            window.triggerButtonClick (button);
        });

        EXPECT_EQ (prompts.askYesNoCancel (Prompts::Icon::none, "Move video files", "Move them?", "Yes", "No", "Cancel"), expected) << button;
        EXPECT_TRUE (user.acted);
    }
}

TEST_F (ModalPromptsTest, AStatusWindowRunsItsTaskOnAWorkerBehindAWindowWithoutControls)
{
    std::atomic<bool> windowSeen { false }, ranOnMessageThread { true };

    ModalUser user ([&] (juce::AlertWindow& window) {
        EXPECT_EQ (window.getName(), "Moving video files");
        EXPECT_EQ (window.getNumButtons(), 0) << "it cannot be cancelled";
        EXPECT_TRUE (findChildren<juce::ProgressBar> (window).isEmpty());
        windowSeen = true;
    });

    prompts.runWithStatus ("Moving video files", "Moving video files, this operation may take a while...", [&] {
        ranOnMessageThread = juce::MessageManager::getInstance()->isThisTheMessageThread();

        // The task outlives the window's appearance, as a real move does.
        const auto end = juce::Time::getMillisecondCounter() + 20000;

        while (! windowSeen && juce::Time::getMillisecondCounter() < end)
            juce::Thread::yield();
    });

    EXPECT_TRUE (windowSeen);
    EXPECT_FALSE (ranOnMessageThread);
    EXPECT_EQ (juce::Component::getCurrentlyModalComponent(), nullptr) << "the window is gone when the task is";
}

TEST_F (ModalPromptsTest, BoxesOpenOverTheProgramsWindow)
{
    // Away from the middle of the screen, where a box without a parent would land.
    juce::DocumentWindow main ("TSY-Player", juce::Colours::black, 0);
    main.setBounds (760, 420, 420, 300);
    main.setVisible (true);
    ASSERT_TRUE (MessagePump::runUntil ([&] { return main.isShowing(); }));

    juce::Array<juce::Point<int>> centres;
    const auto recordAndClose = [&] (juce::AlertWindow& window) {
        centres.add (window.getScreenBounds().getCentre());
        window.exitModalState (0);
    };

    {
        ModalUser user (recordAndClose);
        prompts.showMessage (Prompts::Icon::none, "Download error", "An error occurred", "OK");
    }

    {
        ModalUser user (recordAndClose);
        prompts.askOkCancel (Prompts::Icon::none, "New version available", "Do you want it", "Yes", "No");
    }

    ASSERT_EQ (centres.size(), 2);

    for (const auto& centre : centres)
        EXPECT_LT (centre.getDistanceFrom (main.getScreenBounds().getCentre()), 40) << centre.toString() << " is not over the window";
}
