#include "ProviderProcess.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifndef TSY_PROVIDER_EXECUTABLE
    #error "The build passes the tsy-provider executable in TSY_PROVIDER_EXECUTABLE"
#endif

extern char** environ;

juce::File ProviderProcess::getExecutable()
{
    return juce::File (TSY_PROVIDER_EXECUTABLE);
}

juce::File ProviderProcess::getTemporaryFolder (const juce::File& outputFolder)
{
    return outputFolder.getChildFile ("provider-tmp");
}

ProviderProcess::ProviderProcess (const juce::StringArray& arguments, const juce::File& outputFolder)
    : stdoutFile (outputFolder.getNonexistentChildFile ("provider-stdout", ".txt", false)),
      stderrFile (outputFolder.getNonexistentChildFile ("provider-stderr", ".txt", false))
{
    outputFolder.createDirectory();

    // Taken now, so that a second program started at once gets files of its own.
    stdoutFile.create();
    stderrFile.create();

    juce::StringArray command { getExecutable().getFullPathName(), "--port", "0" };
    command.addArray (arguments);

    std::vector<std::string> texts;

    for (auto& argument : command)
        texts.push_back (argument.toStdString());

    std::vector<char*> argv;

    for (auto& text : texts)
        argv.push_back (text.data());

    argv.push_back (nullptr);

    // Whatever the program leaves in its temporary directory stays in the test's folder.
    const auto temporary = getTemporaryFolder (outputFolder);
    temporary.createDirectory();
    std::vector<std::string> environment { "TMPDIR=" + temporary.getFullPathName().toStdString() };

    for (auto** variable = environ; *variable != nullptr; ++variable)
        if (std::strncmp (*variable, "TMPDIR=", 7) != 0)
            environment.emplace_back (*variable);

    std::vector<char*> envp;

    for (auto& variable : environment)
        envp.push_back (variable.data());

    envp.push_back (nullptr);

    const auto stdoutPath = stdoutFile.getFullPathName().toStdString();
    const auto stderrPath = stderrFile.getFullPathName().toStdString();
    const auto parent = ::getpid();

    // Only async-signal-safe calls between fork and exec: the test may run other threads.
    pid = ::fork();

    if (pid == 0)
    {
        // A test that dies, however it dies, takes its provider with it.
        ::prctl (PR_SET_PDEATHSIG, SIGTERM);

        if (::getppid() != parent)
            ::_exit (127);

        const int out = ::open (stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int err = ::open (stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);

        if (out < 0 || err < 0 || ::dup2 (out, 1) < 0 || ::dup2 (err, 2) < 0)
            ::_exit (127);

        ::execve (argv[0], argv.data(), envp.data());
        ::_exit (127);
    }

    if (pid < 0)
        return;

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
