#include "provider/ProviderAddresses.h"

namespace provider
{
namespace
{
juce::String withFinalSlash (const juce::String& url)
{
    return url.endsWithChar ('/') ? url : url + "/";
}
} // namespace

ProviderAddresses::ProviderAddresses (const juce::String& baseUrl, const juce::String& mediaBaseUrl)
    : base (withFinalSlash (baseUrl)),
      mediaBase (mediaBaseUrl.isNotEmpty() ? withFinalSlash (mediaBaseUrl) : base)
{
}

ProviderAddresses ProviderAddresses::forBinding (const juce::String& bindAddress, int port, const juce::String& mediaBaseUrl)
{
    auto host = bindAddress;

    if (host.isEmpty() || host == "0.0.0.0")
        host = "127.0.0.1";
    else if (host == "::")
        host = "[::1]";
    else if (host.containsChar (':'))
        host = "[" + host + "]";

    return ProviderAddresses ("http://" + host + ":" + juce::String (port) + "/", mediaBaseUrl);
}

bool ProviderAddresses::isValidBase (const juce::String& text)
{
    const auto rest = text.fromFirstOccurrenceOf ("://", false, false);
    const auto scheme = text.upToFirstOccurrenceOf ("://", false, false);

    return (scheme == "http" || scheme == "https") && rest.isNotEmpty() && ! rest.startsWithChar ('/')
        && ! text.containsAnyOf ("?# \t\r\n");
}

juce::String ProviderAddresses::getExtra (const ProvidedFile& file) const
{
    return mediaBase + juce::String (extrasPath).substring (1) + file.checksumName();
}

juce::String ProviderAddresses::getInstaller (const ProvidedFile& file) const
{
    return mediaBase + juce::String (downloadPath).substring (1) + juce::URL::addEscapeChars (file.file.getFileName(), false);
}

juce::String ProviderAddresses::getCoursePage (const juce::String& courseId) const
{
    return getHomePage() + "?course=" + juce::URL::addEscapeChars (courseId, true);
}
} // namespace provider
