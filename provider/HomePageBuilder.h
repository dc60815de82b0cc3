#pragma once

#include "provider/HomePageTexts.h"
#include "provider/Library.h"
#include "provider/ProviderAddresses.h"

#include <optional>

namespace provider
{
/**
    Builds the provider's home page, the first thing a player's user sees: a welcome in the
    catalog's language (Italian or English) greeting the signed-in user by name or saying how to
    sign in, the chapters named by "needupdate" as updates to download, and the courses of that
    language with their covers; with "course" a course's own page, in the course's language, with
    its lessons and chapters. "debug" = "1" gives the diagnostic view (DiagnosticPageBuilder).

    Self-contained HTML and CSS (the only other resources are the covers the provider publishes).
    The password hash is never shown. Every text from the request or the library is escaped.
    Pure functions of their arguments: any thread may call them.
*/
class HomePageBuilder final
{
public:
    /** The request as the page sees it. */
    struct Request
    {
        /** The "X-Tsy-Customuseragent" header; none when it was not sent. */
        std::optional<juce::String> customUserAgent;

        /** The "Accept-Language" header; empty when it was not sent. */
        juce::String acceptLanguage;

        /** The query parameters, names compared exactly. */
        juce::StringPairArray parameters { false };
    };

    /** The whole page. library may be null while the library cannot be loaded. */
    static juce::String build (const Request& request,
                               const Library* library,
                               bool inMaintenance,
                               const ProviderAddresses& addresses);

    /** The language of the home page, "it" or "en", from the first of these that tells: the
        "lang" parameter; the courses of the chapters named by "needupdate" (they come from the
        player's current catalog); the signed-in user's language in the library; the
        "Accept-Language" header (the player's browser sends the system's language); the
        library's default.
    */
    static juce::String chooseLanguage (const Request& request, const Library* library);

    /** The user whom "username" and "password" ("$$" followed by the password hash) identify;
        null when they do not match a user.
    */
    static const LibraryUser* findSignedInUser (const Request& request, const Library& library);

    /** Text made safe to place in HTML content and attribute values. */
    static juce::String escape (const juce::String& text);

    /** A running time as people read it: "45 s", "12 min", "1 h 05 min". */
    static juce::String formatDuration (double seconds);

private:
    static juce::String startPage (const juce::String& title, const juce::String& lang, const juce::String& siteName, const ProviderAddresses& addresses);
    static juce::String endPage (const HomePageTexts& texts, const Library* library);
    static juce::String welcome (const Request& request, const Library& library, const HomePageTexts& texts);
    static juce::String updates (const juce::StringArray& chapterIds, const Library& library, const HomePageTexts& texts);
    static juce::String courseCards (const Library& library, const HomePageTexts& texts, const ProviderAddresses& addresses);
    static juce::String coursePage (const LibraryCourse& course, const HomePageTexts& texts, const ProviderAddresses& addresses);
    static juce::String cover (const LibraryCourse& course, const ProviderAddresses& addresses);
    static juce::String describeSize (const LibraryCourse& course, const HomePageTexts& texts);
    static juce::StringArray chaptersToUpdate (const Request& request);

    HomePageBuilder() = delete;
};
} // namespace provider
