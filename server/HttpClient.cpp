#include "server/HttpClient.h"

#include <curl/curl.h>

namespace
{
void initialiseLibcurl()
{
    // curl_global_init is not safe to race with itself; a function-local static runs it once.
    static const auto initialised = curl_global_init (CURL_GLOBAL_DEFAULT);
    juce::ignoreUnused (initialised);
}

/** libcurl's receive buffer: large pieces mean fewer calls per megabyte of a video. */
constexpr long receiveBufferBytes = 256 * 1024;

/** The longest a silent request sleeps before it looks at its stall clock again. */
constexpr double longestPollMs = 1000.0;
} // namespace

//==============================================================================
struct HttpClient::Handles
{
    Handles()
    {
        initialiseLibcurl();
        easy = curl_easy_init();
        multi = curl_multi_init();
    }

    ~Handles()
    {
        // The easy handle is never left in the multi handle, so the multi handle goes first and
        // closes the connection it kept.
        if (multi != nullptr)
            curl_multi_cleanup (multi);

        if (easy != nullptr)
            curl_easy_cleanup (easy);
    }

    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    char errorText[CURL_ERROR_SIZE] = {};
};

//==============================================================================
/** One request's state, reached from libcurl's callbacks. */
class HttpClient::Transfer
{
public:
    Transfer (CURL* e, const BodyCallback& body, const HeadCallback& head) : easy (e), onBody (body), onHead (head) {}

    static size_t receiveHeader (char* data, size_t size, size_t count, void* user)
    {
        auto& transfer = *static_cast<Transfer*> (user);
        const auto numBytes = size * count;
        transfer.bytesReceived += (juce::int64) numBytes;

        const auto line = juce::String::fromUTF8 (data, (int) numBytes).trimEnd();

        // A redirect or an interim answer is followed by another head: only the last one counts.
        if (line.startsWith ("HTTP/"))
            transfer.response.headers.clear();
        else if (line.containsChar (':'))
            transfer.response.headers.set (line.upToFirstOccurrenceOf (":", false, false).trim(),
                                           line.fromFirstOccurrenceOf (":", false, false).trim());

        return numBytes;
    }

    static size_t receiveBody (char* data, size_t size, size_t count, void* user)
    {
        auto& transfer = *static_cast<Transfer*> (user);
        const auto numBytes = size * count;
        transfer.bytesReceived += (juce::int64) numBytes;
        transfer.deliverHead();
        transfer.response.bodyBytes += (juce::int64) numBytes;

        if (transfer.onBody != nullptr && numBytes > 0 && ! transfer.onBody (data, numBytes))
        {
            transfer.refused = true;
            return 0;
        }

        return numBytes;
    }

    /** Reads status and declared length from libcurl and hands the head over, once. */
    void deliverHead()
    {
        if (headDelivered)
            return;

        long status = 0;
        curl_easy_getinfo (easy, CURLINFO_RESPONSE_CODE, &status);
        curl_off_t length = -1;
        curl_easy_getinfo (easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        response.status = (int) status;
        response.declaredLength = (juce::int64) length;

        if (response.status <= 0)
            return;

        headDelivered = true;

        if (onHead != nullptr)
            onHead (response);
    }

    CURL* const easy;
    const BodyCallback& onBody;
    const HeadCallback& onHead;
    Response response;
    juce::int64 bytesReceived = 0;
    bool headDelivered = false;
    bool refused = false;
};

//==============================================================================
HttpClient::HttpClient() : handles (std::make_unique<Handles>())
{
    auto* easy = handles->easy;
    curl_easy_setopt (easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt (easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt (easy, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt (easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt (easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt (easy, CURLOPT_BUFFERSIZE, receiveBufferBytes);
    curl_easy_setopt (easy, CURLOPT_ERRORBUFFER, handles->errorText);
    curl_easy_setopt (easy, CURLOPT_HEADERFUNCTION, &Transfer::receiveHeader);
    curl_easy_setopt (easy, CURLOPT_WRITEFUNCTION, &Transfer::receiveBody);
}

HttpClient::~HttpClient() = default;

HttpClient& HttpClient::forThisThread()
{
    thread_local HttpClient client;
    return client;
}

HttpClient::Response HttpClient::get (const Request& request, const BodyCallback& onBody, const HeadCallback& onHead)
{
    return perform (request, onBody, onHead);
}

HttpClient::Response HttpClient::get (const Request& request, juce::MemoryBlock& body, size_t maxBytes)
{
    size_t used = 0;
    body.setSize (0);

    const HeadCallback reserve = [&] (const Response& head)
    {
        if (head.declaredLength > 0 && (size_t) head.declaredLength <= maxBytes)
            body.ensureSize ((size_t) head.declaredLength);
    };

    const BodyCallback append = [&] (const void* data, size_t numBytes)
    {
        if (numBytes > maxBytes - used)
            return false;

        // Doubling keeps a body of unknown length from being copied over and over.
        if (used + numBytes > body.getSize())
            body.setSize (juce::jmax (used + numBytes, juce::jmin (maxBytes, body.getSize() * 2)));

        memcpy (static_cast<char*> (body.getData()) + used, data, numBytes);
        used += numBytes;
        return true;
    };

    auto response = perform (request, append, reserve);
    body.setSize (used);
    return response;
}

void HttpClient::cancel()
{
    cancelRequested = true;
    curl_multi_wakeup (handles->multi);
}

void HttpClient::exitSignalSent()
{
    // Called on the thread that asks ours to stop: wakes the request, which then sees it.
    curl_multi_wakeup (handles->multi);
}

bool HttpClient::shouldStop (juce::Thread* thread) const
{
    return cancelRequested || (thread != nullptr && thread->threadShouldExit());
}

HttpClient::Response HttpClient::perform (const Request& request, const BodyCallback& onBody, const HeadCallback& onHead)
{
    const auto& limits = request.limits;
    auto* easy = handles->easy;
    auto* multi = handles->multi;
    Transfer transfer (easy, onBody, onHead);
    handles->errorText[0] = 0;

    curl_easy_setopt (easy, CURLOPT_URL, request.url.toRawUTF8());
    curl_easy_setopt (easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt (easy, CURLOPT_CONNECTTIMEOUT_MS, (long) limits.connectTimeoutMs);
    curl_easy_setopt (easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt (easy, CURLOPT_WRITEDATA, &transfer);

    // Listening to the thread before looking at its stop request means no request is missed.
    auto* thread = juce::Thread::getCurrentThread();
    cancelRequested = false;

    if (thread != nullptr)
        thread->addListener (this);

    auto& response = transfer.response;
    auto finished = false;

    if (curl_multi_add_handle (multi, easy) == CURLM_OK)
    {
        auto windowStart = juce::Time::getMillisecondCounterHiRes();
        const auto deadline = windowStart + limits.totalTimeoutMs;
        juce::int64 windowBytes = 0;

        for (;;)
        {
            auto running = 0;

            if (curl_multi_perform (multi, &running) != CURLM_OK)
                break;

            if (running == 0)
            {
                finished = true;
                break;
            }

            if (shouldStop (thread))
            {
                response.outcome = Outcome::cancelled;
                break;
            }

            const auto now = juce::Time::getMillisecondCounterHiRes();

            if (transfer.bytesReceived - windowBytes >= limits.stallMinimumBytes)
            {
                windowStart = now;
                windowBytes = transfer.bytesReceived;
            }
            else if (now - windowStart >= limits.stallTimeoutMs)
            {
                response.outcome = Outcome::stalled;
                break;
            }

            if (now >= deadline)
            {
                response.outcome = Outcome::timedOut;
                break;
            }

            const auto nextCheck = juce::jmin (windowStart + limits.stallTimeoutMs, deadline);
            const auto waitMs = juce::jlimit (1.0, longestPollMs, nextCheck - now);
            curl_multi_poll (multi, nullptr, 0, (int) std::ceil (waitMs), nullptr);
        }

        if (finished)
        {
            auto result = CURLE_OK;
            auto queued = 0;

            while (const auto* message = curl_multi_info_read (multi, &queued))
                if (message->msg == CURLMSG_DONE && message->easy_handle == easy)
                    result = message->data.result;

            if (result == CURLE_OK)
                response.outcome = Outcome::complete;
            else
                response.outcome = transfer.refused ? Outcome::stoppedByReceiver : Outcome::failed;

            if (result != CURLE_OK)
                response.errorText = handles->errorText[0] != 0 ? juce::String (handles->errorText)
                                                                : juce::String (curl_easy_strerror (result));
        }

        curl_multi_remove_handle (multi, easy);
    }

    if (thread != nullptr)
        thread->removeListener (this);

    transfer.deliverHead();
    return response;
}

//==============================================================================
juce::String HttpClient::escapeQueryComponent (const juce::String& text)
{
    juce::String escaped;
    escaped.preallocateBytes (text.getNumBytesAsUTF8() * 3);

    for (auto* p = text.toRawUTF8(); *p != 0; ++p)
    {
        const auto byte = (unsigned char) *p;

        const auto unreserved = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')
                                || byte == '-' || byte == '.' || byte == '_' || byte == '~';

        if (unreserved)
            escaped << (char) byte;
        else
            escaped << '%' << juce::String::toHexString ((int) byte).paddedLeft ('0', 2).toUpperCase();
    }

    return escaped;
}

juce::String HttpClient::withQuery (const juce::String& address, const Parameters& parameters)
{
    juce::StringArray pairs;

    for (const auto& [name, value] : parameters)
        pairs.add (escapeQueryComponent (name) + "=" + escapeQueryComponent (value));

    if (pairs.isEmpty())
        return address;

    return address + (address.containsChar ('?') ? "&" : "?") + pairs.joinIntoString ("&");
}
