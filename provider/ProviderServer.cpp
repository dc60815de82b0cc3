#include "provider/ProviderServer.h"

#include "provider/FileBody.h"
#include "provider/HomePageBuilder.h"
#include "provider/Utf8Text.h"

namespace provider
{
namespace
{
/** Text already checked as clean (a path, a parameter): never asserts, whatever it holds. */
juce::String fromStd (const std::string& text)
{
    return Utf8Text::decode (text).value_or (juce::String());
}

/** Text of the wire as it came, for the log: bytes that are not text are kept as such. */
juce::String asSent (const std::string& text)
{
    return Utf8Text::decodeKeepingBytes (text);
}

juce::StringPairArray queryOf (const httplib::Request& request)
{
    juce::StringPairArray query (false);

    for (auto& [name, value] : request.params)
        query.set (fromStd (name), fromStd (value));

    return query;
}

juce::String matchAt (const httplib::Request& request, size_t index)
{
    return index < request.matches.size() ? fromStd (request.matches[index].str()) : juce::String();
}

/** httplib files the connection's addresses among the headers; they were not sent by the client. */
bool isConnectionDetail (const std::string& name)
{
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT";
}

juce::String describeStatus (int status)
{
    switch (status)
    {
        case 400: return "Bad request";
        case 404: return "Not found";
        case 405: return "Only GET and HEAD are answered here";
        case 408: return "The request head took too long to arrive";
        case 413: return "Requests with a body are not taken";
        case 414: return "The request line is too long";
        case 431: return "The request head is too large";
        default: return "Request refused";
    }
}

constexpr size_t fileBlockSize = 64 * 1024;
} // namespace

ProviderServer::ProviderServer (const ProviderOptions& optionsToUse, LibraryMonitor& monitorToUse, AccessLog& log)
    : options (optionsToUse),
      monitor (monitorToUse),
      accessLog (log),
      server (std::make_unique<GuardedHttpServer> (connectionLimits()))
{
    // Ranges are resolved by the file answers themselves; httplib would apply them to every
    // answer, as they were asked.
    server->setHeadHandler ([] (httplib::Request& request) { request.ranges.clear(); });

    // An answer goes out as headers and then body; with Nagle's algorithm on, a body smaller
    // than a segment waits on a kept-alive connection for the client's delayed acknowledgement
    // of the headers, about 40 ms.
    server->set_tcp_nodelay (true);

    server->set_pre_routing_handler ([] (const httplib::Request& request, httplib::Response& response) {
        if (const auto refusal = refusalStatusOf (request))
        {
            response.status = refusal;
            return httplib::Server::HandlerResponse::Handled;
        }

        if (isAcceptablePath (request.path) && areAcceptableParameters (request.params))
            return httplib::Server::HandlerResponse::Unhandled;

        sendProblem (response, 400, "Bad request");
        return httplib::Server::HandlerResponse::Handled;
    });

    // Answered before the client sends the body it announced, which then never comes.
    server->set_expect_100_continue_handler ([] (const httplib::Request& request, httplib::Response& response) {
        response.status = refusalStatusOf (request);
        return response.status != 0 ? response.status : 100;
    });

    server->set_error_handler ([] (const httplib::Request&, httplib::Response& response) {
        if (const auto refused = GuardedHttpServer::refusedHeadStatus())
            response.status = refused;

        if (response.status == 405)
            response.set_header ("Allow", "GET, HEAD");

        if (response.body.empty() && ! response.has_header ("Content-Length"))
            sendProblem (response, response.status, describeStatus (response.status));
    });

    server->set_logger ([this] (const httplib::Request& request, const httplib::Response& response) {
        logRequest (request, response);
    });

    addRoutes();
}

ProviderServer::~ProviderServer() = default;

int ProviderServer::bind()
{
    const auto host = options.bindAddress.toStdString();
    const int port = options.port == 0 ? server->bind_to_any_port (host)
                                       : (server->bind_to_port (host, options.port) ? options.port : -1);

    if (port <= 0)
        return -1;

    // httplib listens with a backlog of 5: bursts of connections were dropped and retried a
    // second later.
    server->raiseListenBacklog();

    auto addresses = options.publicUrl.isNotEmpty() ? ProviderAddresses (options.publicUrl, options.mediaBaseUrl)
                                                    : ProviderAddresses::forBinding (options.bindAddress, port, options.mediaBaseUrl);
    catalogService = std::make_unique<CatalogService> (std::move (addresses), options.refreshSeconds);
    return port;
}

const ProviderAddresses& ProviderServer::getAddresses() const
{
    jassert (catalogService != nullptr);
    return catalogService->getAddresses();
}

bool ProviderServer::run()
{
    return catalogService != nullptr && server->listen_after_bind();
}

void ProviderServer::stop()
{
    server->stop();
}

GuardedHttpServer::Limits ProviderServer::connectionLimits()
{
    GuardedHttpServer::Limits limits;
    limits.requestThreads = requestThreads;
    return limits;
}

int ProviderServer::refusalStatusOf (const httplib::Request& request)
{
    if (request.method != "GET" && request.method != "HEAD")
        return 405;

    return GuardedHttpServer::announcesBody (request) ? 413 : 0;
}

bool ProviderServer::areAcceptableParameters (const httplib::Params& parameters)
{
    return std::all_of (parameters.begin(), parameters.end(), [] (const auto& parameter) {
        return Utf8Text::isCleanText (parameter.first) && Utf8Text::isCleanText (parameter.second);
    });
}

bool ProviderServer::isAcceptablePath (const std::string& path)
{
    if (path.empty() || path.front() != '/' || path.find ('\\') != std::string::npos || ! Utf8Text::isCleanText (path))
        return false;

    size_t start = 1;

    while (start <= path.size())
    {
        const auto end = std::min (path.find ('/', start), path.size());

        if (path.compare (start, end - start, "..") == 0)
            return false;

        start = end + 1;
    }

    return true;
}

std::optional<juce::String> ProviderServer::getMaintenanceMessage() const
{
    const auto file = monitor.getLibraryFolder().getChildFile (maintenanceFileName);

    if (file.existsAsFile())
    {
        const auto text = file.loadFileAsString().trim();
        return text.isNotEmpty() ? text : juce::String ("The service is undergoing maintenance");
    }

    if (options.maintenance)
        return juce::String ("The service is undergoing maintenance");

    return std::nullopt;
}

void ProviderServer::addRoutes()
{
    const auto route = [this] (const std::string& pattern, void (ProviderServer::*answer) (const httplib::Request&, httplib::Response&) const) {
        server->Get (pattern, [this, answer] (const httplib::Request& request, httplib::Response& response) {
            (this->*answer) (request, response);
        });
    };

    route (ProviderAddresses::catalogPath, &ProviderServer::answerCatalog);
    route (ProviderAddresses::homePath, &ProviderServer::answerHomePage);
    route ("/", &ProviderServer::answerHomePage);
    route (std::string (ProviderAddresses::videosPath) + "([^/]+)/([^/]+)/([^/]+)", &ProviderServer::answerVideo);
    route (std::string (ProviderAddresses::extrasPath) + "([^/]+)", &ProviderServer::answerExtra);
    route (std::string (ProviderAddresses::downloadPath) + "([^/]+)", &ProviderServer::answerInstaller);
}

void ProviderServer::answerCatalog (const httplib::Request& request, httplib::Response& response) const
{
    const auto answer = catalogService->answer (queryOf (request), monitor.getState(), getMaintenanceMessage(), juce::Time::getCurrentTime());
    response.status = answer.status;
    response.set_header ("Cache-Control", "no-store");
    response.set_content (answer.body.toStdString(), "text/xml; charset=UTF-8");
}

std::shared_ptr<const Library> ProviderServer::requireLibrary (httplib::Response& response) const
{
    auto library = monitor.getState().library;

    if (library == nullptr)
        sendProblem (response, 503, "The course library is not available at the moment");

    return library;
}

void ProviderServer::answerVideo (const httplib::Request& request, httplib::Response& response) const
{
    const auto library = requireLibrary (response);

    if (library == nullptr)
        return;

    const auto chapterId = matchAt (request, 2);
    auto* chapter = library->findChapter (matchAt (request, 1), chapterId);

    if (chapter == nullptr || matchAt (request, 3) != chapterId + ".bin")
        return sendProblem (response, 404, "No such chapter video");

    sendFile (request, response, chapter->video, "application/octet-stream");
}

void ProviderServer::answerExtra (const httplib::Request& request, httplib::Response& response) const
{
    const auto library = requireLibrary (response);

    if (library == nullptr)
        return;

    auto* extra = library->findExtra (matchAt (request, 1));

    if (extra == nullptr)
        return sendProblem (response, 404, "No such extra");

    sendFile (request, response, *extra, contentTypeOf (extra->file));
}

void ProviderServer::answerInstaller (const httplib::Request& request, httplib::Response& response) const
{
    const auto library = requireLibrary (response);

    if (library == nullptr)
        return;

    const auto& installer = library->getInstaller();

    if (! installer.isPresent() || matchAt (request, 1) != installer.file.getFileName())
        return sendProblem (response, 404, "No such installer");

    sendFile (request, response, installer, "application/octet-stream");
}

void ProviderServer::answerHomePage (const httplib::Request& request, httplib::Response& response) const
{
    HomePageBuilder::Request page;
    page.parameters = queryOf (request);

    if (request.has_header ("X-Tsy-Customuseragent"))
        page.customUserAgent = fromStd (request.get_header_value ("X-Tsy-Customuseragent"));

    page.acceptLanguage = fromStd (request.get_header_value ("Accept-Language"));

    const auto library = monitor.getState().library;
    const auto html = HomePageBuilder::build (page, library.get(), getMaintenanceMessage().has_value(), getAddresses());
    response.set_header ("Cache-Control", "no-store");
    response.set_content (html.toStdString(), "text/html; charset=UTF-8");
}

void ProviderServer::sendFile (const httplib::Request& request, httplib::Response& response, const ProvidedFile& provided, const std::string& contentType)
{
    // The length is the opened file's and every byte comes from it, so the answer stays whole
    // even if the file is replaced while it is sent (the library monitor then catches up).
    auto file = std::make_shared<const OpenedFile> (provided.file);

    // A link put in place since the library was checked could lead anywhere; the library
    // monitor catches up with such changes shortly.
    if (! file->isOpen() || file->getResolvedPath() != provided.realPath)
        return sendProblem (response, 503, "The file cannot be read at the moment");

    const auto fileLength = file->getLength();
    response.set_header ("Accept-Ranges", "bytes");

    // Without validators to compare, a conditional range gets the whole current file.
    const auto ranges = request.has_header ("If-Range") ? ByteRanges::Resolution()
                                                        : ByteRanges::resolve (fromStd (request.get_header_value ("Range")), fileLength);

    if (ranges.outcome == ByteRanges::Outcome::unsatisfiable)
    {
        response.set_header ("Content-Range", "bytes */" + std::to_string (fileLength));
        return sendProblem (response, 416, "The requested range lies outside the file");
    }

    const auto boundary = "tsy-" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64());
    auto body = std::make_shared<const FileBody> (file, ranges.spans, juce::String (contentType), boundary);
    response.status = ranges.outcome == ByteRanges::Outcome::partial ? 206 : 200;

    if (ranges.spans.size() == 1)
        response.set_header ("Content-Range", FileBody::describeSpan (ranges.spans.front(), fileLength).toStdString());

    // httplib takes a provider of length 0 for one of unknown length.
    if (body->getLength() == 0)
        return response.set_content ("", contentType);

    response.set_content_provider ((size_t) body->getLength(), body->getContentType().toStdString(), [body] (size_t offset, size_t length, httplib::DataSink& sink) {
        char block[fileBlockSize];
        const auto count = body->read ((juce::int64) offset, block, std::min (length, fileBlockSize));

        // A file cut short under us ends the connection rather than sending fewer bytes than
        // the length promised.
        return count > 0 && sink.write (block, (size_t) count);
    });
}

void ProviderServer::sendProblem (httplib::Response& response, int status, const juce::String& text)
{
    response.status = status;
    response.set_content ((text + "\n").toStdString(), "text/plain; charset=UTF-8");
}

std::string ProviderServer::contentTypeOf (const juce::File& file)
{
    const auto extension = file.getFileExtension().toLowerCase();

    if (extension == ".png")
        return "image/png";

    if (extension == ".jpg" || extension == ".jpeg")
        return "image/jpeg";

    if (extension == ".gif")
        return "image/gif";

    if (extension == ".zip")
        return "application/zip";

    return "application/octet-stream";
}

void ProviderServer::logRequest (const httplib::Request& request, const httplib::Response& response) const
{
    AccessLog::Entry entry;
    entry.time = juce::Time::getCurrentTime();
    auto address = request.remote_addr;
    auto port = request.remote_port;

    // httplib learns the client's address only from a complete head.
    if (address.empty())
        GuardedHttpServer::getCurrentPeer (address, port);

    entry.client = asSent (address) + ":" + juce::String (port);
    entry.method = asSent (request.method);
    entry.target = asSent (request.target);
    entry.version = asSent (request.version);
    entry.status = response.status;
    entry.bodySize = response.body.empty() && response.has_header ("Content-Length")
                       ? fromStd (response.get_header_value ("Content-Length")).getLargeIntValue()
                       : (juce::int64) response.body.size();

    for (auto& [name, value] : request.headers)
        if (! isConnectionDetail (name))
            entry.headers.emplace_back (asSent (name), asSent (value));

    accessLog.write (entry);
}
} // namespace provider
