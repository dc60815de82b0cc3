#pragma once

#include "provider/HomePageBuilder.h"

namespace provider
{
/**
    The home page's diagnostic view ("home.php?debug=1"): what the request carried (the
    client's "X-Tsy-Customuseragent" header and the "loginbutton", "username", "password" and
    "needupdate" parameters, the chapters with their titles), whether the password matched, the
    welcome line for a signed-in user and the courses of both languages; with "course" also
    that course's lessons and chapters. For people and test suites checking what a client sends.

    The password is never shown, only whether it matched. Every text from the request or the
    library is escaped. Pure functions of their arguments: any thread may call them.
*/
class DiagnosticPageBuilder final
{
public:
    /** The whole page. library may be null while the library cannot be loaded. */
    static juce::String build (const HomePageBuilder::Request& request,
                               const Library* library,
                               bool inMaintenance,
                               const ProviderAddresses& addresses);

private:
    static juce::String describeReceived (const HomePageBuilder::Request& request, const Library* library);
    static juce::String describeCourse (const LibraryCourse& course);
    static juce::String listCourses (const Library& library, const ProviderAddresses& addresses);

    DiagnosticPageBuilder() = delete;
};
} // namespace provider
