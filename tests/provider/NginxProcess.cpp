#include "NginxProcess.h"

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
/** A loopback port nobody listens on at the moment (another program may take it before nginx). */
int findFreePort()
{
    const int descriptor = ::socket (AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);
    socklen_t length = sizeof (address);
    int port = 0;

    if (descriptor >= 0 && ::bind (descriptor, reinterpret_cast<sockaddr*> (&address), sizeof (address)) == 0
        && ::getsockname (descriptor, reinterpret_cast<sockaddr*> (&address), &length) == 0)
        port = ntohs (address.sin_port);

    if (descriptor >= 0)
        ::close (descriptor);

    return port;
}

bool acceptsConnections (int port)
{
    const int descriptor = ::socket (AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons ((uint16_t) port);
    address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);
    const auto connected = descriptor >= 0 && ::connect (descriptor, reinterpret_cast<sockaddr*> (&address), sizeof (address)) == 0;

    if (descriptor >= 0)
        ::close (descriptor);

    return connected;
}
} // namespace

juce::File NginxProcess::getExecutable()
{
    for (auto* path : { "/usr/sbin/nginx", "/usr/bin/nginx" })
        if (juce::File (path).existsAsFile())
            return juce::File (path);

    return {};
}

NginxProcess::NginxProcess (const juce::File& root, const juce::File& outputFolder)
    : folder (outputFolder.getNonexistentChildFile ("nginx", {}, false)),
      accessLog (folder.getChildFile ("access.log")),
      errorLog (folder.getChildFile ("error.log"))
{
    if (getExecutable() == juce::File() || ! folder.getChildFile ("temp").createDirectory())
        return;

    // Another program may take the free port first; nginx then ends at once, and another try
    // is made.
    for (int attempt = 0; attempt < 5 && ! isRunning(); ++attempt)
        if (const auto candidate = findFreePort(); candidate > 0 && start (root, candidate))
            port = candidate;
}

NginxProcess::~NginxProcess()
{
    stop();
}

bool NginxProcess::start (const juce::File& root, int portToTry)
{
    const auto path = [] (const juce::File& file) { return "\"" + file.getFullPathName() + "\""; };
    const auto temp = folder.getChildFile ("temp");

    juce::String config;
    config << "daemon off;\n"
           << "master_process on;\n"
           << "worker_processes 2;\n"
           // As root the workers would otherwise run as a user who may not read the test's files.
           << (::geteuid() == 0 ? "user root;\n" : "")
           << "pid " << path (folder.getChildFile ("nginx.pid")) << ";\n"
           << "error_log " << path (errorLog) << " warn;\n"
           << "events { worker_connections 1024; }\n"
           << "http {\n"
           << "    log_format brief '$status $body_bytes_sent \"$request\"';\n"
           << "    access_log " << path (accessLog) << " brief;\n"
           << "    client_body_temp_path " << path (temp.getChildFile ("body")) << ";\n"
           << "    proxy_temp_path " << path (temp.getChildFile ("proxy")) << ";\n"
           << "    fastcgi_temp_path " << path (temp.getChildFile ("fastcgi")) << ";\n"
           << "    uwsgi_temp_path " << path (temp.getChildFile ("uwsgi")) << ";\n"
           << "    scgi_temp_path " << path (temp.getChildFile ("scgi")) << ";\n"
           << "    types { image/png png; image/jpeg jpg jpeg; image/gif gif; application/zip zip; }\n"
           << "    default_type application/octet-stream;\n"
           << "    sendfile on;\n"
           << "    server {\n"
           << "        listen 127.0.0.1:" << portToTry << ";\n"
           << "        root " << path (root) << ";\n"
           << "        location / { try_files $uri =404; }\n"
           << "    }\n"
           << "}\n";

    const auto configFile = folder.getChildFile ("nginx.conf");

    if (! configFile.replaceWithText (config))
        return false;

    const auto executable = getExecutable().getFullPathName().toStdString();
    const auto prefix = folder.getFullPathName().toStdString() + "/";
    const auto configPath = configFile.getFullPathName().toStdString();
    const auto errorPath = errorLog.getFullPathName().toStdString();
    const auto parent = ::getpid();

    // Only async-signal-safe calls between fork and exec: the caller may run other threads.
    pid = ::fork();

    if (pid == 0)
    {
        ::prctl (PR_SET_PDEATHSIG, SIGQUIT);

        if (::getppid() != parent)
            ::_exit (127);

        ::execl (executable.c_str(), executable.c_str(), "-p", prefix.c_str(), "-e", errorPath.c_str(), "-c", configPath.c_str(), (char*) nullptr);
        ::_exit (127);
    }

    if (pid < 0 || ! waitUntilListening (portToTry, 15000))
    {
        stop();
        return false;
    }

    return true;
}

bool NginxProcess::waitUntilListening (int portToTry, int timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (juce::Time::getMillisecondCounter() < end)
    {
        if (::waitpid (pid, nullptr, WNOHANG) == pid)
        {
            pid = -1;
            return false;
        }

        if (acceptsConnections (portToTry))
            return true;

        juce::Thread::sleep (20);
    }

    return false;
}

void NginxProcess::stop()
{
    if (pid <= 0)
        return;

    // A graceful stop lets the workers end with the master.
    ::kill (pid, SIGQUIT);
    const auto end = juce::Time::getMillisecondCounter() + 5000;

    while (::waitpid (pid, nullptr, WNOHANG) != pid)
    {
        if (juce::Time::getMillisecondCounter() > end)
        {
            ::kill (pid, SIGKILL);
            ::waitpid (pid, nullptr, 0);
            break;
        }

        juce::Thread::sleep (10);
    }

    pid = -1;
    port = 0;
}
