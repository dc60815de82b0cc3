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

        if (runTasksOnWorkerThread)
        {
            std::atomic<bool> done { false };
            juce::Thread::launch ([&] {
                task (reporter);
                done = true;
            });
            EXPECT_TRUE (MessagePump::runUntil ([&] { return done.load(); }, 60000)) << "the task never ended";
        }
        else
        {
            task (reporter);
        }

        return ! reporter.cancelled;
    }

    /** One entry of a menu as the program built it. */
    struct MenuItem
    {
        int id = 0;
        juce::String text;
        bool enabled = true;
    };

    /** Queues the item the user picks from the next menu (0 dismisses it). */
    void pickFromNextMenu (int id) { menuPicks.push_back (id); }

    int showMenu (const juce::PopupMenu& menu) override
    {
        std::vector<MenuItem> items;

        for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
            items.push_back ({ it.getItem().itemID, it.getItem().text, it.getItem().isEnabled });

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
    std::deque<bool> answers;
    std::deque<int> menuPicks;
    std::deque<std::optional<std::pair<juce::String, juce::String>>> logins;
};
