#include "ProviderProcess.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

#ifndef TSY_PROVIDER_EXECUTABLE
    #error "The build passes the tsy-provider executable in TSY_PROVIDER_EXECUTABLE"
#endif

extern char** environ;

juce::File ProviderProcess::getExecutable()
{
    return juce::File (TSY_PROVIDER_EXECUTABLE);
}

ProviderProcess::ProviderProcess (const juce::StringArray& arguments, const juce::File& outputFolder)
    : stdoutFile (outputFolder.getNonexistentChildFile ("provider-stdout", ".txt", false)),
      stderrFile (outputFolder.getNonexistentChildFile ("provider-stderr", ".txt", false))
{
    outputFolder.createDirectory();

    juce::StringArray command { getExecutable().getFullPathName(), "--port", "0" };
    command.addArray (arguments);

    std::vector<std::string> texts;

    for (auto& argument : command)
        texts.push_back (argument.toStdString());

    std::vector<char*> argv;

    for (auto& text : texts)
        argv.push_back (text.data());

    argv.push_back (nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init (&actions);
    posix_spawn_file_actions_addopen (&actions, 1, stdoutFile.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen (&actions, 2, stderrFile.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    const auto spawned = posix_spawn (&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy (&actions);

    if (spawned != 0)
    {
        pid = -1;
        return;
    }

    if (! waitForOutput ("/\n", 15000))
        return;

    const auto firstLine = readOutput().upToFirstOccurrenceOf ("\n", false, false);

    if (firstLine.startsWith ("listening on http://127.0.0.1:"))
        port = firstLine.fromLastOccurrenceOf (":", false, false).getIntValue();
}

ProviderProcess::~ProviderProcess()
{
    stop();
}

bool ProviderProcess::waitForOutput (const juce::String& text, int timeoutMs) const
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (! readOutput().contains (text))
    {
        // A program that has ended will not write any more.
        if (pid > 0 && ::waitpid (pid, nullptr, WNOHANG) == pid)
            pid = -1;

        if (pid <= 0 || juce::Time::getMillisecondCounter() > end)
            return readOutput().contains (text);

        juce::Thread::sleep (20);
    }

    return true;
}

int ProviderProcess::stop (int timeoutMs)
{
    if (pid <= 0)
        return -1;

    ::kill (pid, SIGTERM);
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
    int status = 0;

    for (;;)
    {
        if (::waitpid (pid, &status, WNOHANG) == pid)
        {
            pid = -1;
            port = 0;
            return WIFEXITED (status) ? WEXITSTATUS (status) : -1;
        }

        if (juce::Time::getMillisecondCounter() > end)
            break;

        juce::Thread::sleep (10);
    }

    ::kill (pid, SIGKILL);
    ::waitpid (pid, &status, 0);
    pid = -1;
    port = 0;
    return -1;
}
