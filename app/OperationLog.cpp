#include "app/OperationLog.h"

namespace
{
/** Drops every line: JUCE would otherwise send them to the terminal. */
class SilentLogger final : public juce::Logger
{
public:
    void logMessage (const juce::String&) override {}
};
} // namespace

OperationLog::OperationLog (const juce::File& logFile) : file (logFile)
{
    juce::FileLogger::trimFileSize (file, maximumInitialSize);

    if (! file.exists())
        file.create();

    append (juce::String ("\r\n") + juce::String::repeatedString ("*", 58) + "\r\n\r\nLog started: "
            + juce::Time::getCurrentTime().toString (true, true) + "\r\n");
}

void OperationLog::logMessage (const juce::String& message)
{
    append (message + "\r\n");
}

void OperationLog::append (const juce::String& text)
{
    const juce::ScopedLock sl (lock);
    juce::FileOutputStream out (file, 256);

    if (out.openedOk())
        out << text;
}

juce::File OperationLog::getDefaultFile()
{
    return juce::File::getSpecialLocation (juce::File::userDesktopDirectory).getChildFile ("TSY-Player Log.txt");
}

std::unique_ptr<juce::Logger> OperationLog::install (const juce::File& logFile)
{
    auto logger = std::make_unique<OperationLog> (logFile);
    juce::Logger::setCurrentLogger (logger.get());
    return logger;
}

std::unique_ptr<juce::Logger> OperationLog::installSilent()
{
    auto logger = std::make_unique<SilentLogger>();
    juce::Logger::setCurrentLogger (logger.get());
    return logger;
}

void OperationLog::remove()
{
    juce::Logger::setCurrentLogger (nullptr);
}
