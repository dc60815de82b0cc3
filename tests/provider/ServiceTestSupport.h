#pragma once

#include "ProviderProcess.h"

#include <httplib.h>

/** Helpers of the tests that talk to the real tsy-provider; called on the test's thread. */
namespace ServiceTestSupport
{
inline juce::String md5OfBytes (const std::string& bytes)
{
    return juce::MD5 (bytes.data(), bytes.size()).toHexString();
}

inline juce::String md5OfPassword (const juce::String& text)
{
    return juce::MD5 (text.toUTF8()).toHexString();
}

/** A client that sends paths exactly as written, escapes included. */
inline std::unique_ptr<httplib::Client> clientFor (const ProviderProcess& provider, int readTimeoutSeconds = 20)
{
    auto client = std::make_unique<httplib::Client> ("127.0.0.1", provider.getPort());
    client->set_url_encode (false);
    client->set_connection_timeout (5);
    client->set_read_timeout (readTimeoutSeconds);
    return client;
}

/** The path and query of an absolute address the provider handed out. */
inline std::string pathOf (const juce::String& url)
{
    return "/" + url.fromFirstOccurrenceOf ("://", false, false).fromFirstOccurrenceOf ("/", false, false).toStdString();
}

inline std::unique_ptr<juce::XmlElement> getXml (httplib::Client& client, const juce::String& path)
{
    auto result = client.Get (path.toStdString());

    if (! result)
        return nullptr;

    return juce::parseXML (juce::String::fromUTF8 (result->body.data(), (int) result->body.size()));
}

inline juce::String catalogQuery (const juce::String& rest)
{
    return "/catalog.php?" + rest;
}

inline juce::String userQuery (const juce::String& userName, const juce::String& password, const juce::String& rest)
{
    return catalogQuery ("auth=1&username=" + juce::URL::addEscapeChars (userName, true) + "&password=" + md5OfPassword (password) + rest);
}

inline juce::String errorCodeOf (const std::unique_ptr<juce::XmlElement>& root)
{
    return root != nullptr && root->hasTagName ("error") ? root->getStringAttribute ("code") : "(no error)";
}

inline long peakMemoryKb (pid_t pid)
{
    const auto status = juce::File ("/proc/" + juce::String (pid) + "/status").loadFileAsString();
    return status.fromFirstOccurrenceOf ("VmHWM:", false, false).trim().getLargeIntValue();
}

/** Asks again until the answer satisfies a condition; false after timeoutMs. */
template <typename Condition>
bool eventually (int timeoutMs, Condition&& condition)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() > end)
            return false;

        juce::Thread::sleep (50);
    }

    return true;
}
} // namespace ServiceTestSupport
