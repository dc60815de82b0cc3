#include "provider/HomePageBuilder.h"

#include "provider/DiagnosticPageBuilder.h"

namespace provider
{
namespace
{
/** The page's look: self-contained, for the player's embedded browser and any other. */
const char* const style = R"css(
:root { --ink: #1f2933; --muted: #616e7c; --accent: #2a6f97; --accent-dark: #1d4f6d; --paper: #f3f5f8;
        --card: #ffffff; --line: #e4e7eb; --warn: #fff4e0; --warn-ink: #7a4a00; --fresh: #2f9e6e; }
* { box-sizing: border-box; }
body { margin: 0; background: var(--paper); color: var(--ink); line-height: 1.5;
       font-family: "DejaVu Sans", "Segoe UI", "Helvetica Neue", Arial, sans-serif; }
a { color: var(--accent); }
header.site { background: linear-gradient(135deg, #173f58, var(--accent) 65%, #3f93bd); color: #fff;
              padding: 1em 2em; display: flex; align-items: center; justify-content: space-between; }
header.site .brand { color: #fff; font-size: 1.35em; font-weight: bold; letter-spacing: .05em; text-decoration: none; }
nav.languages a { color: #cfe6f3; margin-left: 1em; text-decoration: none; font-size: .9em; }
nav.languages a.current { color: #fff; font-weight: bold; border-bottom: 2px solid #fff; }
main { max-width: 1120px; margin: 0 auto; padding: 1.6em 2em 2.5em; }
.panel { background: var(--card); border-radius: 12px; padding: 1.3em 1.8em; margin-bottom: 1.6em;
         box-shadow: 0 2px 8px rgba(31, 41, 51, .08); }
.hero h1 { margin: 0 0 .25em; color: var(--accent-dark); font-size: 1.75em; }
.hero p { margin: 0; color: var(--muted); }
.notice { background: var(--warn); color: var(--warn-ink); border-left: 4px solid #f0a030;
          padding: .7em 1em; border-radius: 6px; margin: 0 0 1.4em; }
.hero .notice { margin: .8em 0 0; }
h2 { font-size: 1.25em; color: var(--accent-dark); margin: 0 0 .7em; }
.updates { border-top: 4px solid var(--fresh); }
.updates p { margin: 0 0 .4em; color: var(--muted); }
.updates ul { list-style: none; padding: 0; margin: 0; }
.updates li { display: flex; flex-wrap: wrap; align-items: baseline; gap: .15em 1em; padding: .5em 0; border-bottom: 1px solid var(--line); }
.updates li:last-child { border-bottom: 0; }
.updates .chapter { font-weight: bold; }
.updates .where, .updates .date, .updates .unknown { color: var(--muted); font-size: .9em; }
.courses { display: grid; grid-template-columns: repeat(auto-fill, minmax(380px, 1fr)); gap: 1.3em; }
.course { background: var(--card); border-radius: 12px; overflow: hidden; display: flex;
          box-shadow: 0 2px 8px rgba(31, 41, 51, .08); transition: transform .15s, box-shadow .15s; }
.course:hover { transform: translateY(-2px); box-shadow: 0 8px 18px rgba(31, 41, 51, .15); }
.cover { display: block; aspect-ratio: 3 / 4; background: linear-gradient(135deg, #9fb3c8, #627d98); overflow: hidden; }
.course .cover { flex: 0 0 9em; }
.cover img { width: 100%; height: 100%; object-fit: cover; display: block; }
.cover .initials { display: flex; height: 100%; align-items: center; justify-content: center;
                   font-size: 2.4em; font-weight: bold; color: #fff; text-shadow: 0 1px 3px rgba(0, 0, 0, .3); }
.course .body { padding: 1em 1.2em; min-width: 0; }
.course h3 { margin: 0 0 .25em; font-size: 1.08em; }
.course h3 a { color: var(--ink); text-decoration: none; }
.course h3 a:hover { color: var(--accent); }
.meta { color: var(--muted); font-size: .85em; margin: 0 0 .5em; }
.description { margin: 0; font-size: .95em; }
.course-page { display: grid; grid-template-columns: minmax(180px, 300px) 1fr; gap: 2em; align-items: start; }
.course-page .cover { border-radius: 12px; }
.course-page h1 { margin: 0 0 .3em; color: var(--accent-dark); font-size: 1.6em; }
.course-page .description { margin: 0 0 1.2em; }
.facts { color: var(--muted); font-size: .9em; padding: 0; list-style: none; margin: .8em 0 0; }
ol.lessons { padding-left: 1.4em; margin: 0; }
ol.lessons > li { margin-bottom: 1em; }
ol.lessons h3 { font-size: 1.02em; margin: 0 0 .3em; }
ol.chapters { padding-left: 1.3em; margin: 0; color: var(--ink); }
ol.chapters li { padding: .15em 0; }
ol.chapters .duration { color: var(--muted); font-size: .85em; margin-left: .6em; }
.back { display: inline-block; margin-bottom: 1em; text-decoration: none; }
footer.site { text-align: center; color: var(--muted); font-size: .85em; padding: 1em 2em 2em; }
@media (max-width: 640px) { main { padding: 1em; } .courses, .course-page { grid-template-columns: 1fr; } }
)css";

juce::String number (int value)
{
    return juce::String (value);
}

int countChapters (const LibraryCourse& course)
{
    int count = 0;

    for (auto& lesson : course.lessons)
        count += (int) lesson.chapters.size();

    return count;
}

/** The initials of a title, for a course without a cover. */
juce::String initialsOf (const juce::String& title)
{
    juce::String initials;

    for (auto& word : juce::StringArray::fromTokens (title, " -", {}))
        if (word.isNotEmpty() && initials.length() < 2 && juce::CharacterFunctions::isLetterOrDigit (word[0]))
            initials << juce::String::charToString (juce::CharacterFunctions::toUpperCase (word[0]));

    return initials;
}

/** The language of "Accept-Language" preferred among those of the catalog; empty when none. */
juce::String preferredOf (const juce::String& acceptLanguage)
{
    juce::String best;
    double bestWeight = 0.0;

    for (auto& item : juce::StringArray::fromTokens (acceptLanguage, ",", {}))
    {
        const auto tag = item.upToFirstOccurrenceOf (";", false, false).trim().toLowerCase();
        const auto primary = tag.upToFirstOccurrenceOf ("-", false, false);
        const auto quality = item.fromFirstOccurrenceOf ("q=", false, true).trim();
        const auto weight = quality.isEmpty() ? 1.0 : quality.getDoubleValue();

        if (Library::isSupportedLanguage (primary) && weight > bestWeight)
        {
            best = primary;
            bestWeight = weight;
        }
    }

    return best;
}
} // namespace

juce::String HomePageBuilder::escape (const juce::String& text)
{
    return text.replace ("&", "&amp;")
        .replace ("<", "&lt;")
        .replace (">", "&gt;")
        .replace ("\"", "&quot;")
        .replace ("'", "&#39;");
}

juce::String HomePageBuilder::formatDuration (double seconds)
{
    const auto total = (int) std::lround (std::max (0.0, seconds));

    if (total < 60)
        return number (total) + " s";

    const auto minutes = (total + 30) / 60;

    if (minutes < 60)
        return number (minutes) + " min";

    return number (minutes / 60) + " h " + juce::String (minutes % 60).paddedLeft ('0', 2) + " min";
}

const LibraryUser* HomePageBuilder::findSignedInUser (const Request& request, const Library& library)
{
    const auto userName = request.parameters.getValue ("username", {});
    auto password = request.parameters.getValue ("password", {});

    if (password.startsWith ("$$"))
        password = password.substring (2);

    return library.findSignedInUser (userName, password);
}

juce::StringArray HomePageBuilder::chaptersToUpdate (const Request& request)
{
    auto ids = juce::StringArray::fromTokens (request.parameters.getValue ("needupdate", {}), ",", {});
    ids.trim();
    ids.removeEmptyStrings();
    ids.removeDuplicates (false);
    return ids;
}

juce::String HomePageBuilder::chooseLanguage (const Request& request, const Library* library)
{
    const auto asked = request.parameters.getValue ("lang", {}).trim().toLowerCase();

    if (Library::isSupportedLanguage (asked))
        return asked;

    if (library == nullptr)
        return preferredOf (request.acceptLanguage).isNotEmpty() ? preferredOf (request.acceptLanguage) : juce::String ("en");

    for (auto& id : chaptersToUpdate (request))
        if (auto* course = library->findCourseOfChapter (id))
            return course->lang;

    if (auto* user = findSignedInUser (request, *library))
        if (user->lang.isNotEmpty())
            return user->lang;

    const auto preferred = preferredOf (request.acceptLanguage);
    return preferred.isNotEmpty() ? preferred : library->getDefaultLanguage();
}

juce::String HomePageBuilder::build (const Request& request,
                                     const Library* library,
                                     bool inMaintenance,
                                     const ProviderAddresses& addresses)
{
    if (request.parameters.getValue ("debug", {}) == "1")
        return DiagnosticPageBuilder::build (request, library, inMaintenance, addresses);

    const auto siteName = library != nullptr ? library->getName() : juce::String ("Tessaly");
    const auto* course = library != nullptr ? library->findCourse (request.parameters.getValue ("course", {})) : nullptr;

    // A course's page speaks the course's language.
    const auto lang = course != nullptr ? course->lang : chooseLanguage (request, library);
    const auto& texts = HomePageTexts::forLanguage (lang);

    auto page = startPage (course != nullptr ? course->title + " - " + siteName : siteName, lang, siteName, addresses);

    if (inMaintenance)
        page << "<p class=\"notice\" id=\"maintenance\">" << escape (juce::String::fromUTF8 (texts.maintenance)) << "</p>\n";

    if (library == nullptr)
        page << "<p class=\"notice\" id=\"unavailable\">" << escape (juce::String::fromUTF8 (texts.libraryUnavailable)) << "</p>\n";
    else if (course != nullptr)
        page << coursePage (*course, texts, addresses);
    else
        page << welcome (request, *library, texts)
             << updates (chaptersToUpdate (request), *library, texts)
             << courseCards (*library, texts, addresses);

    return page + endPage (texts, library);
}

juce::String HomePageBuilder::startPage (const juce::String& title, const juce::String& lang, const juce::String& siteName, const ProviderAddresses& addresses)
{
    juce::String html;
    html << "<!DOCTYPE html>\n<html lang=\"" << lang << "\">\n<head>\n<meta charset=\"utf-8\">\n"
         << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         << "<title>" << escape (title) << "</title>\n<style>" << style << "</style>\n</head>\n<body>\n"
         << "<header class=\"site\"><a class=\"brand\" href=\"" << escape (addresses.getHomePage() + "?lang=" + lang) << "\">"
         << escape (siteName) << "</a>\n<nav class=\"languages\">";

    // Switching language drops the sign-in: the password hash is never written into a page.
    for (auto* other : { "it", "en" })
        html << "<a href=\"" << escape (addresses.getHomePage() + "?lang=" + other) << "\"" << (lang == other ? " class=\"current\"" : "")
             << " lang=\"" << other << "\">" << (juce::String (other) == "it" ? "Italiano" : "English") << "</a>";

    return html + "</nav></header>\n<main>\n";
}

juce::String HomePageBuilder::endPage (const HomePageTexts& texts, const Library* library)
{
    juce::String html = "</main>\n<footer class=\"site\">";

    if (library != nullptr)
        html << escape (library->getName()) << " &middot; " << HomePageTexts::fill (texts.offeredVersion, escape (library->getProgramVersion()));

    return html + "</footer>\n</body>\n</html>\n";
}

juce::String HomePageBuilder::welcome (const Request& request, const Library& library, const HomePageTexts& texts)
{
    juce::String html = "<section class=\"panel hero\">\n";
    auto* user = findSignedInUser (request, library);

    if (user != nullptr)
    {
        html << "<h1 id=\"welcome\">" << HomePageTexts::fill (texts.welcomeBack, escape (user->name.isNotEmpty() ? user->name : user->email)) << "</h1>\n"
             << "<p>" << escape (juce::String::fromUTF8 (texts.welcomeBackLine)) << "</p>\n";
    }
    else
    {
        html << "<h1>" << HomePageTexts::fill (texts.welcomeTitle, escape (library.getName())) << "</h1>\n"
             << "<p id=\"signin-hint\">" << escape (juce::String::fromUTF8 (texts.signInHint)) << "</p>\n";

        if (request.parameters.getValue ("loginbutton", {}) == "1")
            html << "<p class=\"notice\" id=\"signin-refused\">" << escape (juce::String::fromUTF8 (texts.signInRefused)) << "</p>\n";
    }

    return html + "</section>\n";
}

juce::String HomePageBuilder::updates (const juce::StringArray& chapterIds, const Library& library, const HomePageTexts& texts)
{
    if (chapterIds.isEmpty())
        return {};

    juce::String html;
    html << "<section class=\"panel updates\" id=\"updates\">\n<h2>" << escape (juce::String::fromUTF8 (texts.updatesTitle)) << "</h2>\n<p>"
         << escape (juce::String::fromUTF8 (texts.updatesLine)) << "</p>\n<ul>\n";

    for (auto& id : chapterIds)
    {
        auto* course = library.findCourseOfChapter (id);
        auto* chapter = library.findChapter (id);

        if (course == nullptr || chapter == nullptr)
        {
            html << "<li><span class=\"chapter\">" << escape (id) << "</span><span class=\"unknown\">"
                 << escape (juce::String::fromUTF8 (texts.unknownChapter)) << "</span></li>\n";
            continue;
        }

        juce::String lessonTitle;

        for (auto& lesson : course->lessons)
            for (auto& candidate : lesson.chapters)
                if (candidate.id == id)
                    lessonTitle = lesson.title;

        html << "<li data-chapter=\"" << escape (id) << "\"><span class=\"chapter\">" << escape (chapter->title.isNotEmpty() ? chapter->title : id)
             << "</span><span class=\"where\">" << escape (course->title) << (lessonTitle.isNotEmpty() ? " &rsaquo; " + escape (lessonTitle) : juce::String())
             << "</span><span class=\"date\">" << escape (chapter->date) << "</span></li>\n";
    }

    return html + "</ul>\n</section>\n";
}

juce::String HomePageBuilder::describeSize (const LibraryCourse& course, const HomePageTexts& texts)
{
    const auto lessons = (int) course.lessons.size();
    const auto chapters = countChapters (course);

    return (lessons == 1 ? juce::String::fromUTF8 (texts.oneLesson) : HomePageTexts::fill (texts.lessons, number (lessons))) + " &middot; "
         + (chapters == 1 ? juce::String::fromUTF8 (texts.oneChapter) : HomePageTexts::fill (texts.chapters, number (chapters))) + " &middot; "
         + formatDuration (course.totalDuration());
}

juce::String HomePageBuilder::cover (const LibraryCourse& course, const ProviderAddresses& addresses)
{
    if (course.cover.isPresent())
        return "<img src=\"" + escape (addresses.getExtra (course.cover)) + "\" alt=\"\">";

    return "<span class=\"initials\">" + escape (initialsOf (course.title)) + "</span>";
}

juce::String HomePageBuilder::courseCards (const Library& library, const HomePageTexts& texts, const ProviderAddresses& addresses)
{
    juce::String html;
    html << "<section id=\"courses\">\n<h2>" << escape (juce::String::fromUTF8 (texts.coursesTitle)) << "</h2>\n";
    juce::String cards;

    for (auto& course : library.getCourses())
    {
        if (course.lang != texts.lang)
            continue;

        const auto link = escape (course.url.isNotEmpty() ? course.url : addresses.getCoursePage (course.id));
        cards << "<article class=\"course\" data-course=\"" << escape (course.id) << "\">\n"
              << "<a class=\"cover\" href=\"" << link << "\">" << cover (course, addresses) << "</a>\n"
              << "<div class=\"body\"><h3><a href=\"" << link << "\">" << escape (course.title) << "</a></h3>\n"
              << "<p class=\"meta\">" << describeSize (course, texts) << "</p>\n";

        if (course.description.isNotEmpty())
            cards << "<p class=\"description\">" << escape (course.description) << "</p>\n";

        cards << "</div>\n</article>\n";
    }

    if (cards.isEmpty())
        html << "<p>" << escape (juce::String::fromUTF8 (texts.noCourses)) << "</p>\n";
    else
        html << "<div class=\"courses\">\n" << cards << "</div>\n";

    return html + "</section>\n";
}

juce::String HomePageBuilder::coursePage (const LibraryCourse& course, const HomePageTexts& texts, const ProviderAddresses& addresses)
{
    juce::String html;
    html << "<a class=\"back\" href=\"" << escape (addresses.getHomePage() + "?lang=" + course.lang) << "\">&larr; "
         << escape (juce::String::fromUTF8 (texts.allCourses)) << "</a>\n"
         << "<section class=\"panel course-page\" data-course=\"" << escape (course.id) << "\">\n"
         << "<div><span class=\"cover\">" << cover (course, addresses) << "</span>\n<ul class=\"facts\">\n"
         << "<li>" << describeSize (course, texts) << "</li>\n";

    if (course.resolution.isNotEmpty())
        html << "<li>" << escape (juce::String::fromUTF8 (texts.resolution)) << ": " << escape (course.resolution) << "</li>\n";

    if (course.platform.isNotEmpty())
        html << "<li>" << escape (juce::String::fromUTF8 (texts.platform)) << ": " << escape (course.platform) << "</li>\n";

    html << "</ul></div>\n<div>\n<h1 id=\"course\">" << escape (course.title) << "</h1>\n";

    if (course.description.isNotEmpty())
        html << "<p class=\"description\">" << escape (course.description) << "</p>\n";

    html << "<ol class=\"lessons\">\n";

    for (auto& lesson : course.lessons)
    {
        html << "<li><h3>" << escape (lesson.title) << "</h3><ol class=\"chapters\">";

        for (auto& chapter : lesson.chapters)
        {
            html << "<li>" << escape (chapter.title);

            if (chapter.duration > 0.0)
                html << "<span class=\"duration\">" << formatDuration (chapter.duration) << "</span>";

            html << "</li>";
        }

        html << "</ol></li>\n";
    }

    return html + "</ol>\n</div>\n</section>\n";
}
} // namespace provider
