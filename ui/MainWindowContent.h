#pragma once

#include "ui/ComponentContainer.h"
#include "ui/ResizeBar.h"

/**
    Builds the main window's fixed component tree, in the order the window lays it out, and its
    1,024 download rows; the window passes itself as the listener of every control.

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

    /** The number of rows of the download list, built once. */
    static constexpr int numDownloadRows = 1024;

    /** The panels of the right-hand area, each shown alone. */
    static const juce::StringArray rightHandPanels;

    /** Adds every component of the fixed tree to the content container. */
    static void build (qo::ComponentContainer& content, const Listeners& listeners);

    /** Adds the rows "downloadLabel;i", "downloadProgress;i" and "downloadRemove;i", each
        progress bar reading its element of the values array.
    */
    static void buildDownloadRows (qo::ComponentContainer& list, double* progressValues, juce::Button::Listener& listener);

private:
    MainWindowContent() = delete;
};
