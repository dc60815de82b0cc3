#include "app/OperationLog.h"

juce::File OperationLog::getDefaultFile()
{
    return juce::File::getSpecialLocation (juce::File::userDesktopDirectory).getChildFile ("TSY-Player Log.txt");
}

std::unique_ptr<juce::FileLogger> OperationLog::install (const juce::File& file)
{
    auto logger = std::make_unique<juce::FileLogger> (file, juce::String(), maximumInitialSize);
    juce::Logger::setCurrentLogger (logger.get());
    return logger;
}

void OperationLog::remove()
{
    juce::Logger::setCurrentLogger (nullptr);
}
