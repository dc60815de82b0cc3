#pragma once

#include <JuceHeader.h>

#include <vector>

/**
    Every modal question, notice and progress window of the program, and every hand-over to the
    desktop (opening a file, revealing it), goes through here, so that the real program
    shows alert windows while tests answer from a script instead of running a modal loop.

    Message thread only.
*/
class Prompts
{
public:
    virtual ~Prompts() = default;

    /** The icon an alert shows. */
    enum class Icon
    {
        none,
        info,
        warning,
        question
    };

    /** Shows a notice with one button and returns when the user has dismissed it. */
    virtual void showMessage (Icon icon, const juce::String& title, const juce::String& text, const juce::String& buttonText) = 0;

    /** Asks a question with an OK and a Cancel button; true for OK. */
    virtual bool askOkCancel (Icon icon,
                              const juce::String& title,
                              const juce::String& text,
                              const juce::String& okText,
                              const juce::String& cancelText) = 0;

    /** The button that answered a three-button question. */
    enum class Answer
    {
        yes,
        no,
        cancel
    };

    /** Asks a question with three buttons over the program's active window. */
    virtual Answer askYesNoCancel (Icon icon,
                                   const juce::String& title,
                                   const juce::String& text,
                                   const juce::String& yesText,
                                   const juce::String& noText,
                                   const juce::String& cancelText) = 0;

    /** Asks for an e-mail and a password: the "Login" dialog with "OK" and "Skip". Returns false
        for Skip; on OK the two texts are filled in.
    */
    virtual bool askCredentials (const juce::String& title,
                                 const juce::String& message,
                                 juce::String& email,
                                 juce::String& password) = 0;

    /** Asks for one line of text in a dialog with "OK" (Return) and "Cancel" (Escape); the
        editor starts with the given text. False for Cancel; on OK the text is as typed.
    */
    virtual bool askText (const juce::String& title, const juce::String& message, const juce::String& initialText, juce::String& text) = 0;

    /** A dialog of on/off choices above a folder chooser, with "OK" (Return) and "Cancel"
        (Escape). The caller keeps it between showings, so a dialog shown again comes back as
        the user left it.
    */
    struct FolderDialog
    {
        /** A choice shown as a toggle button; the index says what it stands for. */
        struct Toggle
        {
            juce::String text;
            int index = 0;
            bool on = false;
        };

        juce::String title, message;
        std::vector<Toggle> toggles;

        /** The chooser's component name and the text it shows while no folder is chosen. */
        juce::String chooserName, chooserPrompt;

        /** The chosen folder; File() while none is. */
        juce::File folder;
    };

    /** Shows the dialog modally and leaves the toggles and the folder as the user set them;
        true for OK.
    */
    virtual bool askFolder (FolderDialog& dialog) = 0;

    /** Reports a background task's progress and whether the user cancelled it. */
    struct Progress
    {
        virtual ~Progress() = default;
        virtual void setProgress (double proportion) = 0;
        virtual bool isCancelled() const = 0;
    };

    /** Runs a task on a worker thread behind a modal progress window with a "Cancel" button and
        waits for it; false when the user cancelled.
    */
    virtual bool runWithProgress (const juce::String& title, std::function<void (Progress&)> task) = 0;

    /** Runs a task on a worker thread behind a modal window with a status line, no progress bar
        and no cancel button, and waits for it.
    */
    virtual void runWithStatus (const juce::String& title, const juce::String& status, std::function<void()> task) = 0;

    /** Shows a pop-up menu at the mouse and returns the chosen item's id; 0 when dismissed. */
    virtual int showMenu (const juce::PopupMenu& menu) = 0;

    /** Opens a file with the desktop's default program (or starts it), never through a shell. */
    virtual void openWithSystem (const juce::File& file) = 0;

    /** Shows a file selected in the file manager. */
    virtual void revealInFileManager (const juce::File& file) = 0;

    /** The prompts in use: the modal alert windows unless a test has installed others. */
    static Prompts& get();

    /** Installs other prompts (tests), or the modal ones again with nullptr. Not owned. */
    static void set (Prompts* replacement) noexcept;
};

/** The prompts of the real program: modal alert windows in the program's look and feel, each
    over the program's window; files go to the desktop through DesktopLauncher.
*/
class ModalPrompts final : public Prompts
{
public:
    void showMessage (Icon icon, const juce::String& title, const juce::String& text, const juce::String& buttonText) override;

    bool askOkCancel (Icon icon,
                      const juce::String& title,
                      const juce::String& text,
                      const juce::String& okText,
                      const juce::String& cancelText) override;

    Answer askYesNoCancel (Icon icon,
                           const juce::String& title,
                           const juce::String& text,
                           const juce::String& yesText,
                           const juce::String& noText,
                           const juce::String& cancelText) override;

    bool askCredentials (const juce::String& title, const juce::String& message, juce::String& email, juce::String& password) override;

    bool askText (const juce::String& title, const juce::String& message, const juce::String& initialText, juce::String& text) override;

    bool askFolder (FolderDialog& dialog) override;

    bool runWithProgress (const juce::String& title, std::function<void (Progress&)> task) override;

    void runWithStatus (const juce::String& title, const juce::String& status, std::function<void()> task) override;

    int showMenu (const juce::PopupMenu& menu) override;

    void openWithSystem (const juce::File& file) override;

    void revealInFileManager (const juce::File& file) override;
};
