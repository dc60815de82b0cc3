#pragma once

#include "ui/WebPanel.h"

#include <memory>

/** Stands in for the embedded browser: remembers what it was asked to open and how often it
    was stopped, so window tests need no browser process. Message thread.
*/
class RecordingBrowser final : public juce::Component,
                               public WebPanel::Browser
{
public:
    struct Opened
    {
        juce::String address;
        juce::StringArray headerLines;
    };

    juce::Component& getComponent() override { return *this; }
    void open (const juce::String& address, const juce::StringArray& headerLines) override { opened.push_back ({ address, headerLines }); }
    void stopLoading() override { ++stops; }

    /** The last page opened, or nothing. */
    Opened last() const { return opened.empty() ? Opened() : opened.back(); }

    std::vector<Opened> opened;
    int stops = 0;

    /** A factory for the main window that hands out one browser and keeps a pointer to it. */
    static WebPanel::BrowserFactory into (RecordingBrowser*& made)
    {
        return [&made]
        {
            auto browser = std::make_unique<RecordingBrowser>();
            made = browser.get();
            return std::unique_ptr<WebPanel::Browser> (std::move (browser));
        };
    }
};
