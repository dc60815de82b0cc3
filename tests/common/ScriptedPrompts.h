#pragma once

#include "app/Prompts.h"
#include "tests/common/MessagePump.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>

/**
    Prompts that answer from a script and remember what was asked, installed for the lifetime
    of the object. A question with no scripted answer left fails the test.
*/
class ScriptedPrompts final : public Prompts
{
public:
    ScriptedPrompts() { Prompts::set (this); }
    ~ScriptedPrompts() override { Prompts::set (nullptr); }

    /** One prompt as the program showed it. */
    struct Shown
    {
        Icon icon = Icon::none;
        juce::String title, text;
        juce::StringArray buttons;
    };

    /** Queues the answer to the next question (true = OK). */
    void answerNext (bool ok) { answers.push_back (ok); }

    void showMessage (Icon icon, const juce::String& title, const juce::String& text, const juce::String& buttonText) override
    {
        shown.push_back ({ icon, title, text, { buttonText } });
    }

    bool askOkCancel (Icon icon,
                      const juce::String& title,
                      const juce::String& text,
                      const juce::String& okText,
                      const juce::String& cancelText) override
    {
        shown.push_back ({ icon, title, text, { okText, cancelText } });

        if (answers.empty())
        {
            ADD_FAILURE() << "unexpected question: " << text;
            return false;
        }

        const auto answer = answers.front();
        answers.pop_front();
        return answer;
    }

    /** Queues the answer to the next three-button question. */
    void answerNextChoice (Answer answer) { choices.push_back (answer); }

    Answer askYesNoCancel (Icon icon,
                           const juce::String& title,
                           const juce::String& text,
                           const juce::String& yesText,
                           const juce::String& noText,
                           const juce::String& cancelText) override
    {
        shown.push_back ({ icon, title, text, { yesText, noText, cancelText } });

        if (choices.empty())
        {
            ADD_FAILURE() << "unexpected three-button question: " << text;
            return Answer::cancel;
        }

        const auto answer = choices.front();
        choices.pop_front();
        return answer;
    }

    /** What the user does in the next folder dialog: sets its toggles and folder as a person
        would and returns true for OK, false for Cancel.
    */
    using FolderDialogAction = std::function<bool (FolderDialog&)>;

    void answerNextFolderDialog (FolderDialogAction action) { folderActions.push_back (std::move (action)); }

    /** Every folder dialog as it was offered, before the scripted user touched it. */
    std::vector<FolderDialog> folderDialogs;

    bool askFolder (FolderDialog& dialog) override
    {
        shown.push_back ({ Icon::none, dialog.title, dialog.message, { "OK", "Cancel" } });
        folderDialogs.push_back (dialog);

        if (folderActions.empty())
        {
            ADD_FAILURE() << "unexpected folder dialog: " << dialog.title;
            return false;
        }

        const auto action = std::move (folderActions.front());
        folderActions.pop_front();
        return action (dialog);
    }

    /** Queues the answer to the next login dialog; nothing means Skip. */
    void answerNextLogin (std::optional<std::pair<juce::String, juce::String>> credentials)
    {
        logins.push_back (std::move (credentials));
    }

    bool askCredentials (const juce::String& title, const juce::String& message, juce::String& email, juce::String& password) override
    {
        shown.push_back ({ Icon::none, title, message, { "OK", "Skip" } });

        if (logins.empty())
        {
            ADD_FAILURE() << "unexpected login dialog";
            return false;
        }

        const auto answer = logins.front();
        logins.pop_front();

        if (! answer.has_value())
            return false;

        email = answer->first;
        password = answer->second;
        return true;
    }

    /** Queues what the user types in the next text dialog; nothing means Cancel. */
    void answerNextText (std::optional<juce::String> text) { texts.push_back (std::move (text)); }

    /** The initial texts the text dialogs offered, in order. */
    juce::StringArray offeredTexts;

    bool askText (const juce::String& title, const juce::String& message, const juce::String& initialText, juce::String& text) override
    {
        shown.push_back ({ Icon::none, title, message, { "OK", "Cancel" } });
        offeredTexts.add (initialText);

        if (texts.empty())
        {
            ADD_FAILURE() << "unexpected text dialog: " << title;
            return false;
        }

        const auto answer = texts.front();
        texts.pop_front();

        if (! answer.has_value())
            return false;

        text = *answer;
        return true;
    }

    /** The user presses Cancel once a task has reported this much progress (never when < 0). */
    double cancelAtProgress = -1.0;

    /** Runs tasks on a worker thread while the message loop goes on, as the real progress
        window does; otherwise they run on the calling thread.
    */
    bool runTasksOnWorkerThread = false;

    bool runWithProgress (const juce::String& title, std::function<void (Progress&)> task) override
    {
        struct Reporter final : Progress
        {
            explicit Reporter (double limit) : cancelAt (limit) {}
            void setProgress (double proportion) override
            {
                last = proportion;
                cancelled = cancelled || (cancelAt >= 0.0 && proportion >= cancelAt);
            }
            bool isCancelled() const override { return cancelled; }
            double cancelAt, last = 0.0;
            bool cancelled = false;
        };

        progressTitles.add (title);
        Reporter reporter (cancelAtProgress);
        runTask ([&] { task (reporter); });
        return ! reporter.cancelled;
    }

    /** The status lines of the windows without progress bar, in order (their titles go to
        progressTitles).
    */
    juce::StringArray statusLines;

    void runWithStatus (const juce::String& title, const juce::String& status, std::function<void()> task) override
    {
        progressTitles.add (title);
        statusLines.add (status);
        runTask (task);
    }

    /** One entry of a menu as the program built it. */
    struct MenuItem
    {
        int id = 0;
        juce::String text;
        bool enabled = true;
        bool ticked = false;
    };

    /** Queues the item the user picks from the next menu (0 dismisses it). */
    void pickFromNextMenu (int id) { menuPicks.push_back (id); }

    int showMenu (const juce::PopupMenu& menu) override
    {
        std::vector<MenuItem> items;

        for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
            items.push_back ({ it.getItem().itemID, it.getItem().text, it.getItem().isEnabled, it.getItem().isTicked });

        menus.push_back (items);

        if (menuPicks.empty())
        {
            ADD_FAILURE() << "unexpected menu";
            return 0;
        }

        const auto pick = menuPicks.front();
        menuPicks.pop_front();
        return pick;
    }

    void openWithSystem (const juce::File& file) override { opened.add (file); }
    void revealInFileManager (const juce::File& file) override { revealed.add (file); }

    std::vector<Shown> shown;
    std::vector<std::vector<MenuItem>> menus;
    juce::StringArray progressTitles;
    juce::Array<juce::File> opened, revealed;

private:
    void runTask (const std::function<void()>& task) const
    {
        if (! runTasksOnWorkerThread)
        {
            task();
            return;
        }

        std::atomic<bool> done { false };
        juce::Thread::launch ([&] {
            task();
            done = true;
        });
        EXPECT_TRUE (MessagePump::runUntil ([&] { return done.load(); }, 60000)) << "the task never ended";
    }

    std::deque<bool> answers;
    std::deque<Answer> choices;
    std::deque<FolderDialogAction> folderActions;
    std::deque<int> menuPicks;
    std::deque<std::optional<juce::String>> texts;
    std::deque<std::optional<std::pair<juce::String, juce::String>>> logins;
};
