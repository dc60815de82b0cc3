#include "provider/InstallerSigner.h"
#include "provider/LibraryMonitor.h"
#include "provider/MediaExporter.h"
#include "provider/ProviderServer.h"

#include <atomic>
#include <csignal>
#include <iostream>
#include <pthread.h>
#include <thread>

#ifndef TSY_PROVIDER_SAMPLE_LIBRARY
    #error "The build passes the bundled sample library's folder in TSY_PROVIDER_SAMPLE_LIBRARY"
#endif

namespace
{
/** Termination signals are taken by a thread of their own, which can stop the server safely:
    they are blocked here, before any other thread starts, so every thread inherits the mask.
*/
sigset_t blockTerminationSignals()
{
    sigset_t signals;
    sigemptyset (&signals);
    sigaddset (&signals, SIGINT);
    sigaddset (&signals, SIGTERM);
    sigaddset (&signals, SIGHUP);
    pthread_sigmask (SIG_BLOCK, &signals, nullptr);
    return signals;
}

/** The sample library: the installed copy beside the program's share folder when there is one,
    else the source tree's, for a provider run from its build folder.
*/
juce::File getDefaultLibrary()
{
    // The framework names the executable after argv[0], which is a bare name when the program
    // was found on the PATH; the kernel's link names the real file.
    const auto installed = juce::File ("/proc/self/exe").getLinkedTarget()
                               .getParentDirectory()
                               .getSiblingFile ("share/tsy-provider/sample");

    return installed.getChildFile ("library.xml").existsAsFile() ? installed : juce::File (TSY_PROVIDER_SAMPLE_LIBRARY);
}
} // namespace

int main (int argc, char** argv)
{
    const auto signals = blockTerminationSignals();

    juce::StringArray arguments;

    for (int i = 1; i < argc; ++i)
        arguments.add (juce::String::fromUTF8 (argv[i]));

    provider::ProviderOptions options;
    juce::String error;

    if (! provider::ProviderOptions::parse (arguments, getDefaultLibrary(), options, error))
    {
        std::cerr << "tsy-provider: " << error << "\n\n" << provider::ProviderOptions::usage();
        return 2;
    }

    if (options.showHelp)
    {
        std::cout << provider::ProviderOptions::usage();
        return 0;
    }

    if (options.signingKey != juce::File())
    {
        juce::File written;

        if (! provider::InstallerSigner::signLibraryInstaller (options.library, options.signingKey, written, error))
        {
            std::cerr << "tsy-provider: " << error << std::endl;
            return 1;
        }

        std::cout << "signed: " << written.getFullPathName() << std::endl;
        return 0;
    }

    if (options.exportFolder != juce::File())
    {
        int files = 0;

        if (! provider::MediaExporter::exportLibrary (options.library, options.exportFolder, files, error))
        {
            std::cerr << "tsy-provider: " << error << std::endl;
            return 1;
        }

        std::cout << "exported " << files << " files: " << options.exportFolder.getFullPathName() << std::endl;
        return 0;
    }

    provider::LibraryMonitor monitor (options.library);

    if (! monitor.loadInitial (error))
    {
        std::cerr << "tsy-provider: cannot publish the library " << options.library.getFullPathName() << ":\n"
                  << error << std::endl;
        return 1;
    }

    auto accessLog = options.accessLog == juce::File() ? std::make_unique<provider::AccessLog>()
                                                       : std::make_unique<provider::AccessLog> (options.accessLog);

    if (! accessLog->isOpen())
    {
        std::cerr << "tsy-provider: cannot write the access log " << options.accessLog.getFullPathName() << std::endl;
        return 1;
    }

    provider::ProviderServer server (options, monitor, *accessLog);
    const int port = server.bind();

    if (port < 0)
    {
        std::cerr << "tsy-provider: cannot listen on " << options.bindAddress << " port " << options.port << std::endl;
        return 1;
    }

    // Test suites read this line to learn the port.
    std::cout << "listening on http://" << (options.bindAddress.containsChar (':') ? "[" + options.bindAddress + "]" : options.bindAddress)
              << ":" << port << "/" << std::endl;
    std::cerr << "tsy-provider: publishing " << options.library.getFullPathName() << " as "
              << server.getAddresses().getBase() << std::endl;

    std::atomic<bool> stopping { false };
    std::thread signalWaiter ([&server, &signals, &stopping] {
        int received = 0;
        sigwait (&signals, &received);

        // A stop that arrives before the server is serving is lost, so it is repeated.
        while (! stopping)
        {
            server.stop();
            std::this_thread::sleep_for (std::chrono::milliseconds (20));
        }
    });

    monitor.startWatching();
    const bool served = server.run();

    // Wakes the signal waiter if the server ended by itself.
    stopping = true;
    pthread_kill (signalWaiter.native_handle(), SIGTERM);
    signalWaiter.join();
    monitor.stopWatching();

    return served ? 0 : 1;
}
