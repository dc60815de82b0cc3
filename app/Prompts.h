#pragma once

#include <JuceHeader.h>

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

    /** Asks for an e-mail and a password: the "Login" dialog with "OK" and "Skip". Returns false
        for Skip; on OK the two texts are filled in.
    */
    virtual bool askCredentials (const juce::String& title,
                                 const juce::String& message,
                                 juce::String& email,
                                 juce::String& password) = 0;

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

    /** Shows a pop-up menu at the mouse and returns the chosen item's id; 0 when dismissed. */
    virtual int showMenu (const juce::PopupMenu& menu) = 0;

    /** Opens a file with the desktop's default program (or starts it). */
    virtual void openWithSystem (const juce::File& file) = 0;

    /** Shows a file selected in the file manager. */
    virtual void revealInFileManager (const juce::File& file) = 0;

    /** The prompts in use: the modal alert windows unless a test has installed others. */
    static Prompts& get();

    /** Installs other prompts (tests), or the modal ones again with nullptr. Not owned. */
    static void set (Prompts* replacement) noexcept;
};

/** The prompts of the real program: modal alert windows in the program's look and feel. */
class ModalPrompts final : public Prompts
{
public:
    void showMessage (Icon icon, const juce::String& title, const juce::String& text, const juce::String& buttonText) override;

    bool askOkCancel (Icon icon,
                      const juce::String& title,
                      const juce::String& text,
                      const juce::String& okText,
                      const juce::String& cancelText) override;

    bool askCredentials (const juce::String& title, const juce::String& message, juce::String& email, juce::String& password) override;

    bool runWithProgress (const juce::String& title, std::function<void (Progress&)> task) override;

    int showMenu (const juce::PopupMenu& menu) override;

    void openWithSystem (const juce::File& file) override;

    void revealInFileManager (const juce::File& file) override;
};
