#pragma once

#include "provider/Library.h"
#include "provider/ProviderAddresses.h"

#include <optional>

namespace provider
{
/**
    Builds the provider's home page: an HTML page that shows what the request carried (the
    client's "X-Tsy-Customuseragent" header and the "loginbutton", "username", "password" and
    "needupdate" parameters), greets a signed-in user, and lists the courses of the library.

    The password is never shown, only whether it matched. Every text from the request or the
    library is escaped. Pure functions of their arguments: any thread may call them.
*/
class HomePageBuilder final
{
public:
    /** The request as the page sees it. */
    struct Request
    {
        /** The "X-Tsy-Customuseragent" header; none when it was not sent. */
        std::optional<juce::String> customUserAgent;

        /** The query parameters, names compared exactly. */
        juce::StringPairArray parameters { false };
    };

    /** The whole page. library may be null while the library cannot be loaded. */
    static juce::String build (const Request& request,
                               const Library* library,
                               bool inMaintenance,
                               const ProviderAddresses& addresses);

    /** The user whom "username" and "password" ("$$" followed by the password hash) identify;
        null when they do not match a user.
    */
    static const LibraryUser* findSignedInUser (const Request& request, const Library& library);

    /** Text made safe to place in HTML content and attribute values. */
    static juce::String escape (const juce::String& text);

private:
    static juce::String describeReceived (const Request& request, const Library* library);
    static juce::String describeCourse (const LibraryCourse& course);
    static juce::String listCourses (const Library& library, const ProviderAddresses& addresses);

    HomePageBuilder() = delete;
};
} // namespace provider
