#pragma once

#include "ui/kit/ComponentContainer.h"
#include "ui/kit/ResizeBar.h"

/**
    Builds the main window's fixed component tree, in the order the window lays it out; the
    window passes itself as the listener of every control.

    Message thread only, during the main window's construction.
*/
class MainWindowContent final
{
public:
    /** The listeners the controls report to. */
    struct Listeners
    {
        juce::Button::Listener& buttons;
        juce::Slider::Listener& sliders;
        juce::ComboBox::Listener& comboBoxes;
        juce::TextEditor::Listener& textEditors;
        juce::FilenameComponentListener& filenames;
        ResizeBar::Target& resizeTarget;
    };

    /** Adds every component of the fixed tree to the content container, the web browser's
        component inside "webPanel" (the container takes it over).
    */
    static void build (qo::ComponentContainer& content, const Listeners& listeners, juce::Component* webBrowser);

private:
    MainWindowContent() = delete;
};
