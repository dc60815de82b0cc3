#include "app/Prompts.h"

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
    juce::AlertWindow::showMessageBox (toAlertIcon (icon), title, text, buttonText);
}

bool ModalPrompts::askOkCancel (Icon icon,
                                const juce::String& title,
                                const juce::String& text,
                                const juce::String& okText,
                                const juce::String& cancelText)
{
    return juce::AlertWindow::showOkCancelBox (toAlertIcon (icon), title, text, okText, cancelText);
}

bool ModalPrompts::askCredentials (const juce::String& title, const juce::String& message, juce::String& email, juce::String& password)
{
    juce::AlertWindow window (title, message, juce::MessageBoxIconType::NoIcon, juce::TopLevelWindow::getActiveTopLevelWindow());
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

namespace
{
class ProgressWindow final : public juce::ThreadWithProgressWindow,
                             private Prompts::Progress
{
public:
    ProgressWindow (const juce::String& title, std::function<void (Prompts::Progress&)> t)
        : ThreadWithProgressWindow (title, true, true, 10000, TRANS ("Cancel")), task (std::move (t))
    {
    }

    void run() override { task (*this); }

private:
    void setProgress (double proportion) override { ThreadWithProgressWindow::setProgress (proportion); }
    bool isCancelled() const override { return threadShouldExit(); }

    std::function<void (Prompts::Progress&)> task;
};
} // namespace

bool ModalPrompts::runWithProgress (const juce::String& title, std::function<void (Progress&)> task)
{
    ProgressWindow window (title, std::move (task));
    return window.runThread();
}

int ModalPrompts::showMenu (const juce::PopupMenu& menu)
{
    auto shown = menu;
    return shown.show();
}

void ModalPrompts::openWithSystem (const juce::File& file)
{
    file.startAsProcess();
}

void ModalPrompts::revealInFileManager (const juce::File& file)
{
    file.revealToUser();
}
