#include "tests/common/TestHttpServer.h"

#include <httplib.h>

#include <mutex>
#include <thread>

struct TestHttpServer::Impl
{
    httplib::Server server;
    std::thread thread;
    int port = 0;
    mutable std::mutex lock;
    std::vector<Request> requests;
    std::function<Response (const Request&)> handler = [] (const Request&) { return Response { 404, {}, "text/plain" }; };
};

TestHttpServer::TestHttpServer (bool keepConnectionsOpen) : impl (std::make_unique<Impl>())
{
    // A connection left open would keep the server's shutdown waiting for its idle time-out.
    if (keepConnectionsOpen)
        impl->server.set_keep_alive_timeout (1);
    else
        impl->server.set_keep_alive_max_count (1);

    impl->server.Get (".*", [this] (const httplib::Request& req, httplib::Response& res) {
        Request request;
        request.path = juce::String::fromUTF8 (req.path.c_str());
        request.remotePort = req.remote_port;

        const auto target = juce::String::fromUTF8 (req.target.c_str());
        request.query = target.fromFirstOccurrenceOf ("?", false, false);

        for (const auto& [name, value] : req.params)
            request.parameters.set (juce::String::fromUTF8 (name.c_str()), juce::String::fromUTF8 (value.c_str()));

        for (const auto& [name, value] : req.headers)
            request.headers.set (juce::String::fromUTF8 (name.c_str()), juce::String::fromUTF8 (value.c_str()));

        std::function<Response (const Request&)> handler;
        {
            const std::lock_guard<std::mutex> sl (impl->lock);
            impl->requests.push_back (request);
            handler = impl->handler;
        }

        const auto response = handler (request);
        res.status = response.status;
        if (response.data.getSize() > 0)
            res.set_content (std::string ((const char*) response.data.getData(), response.data.getSize()), response.contentType.toStdString());
        else
            res.set_content (response.body.toStdString(), response.contentType.toStdString());
    });

    impl->port = impl->server.bind_to_any_port ("127.0.0.1");
    impl->thread = std::thread ([this] { impl->server.listen_after_bind(); });

    while (! impl->server.is_running())
        std::this_thread::sleep_for (std::chrono::milliseconds (1));
}

TestHttpServer::~TestHttpServer()
{
    impl->server.stop();
    impl->thread.join();
}

juce::String TestHttpServer::getBaseUrl() const
{
    return "http://127.0.0.1:" + juce::String (impl->port) + "/";
}

void TestHttpServer::setHandler (std::function<Response (const Request&)> handler)
{
    const std::lock_guard<std::mutex> sl (impl->lock);
    impl->handler = std::move (handler);
}

void TestHttpServer::answerWith (const juce::String& body, int status)
{
    setHandler ([body, status] (const Request&) { return Response { status, body }; });
}

std::vector<TestHttpServer::Request> TestHttpServer::getRequests() const
{
    const std::lock_guard<std::mutex> sl (impl->lock);
    return impl->requests;
}
