#pragma once

#include <JuceHeader.h>

/** Installs itself as the process's logger for its lifetime and keeps every line. */
class CapturedLog final : public juce::Logger
{
public:
    CapturedLog() { juce::Logger::setCurrentLogger (this); }
    ~CapturedLog() override { juce::Logger::setCurrentLogger (nullptr); }

    juce::StringArray getLines() const
    {
        const juce::ScopedLock sl (lock);
        return lines;
    }

    juce::String getText() const { return getLines().joinIntoString ("\n"); }

protected:
    void logMessage (const juce::String& message) override
    {
        const juce::ScopedLock sl (lock);
        lines.add (message);
    }

private:
    juce::CriticalSection lock;
    juce::StringArray lines;
};
