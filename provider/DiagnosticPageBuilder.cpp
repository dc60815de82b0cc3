#include "provider/DiagnosticPageBuilder.h"

namespace provider
{
namespace
{
const char* const notSent = "<em>(not sent)</em>";

juce::String row (const juce::String& name, const juce::String& id, const juce::String& html)
{
    return "<tr><th>" + HomePageBuilder::escape (name) + "</th><td id=\"" + id + "\">" + html + "</td></tr>\n";
}

juce::String languageHeading (const juce::String& lang)
{
    return lang == "it" ? "Corsi in italiano" : "Courses in English";
}
} // namespace

juce::String DiagnosticPageBuilder::build (const HomePageBuilder::Request& request,
                                          const Library* library,
                                          bool inMaintenance,
                                          const ProviderAddresses& addresses)
{
    const auto siteName = HomePageBuilder::escape (library != nullptr ? library->getName() : juce::String ("Tessaly"));

    juce::String page;
    page << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         << "<title>" << siteName << " &ndash; diagnostics</title>\n"
         << "<style>\n"
         << "body { font-family: sans-serif; background: #f4f5f7; color: #222; margin: 1.5em 2em; }\n"
         << "h1 { color: #2a6f97; } th { text-align: left; padding-right: 1em; vertical-align: top; }\n"
         << ".notice { background: #fbe3c0; padding: 0.5em 1em; } .welcome { font-size: 1.2em; }\n"
         << "</style>\n</head>\n<body>\n"
         << "<h1>" << siteName << "</h1>\n";

    if (inMaintenance)
        page << "<p class=\"notice\" id=\"maintenance\">The catalog service is undergoing maintenance; "
                "videos and extras can still be downloaded.</p>\n";

    if (library == nullptr)
    {
        page << "<p class=\"notice\">The course library is not available at the moment.</p>\n";
    }
    else if (request.parameters.getValue ("loginbutton", {}) == "1")
    {
        if (auto* user = HomePageBuilder::findSignedInUser (request, *library))
            page << "<p class=\"welcome\" id=\"welcome\">Welcome back, " << HomePageBuilder::escape (user->name) << ".</p>\n";
    }

    page << describeReceived (request, library);

    if (library != nullptr)
    {
        if (auto* course = library->findCourse (request.parameters.getValue ("course", {})))
            page << describeCourse (*course);

        page << listCourses (*library, addresses);
    }

    page << "</body>\n</html>\n";
    return page;
}

juce::String DiagnosticPageBuilder::describeReceived (const HomePageBuilder::Request& request, const Library* library)
{
    const auto& parameters = request.parameters;
    const auto sent = [&parameters] (const char* name) { return parameters.getAllKeys().contains (name); };

    juce::String html;
    html << "<h2>What this page received</h2>\n<table>\n";
    html << row ("X-Tsy-Customuseragent", "useragent", request.customUserAgent.has_value() ? HomePageBuilder::escape (*request.customUserAgent) : notSent);

    for (auto* name : { "loginbutton", "username" })
        html << row (name, name, sent (name) ? HomePageBuilder::escape (parameters.getValue (name, {})) : notSent);

    juce::String password = notSent;

    if (sent ("password"))
    {
        auto* user = library != nullptr ? HomePageBuilder::findSignedInUser (request, *library) : nullptr;
        password = user != nullptr ? "accepted for " + HomePageBuilder::escape (user->name) : juce::String ("not accepted");
    }

    html << row ("password", "password", password);

    juce::String needUpdate = notSent;

    if (sent ("needupdate"))
    {
        needUpdate = "<ul>";

        for (auto& id : juce::StringArray::fromTokens (parameters.getValue ("needupdate", {}), ",", {}))
        {
            auto* chapter = library != nullptr ? library->findChapter (id) : nullptr;
            needUpdate << "<li>" << HomePageBuilder::escape (id)
                       << (chapter != nullptr ? " &ndash; " + HomePageBuilder::escape (chapter->title) : juce::String (" &ndash; unknown chapter"))
                       << "</li>";
        }

        needUpdate << "</ul>";
    }

    html << row ("needupdate", "needupdate", needUpdate);
    html << row ("page language", "language", HomePageBuilder::chooseLanguage (request, library)) << "</table>\n";
    return html;
}

juce::String DiagnosticPageBuilder::describeCourse (const LibraryCourse& course)
{
    juce::String html;
    html << "<h2 id=\"course\">" << HomePageBuilder::escape (course.title) << "</h2>\n<p>" << HomePageBuilder::escape (course.description) << "</p>\n<ol>\n";

    for (auto& lesson : course.lessons)
    {
        html << "<li>" << HomePageBuilder::escape (lesson.title) << "<ol>";

        for (auto& chapter : lesson.chapters)
            html << "<li>" << HomePageBuilder::escape (chapter.title) << "</li>";

        html << "</ol></li>\n";
    }

    return html + "</ol>\n";
}

juce::String DiagnosticPageBuilder::listCourses (const Library& library, const ProviderAddresses& addresses)
{
    juce::String html;

    for (auto* lang : { "it", "en" })
    {
        html << "<h2>" << languageHeading (lang) << "</h2>\n<ul>\n";

        for (auto& course : library.getCourses())
        {
            if (course.lang != lang)
                continue;

            int chapters = 0;

            for (auto& lesson : course.lessons)
                chapters += (int) lesson.chapters.size();

            html << "<li><a href=\"" << HomePageBuilder::escape (addresses.getCoursePage (course.id)) << "\">" << HomePageBuilder::escape (course.title) << "</a> ("
                 << (int) course.lessons.size() << " lessons, " << chapters << " chapters)</li>\n";
        }

        html << "</ul>\n";
    }

    return html;
}
} // namespace provider
