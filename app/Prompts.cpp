#include "app/Prompts.h"

#include "app/DesktopLauncher.h"
#include "model/ThreadStop.h"

namespace
{
Prompts* installedPrompts = nullptr;

juce::MessageBoxIconType toAlertIcon (Prompts::Icon icon)
{
    switch (icon)
    {
        case Prompts::Icon::info:
            return juce::MessageBoxIconType::InfoIcon;
        case Prompts::Icon::warning:
            return juce::MessageBoxIconType::WarningIcon;
        case Prompts::Icon::question:
            return juce::MessageBoxIconType::QuestionIcon;
        case Prompts::Icon::none:
            break;
    }

    return juce::MessageBoxIconType::NoIcon;
}

/** The window a box belongs over: the active one, else the program's first window on screen,
    so that a box never opens by itself somewhere away from the program.
*/
juce::Component* getParentWindow()
{
    if (auto* active = juce::TopLevelWindow::getActiveTopLevelWindow())
        return active;

    for (int i = 0; i < juce::TopLevelWindow::getNumTopLevelWindows(); ++i)
        if (auto* window = juce::TopLevelWindow::getTopLevelWindow (i); window->isOnDesktop() && window->isShowing())
            return window;

    return nullptr;
}
} // namespace

Prompts& Prompts::get()
{
    static ModalPrompts modalPrompts;
    return installedPrompts != nullptr ? *installedPrompts : modalPrompts;
}

void Prompts::set (Prompts* replacement) noexcept
{
    installedPrompts = replacement;
}

void ModalPrompts::showMessage (Icon icon, const juce::String& title, const juce::String& text, const juce::String& buttonText)
{
    juce::AlertWindow::showMessageBox (toAlertIcon (icon), title, text, buttonText, getParentWindow());
}

bool ModalPrompts::askOkCancel (Icon icon,
                                const juce::String& title,
                                const juce::String& text,
                                const juce::String& okText,
                                const juce::String& cancelText)
{
    return juce::AlertWindow::showOkCancelBox (toAlertIcon (icon), title, text, okText, cancelText, getParentWindow());
}

Prompts::Answer ModalPrompts::askYesNoCancel (Icon icon,
                                              const juce::String& title,
                                              const juce::String& text,
                                              const juce::String& yesText,
                                              const juce::String& noText,
                                              const juce::String& cancelText)
{
    switch (juce::AlertWindow::showYesNoCancelBox (toAlertIcon (icon), title, text, yesText, noText, cancelText, getParentWindow()))
    {
        case 1:
            return Answer::yes;
        case 2:
            return Answer::no;
        default:
            break;
    }

    return Answer::cancel;
}

bool ModalPrompts::askCredentials (const juce::String& title, const juce::String& message, juce::String& email, juce::String& password)
{
    juce::AlertWindow window (title, message, juce::MessageBoxIconType::NoIcon, getParentWindow());
    window.addTextEditor ("username", {}, TRANS ("Email"));
    window.addTextEditor ("password", {}, TRANS ("Password"), true);
    window.addButton (TRANS ("OK"), 1, juce::KeyPress (juce::KeyPress::returnKey));
    window.addButton (TRANS ("Skip"), 0, juce::KeyPress (juce::KeyPress::escapeKey));

    if (window.runModalLoop() != 1)
        return false;

    email = window.getTextEditorContents ("username");
    password = window.getTextEditorContents ("password");
    return true;
}

bool ModalPrompts::askText (const juce::String& title, const juce::String& message, const juce::String& initialText, juce::String& text)
{
    juce::AlertWindow window (title, message, juce::MessageBoxIconType::NoIcon, getParentWindow());
    window.addTextEditor ("label", initialText);
    window.addButton (TRANS ("OK"), 1, juce::KeyPress (juce::KeyPress::returnKey));
    window.addButton (TRANS ("Cancel"), 0, juce::KeyPress (juce::KeyPress::escapeKey));

    if (window.runModalLoop() != 1)
        return false;

    text = window.getTextEditorContents ("label");
    return true;
}

bool ModalPrompts::askFolder (FolderDialog& dialog)
{
    // The window only borrows its custom components, so they are made before it and outlive it.
    juce::OwnedArray<juce::ToggleButton> toggles;
    juce::FilenameComponent chooser (dialog.chooserName, dialog.folder, false, true, false, {}, {}, dialog.chooserPrompt);
    juce::AlertWindow window (dialog.title, dialog.message, juce::MessageBoxIconType::NoIcon, getParentWindow());

    for (const auto& toggle : dialog.toggles)
    {
        auto* button = toggles.add (new juce::ToggleButton (toggle.text));

        // The window labels every named custom component; the toggle's own text is its label.
        button->setName ({});
        button->setSize (400, 20);
        button->setToggleState (toggle.on, juce::dontSendNotification);
        button->getProperties().set ("index", toggle.index);
        window.addCustomComponent (button);
    }

    chooser.setSize (400, 25);
    window.addCustomComponent (&chooser);
    window.addButton (TRANS ("OK"), 1, juce::KeyPress (juce::KeyPress::returnKey));
    window.addButton (TRANS ("Cancel"), 0, juce::KeyPress (juce::KeyPress::escapeKey));

    const auto result = window.runModalLoop();

    for (size_t i = 0; i < dialog.toggles.size(); ++i)
        dialog.toggles[i].on = toggles[(int) i]->getToggleState();

    dialog.folder = chooser.getCurrentFile();
    return result == 1;
}

namespace
{
class ProgressWindow final : public juce::ThreadWithProgressWindow,
                             private Prompts::Progress
{
public:
    ProgressWindow (const juce::String& title, std::function<void (Prompts::Progress&)> t)
        : ThreadWithProgressWindow (title, true, true, ThreadStop::timeoutMs, TRANS ("Cancel")), task (std::move (t))
    {
    }

    void run() override { task (*this); }

private:
    void setProgress (double proportion) override { ThreadWithProgressWindow::setProgress (proportion); }
    bool isCancelled() const override { return threadShouldExit(); }

    std::function<void (Prompts::Progress&)> task;
};

/** A window with a status line only: the task can be neither followed nor cancelled. */
class StatusWindow final : public juce::ThreadWithProgressWindow
{
public:
    StatusWindow (const juce::String& title, const juce::String& status, std::function<void()> t)
        : ThreadWithProgressWindow (title, false, false), task (std::move (t))
    {
        setStatusMessage (status);
    }

    void run() override { task(); }

private:
    std::function<void()> task;
};
} // namespace

bool ModalPrompts::runWithProgress (const juce::String& title, std::function<void (Progress&)> task)
{
    ProgressWindow window (title, std::move (task));
    return window.runThread();
}

void ModalPrompts::runWithStatus (const juce::String& title, const juce::String& status, std::function<void()> task)
{
    StatusWindow window (title, status, std::move (task));
    window.runThread();
}

int ModalPrompts::showMenu (const juce::PopupMenu& menu)
{
    auto shown = menu;
    return shown.show();
}

void ModalPrompts::openWithSystem (const juce::File& file)
{
    DesktopLauncher::open (file);
}

void ModalPrompts::revealInFileManager (const juce::File& file)
{
    DesktopLauncher::reveal (file);
}
