#pragma once

#include "provider/AccessLog.h"
#include "provider/CatalogService.h"
#include "provider/GuardedHttpServer.h"
#include "provider/LibraryMonitor.h"
#include "provider/ProviderOptions.h"

namespace provider
{
/**
    The HTTP side of the provider: binds the port and answers the catalog service, chapter
    videos, course extras, the installer and the home page from the monitored library, logging
    every request.

    Files are streamed from disk in blocks with their exact length; no request reaches a file the
    library does not publish, because every path is looked up among the published names and never
    joined to a folder. A pool of threads serves several clients at once; request heads must
    arrive quickly and stay small (GuardedHttpServer), only GET and HEAD are answered and request
    bodies are refused. bind and run are called by the main thread, stop by any thread.
*/
class ProviderServer final
{
public:
    ProviderServer (const ProviderOptions& options, LibraryMonitor& monitor, AccessLog& accessLog);
    ~ProviderServer();

    /** Opens the listening socket; returns the port (the free one picked for port 0), or -1. */
    int bind();

    /** The addresses handed to clients; set by bind. */
    const ProviderAddresses& getAddresses() const;

    /** Serves until stop is called; false when serving could not start. */
    bool run();

    /** Makes run return once the requests in progress are done. */
    void stop();

    /** The maintenance message while the catalog service is in maintenance: switched on by the
        command line or, while running, by a file "MAINTENANCE" in the library (whose text, if
        any, becomes the message).
    */
    std::optional<juce::String> getMaintenanceMessage() const;

    /** Whether a decoded request path may be looked at: absolute, without "..", backslashes or
        NUL characters, and strict UTF-8 (an overlong "%c0%ae" is not a ".").
    */
    static bool isAcceptablePath (const std::string& path);

    /** Whether every decoded parameter name and value is strict UTF-8 without NUL characters,
        which would otherwise cut it short ("auth=1%00" read as "1").
    */
    static bool areAcceptableParameters (const httplib::Params& parameters);

    /** The file name that switches maintenance on while it exists in the library folder. */
    static constexpr const char* maintenanceFileName = "MAINTENANCE";

    /** Request threads kept ready; more are started while connections need them. */
    static constexpr int requestThreads = 64;

    /** The limits every connection is held to. */
    static GuardedHttpServer::Limits connectionLimits();

    /** The status refusing a request before it is routed: 405 for methods other than GET and
        HEAD, 413 for a request that carries a body; 0 for a request to answer.
    */
    static int refusalStatusOf (const httplib::Request& request);

private:
    void addRoutes();
    void answerCatalog (const httplib::Request& request, httplib::Response& response) const;
    void answerVideo (const httplib::Request& request, httplib::Response& response) const;
    void answerExtra (const httplib::Request& request, httplib::Response& response) const;
    void answerInstaller (const httplib::Request& request, httplib::Response& response) const;
    void answerHomePage (const httplib::Request& request, httplib::Response& response) const;
    void logRequest (const httplib::Request& request, const httplib::Response& response) const;

    /** The current library, or null after answering 503 because there is none. */
    std::shared_ptr<const Library> requireLibrary (httplib::Response& response) const;

    static void sendFile (const httplib::Request& request, httplib::Response& response, const ProvidedFile& file, const std::string& contentType);
    static void sendProblem (httplib::Response& response, int status, const juce::String& text);
    static std::string contentTypeOf (const juce::File& file);

    ProviderOptions options;
    LibraryMonitor& monitor;
    AccessLog& accessLog;
    std::unique_ptr<GuardedHttpServer> server;
    std::unique_ptr<CatalogService> catalogService;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ProviderServer)
};
} // namespace provider
