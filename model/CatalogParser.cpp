#include "model/CatalogParser.h"

#include "model/CaselessAttributes.h"

namespace
{
template <typename Callback>
bool forEachChildNamed (const juce::XmlElement& parent, juce::StringRef name, Callback&& callback)
{
    for (auto* child : parent.getChildIterator())
        if (CaselessAttributes::tagMatches (*child, name) && ! callback (*child))
            return false;

    return true;
}

bool hasIdentifier (const CaselessAttributes& attributes)
{
    return attributes.getString ("id").isNotEmpty();
}

/** Chapter dates of one document: the local-time conversion costs a time-zone lookup, and a
    catalog has far fewer distinct dates than chapters.
*/
class DateCache
{
public:
    juce::Time get (const juce::String& text)
    {
        const auto found = dates.find (text);

        if (found != dates.end())
            return found->second;

        const auto date = CatalogParser::parseChapterDate (text);
        dates.emplace (text, date);
        return date;
    }

private:
    std::map<juce::String, juce::Time> dates;
};

thread_local DateCache* currentDates = nullptr;

juce::Time readDate (const juce::String& text)
{
    return currentDates != nullptr ? currentDates->get (text) : CatalogParser::parseChapterDate (text);
}
} // namespace

bool CatalogParser::parseCatalog (Catalog& catalog, const juce::XmlElement& root, bool isUserCatalog)
{
    if (root.getTagName() != "catalog")
        return false;

    const CaselessAttributes attributes (root);

    if (isUserCatalog)
    {
        catalog.userid = attributes.getString ("userid");
        catalog.username = attributes.getString ("username");
    }
    else
    {
        catalog.userid = {};
        catalog.username = {};
    }

    catalog.baseurl = attributes.getString ("baseurl");
    catalog.homeurl = juce::URL (attributes.getString ("homeurl"));
    catalog.win_version = attributes.getString ("win_version");
    catalog.win_app = juce::URL (attributes.getString ("win_app").replace (" ", "%20"));
    catalog.win_app_size = attributes.getInt ("win_app_size");

    catalog.clearContents();

    DateCache dates;
    const juce::ScopedValueSetter<DateCache*> useDates (currentDates, &dates);

    return forEachChildNamed (root, "course", [&catalog] (const juce::XmlElement& element) {
        auto course = std::make_unique<Course>();

        if (! parseCourse (catalog, *course, element))
            return false;

        catalog.courses.add (course.release());
        return true;
    });
}

bool CatalogParser::parseCourse (Catalog& catalog, Course& course, const juce::XmlElement& element)
{
    const CaselessAttributes attributes (element);

    if (element.getTagName() != "course" || ! hasIdentifier (attributes))
        return false;

    course.id = attributes.getString ("id");
    course.title = attributes.getString ("title");
    course.description = attributes.getString ("description");
    course.keywords = parseKeywords (attributes.getString ("keywords"));
    course.duration = (float) attributes.getDouble ("duration");
    course.resolution = attributes.getString ("resolution");
    course.language = attributes.getString ("language");
    course.platform = attributes.getString ("platform");
    course.url = juce::URL (attributes.getString ("url"));
    course.coverurl = juce::URL (attributes.getString ("coverurl"));
    course.creditsurl = juce::URL (attributes.getString ("creditsurl"));
    course.partnersurl = juce::URL (attributes.getString ("partnersurl"));

    return forEachChildNamed (element, "lesson", [&catalog, &course] (const juce::XmlElement& child) {
        auto lesson = std::make_unique<Lesson>();

        if (! parseLesson (catalog, *lesson, child))
            return false;

        course.lessons.add (lesson.release());
        return true;
    });
}

bool CatalogParser::parseLesson (Catalog& catalog, Lesson& lesson, const juce::XmlElement& element)
{
    if (element.getTagName() != "lesson")
        return false;

    const CaselessAttributes attributes (element);
    lesson.title = attributes.getString ("title");
    lesson.order = attributes.getInt ("order");
    lesson.chapterIds.clear();

    return forEachChildNamed (element, "chapter", [&catalog, &lesson] (const juce::XmlElement& child) {
        auto chapter = std::make_unique<Chapter>();

        if (! parseChapter (*chapter, child))
            return false;

        lesson.chapterIds.add (chapter->id);
        // A later chapter with the same identifier replaces the earlier record; both lessons
        // keep listing the identifier.
        catalog.chaptersById[chapter->id] = std::move (chapter);
        return true;
    });
}

bool CatalogParser::parseChapter (Chapter& chapter, const juce::XmlElement& element)
{
    const CaselessAttributes attributes (element);

    if (element.getTagName() != "chapter" || ! hasIdentifier (attributes))
        return false;

    chapter.id = attributes.getString ("id");
    chapter.order = attributes.getInt ("order");
    chapter.title = attributes.getString ("title");
    chapter.description = attributes.getString ("description");
    chapter.duration = (float) attributes.getDouble ("duration");
    parseNativeResolution (attributes.getString ("native_resolution"), chapter.nativeWidth, chapter.nativeHeight);
    chapter.md5 = attributes.getString ("md5");
    chapter.size = attributes.getInt ("size");
    chapter.date = readDate (attributes.getString ("date"));
    return true;
}

juce::Time CatalogParser::parseChapterDate (const juce::String& text)
{
    const auto year = text.substring (0, 4).getIntValue();
    const auto month = text.substring (5, 7).getIntValue();
    const auto day = text.substring (8, 10).getIntValue();

    // The month number is deliberately used as a zero-based month index, so "2013-05-10" is
    // midnight of 10 June 2013 local time and month 12 carries into January of the next year.
    // Every stored download timestamp was made by this conversion and is compared with it, so it
    // must stay exactly as it is.
    return juce::Time (year, month, day, 0, 0, 0, 0, true);
}

void CatalogParser::parseNativeResolution (const juce::String& text, int& width, int& height)
{
    const auto separator = text.indexOfChar ('x');

    if (separator < 0)
    {
        width = text.getIntValue();
        height = 0;
        return;
    }

    width = text.substring (0, separator).getIntValue();
    height = text.substring (separator + 1).getIntValue();
}

juce::StringArray CatalogParser::parseKeywords (const juce::String& text)
{
    juce::StringArray tokens;
    tokens.addTokens (text, ", ", "\"");
    return tokens;
}
