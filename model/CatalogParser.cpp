#include "model/CatalogParser.h"

#include "model/CatalogDocument.h"

#include <pugixml.hpp>

#include <array>
#include <cstring>
#include <unordered_map>

namespace
{
/** Whether a name equals a lower-case name without regard to ASCII letter case. */
bool namesMatch (const char* name, const char* lowerCaseName) noexcept
{
    for (;; ++name, ++lowerCaseName)
    {
        auto c = (unsigned char) *name;

        if (c >= 'A' && c <= 'Z')
            c = (unsigned char) (c + ('a' - 'A'));

        if (c != (unsigned char) *lowerCaseName)
            return false;

        if (c == 0)
            return true;
    }
}

juce::String toString (const char* value)
{
    return value != nullptr ? juce::String (juce::CharPointer_UTF8 (value)) : juce::String();
}

int toInt (const char* value)
{
    return value != nullptr ? juce::CharPointer_UTF8 (value).getIntValue32() : 0;
}

double toDouble (const char* value)
{
    return value != nullptr ? juce::CharPointer_UTF8 (value).getDoubleValue() : 0.0;
}

/** The values of the attributes an element kind reads, gathered in one pass over the element's
    attributes; the first attribute matching a name wins, as findAttribute does.
*/
template <size_t numNames>
class AttributeValues
{
public:
    AttributeValues (const pugi::xml_node& element, const std::array<const char*, numNames>& lowerCaseNames)
    {
        for (auto attribute = element.first_attribute(); attribute; attribute = attribute.next_attribute())
        {
            const auto* name = attribute.name();

            for (size_t i = 0; i < numNames; ++i)
            {
                if (namesMatch (name, lowerCaseNames[i]))
                {
                    if (values[i] == nullptr)
                        values[i] = attribute.value();

                    break;
                }
            }
        }
    }

    const char* operator[] (size_t index) const noexcept { return values[index]; }
    juce::String getString (size_t index) const { return toString (values[index]); }
    int getInt (size_t index) const { return toInt (values[index]); }
    double getDouble (size_t index) const { return toDouble (values[index]); }
    juce::URL getUrl (size_t index) const { return values[index] != nullptr ? juce::URL (getString (index)) : juce::URL(); }
    bool hasText (size_t index) const noexcept { return values[index] != nullptr && *values[index] != 0; }

private:
    std::array<const char*, numNames> values {};
};

template <typename Callback>
bool forEachChildNamed (const pugi::xml_node& parent, const char* lowerCaseName, Callback&& callback)
{
    for (auto child = parent.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && namesMatch (child.name(), lowerCaseName) && ! callback (child))
            return false;

    return true;
}

bool isNamedExactly (const pugi::xml_node& element, const char* name)
{
    return std::strcmp (element.name(), name) == 0;
}

void readNativeResolution (const char* text, int& width, int& height)
{
    // Leading digits end at the "x" anyway, so the width reads from the start of the text.
    const auto* separator = text != nullptr ? std::strchr (text, 'x') : nullptr;
    width = toInt (text);
    height = separator != nullptr ? toInt (separator + 1) : 0;
}

/** Chapter dates of one document: the local-time conversion costs a time-zone lookup, and a
    catalog has far fewer distinct dates than chapters.
*/
class DateCache
{
public:
    juce::Time get (const char* text)
    {
        const std::string key (text);
        const auto found = dates.find (key);

        if (found != dates.end())
            return found->second;

        const auto date = CatalogParser::parseChapterDate (toString (text));
        dates.emplace (key, date);
        return date;
    }

private:
    std::unordered_map<std::string, juce::Time> dates;
};

thread_local DateCache* currentDates = nullptr;

juce::Time readDate (const char* text)
{
    if (text == nullptr)
        text = "";

    return currentDates != nullptr ? currentDates->get (text) : CatalogParser::parseChapterDate (toString (text));
}

/** Stores a chapter under its identifier, replacing an earlier one of the same identifier.
    Catalogs list their chapters mostly in identifier order, so the end is tried first.
*/
void addToIndex (Catalog& catalog, std::unique_ptr<Chapter> chapter)
{
    auto& index = catalog.chaptersById;

    if (index.empty() || index.rbegin()->first < chapter->id)
        index.emplace_hint (index.end(), chapter->id, std::move (chapter));
    else
        index[chapter->id] = std::move (chapter);
}

// The attributes of each element kind, in the order of the enumerations that index them.
enum RootAttribute
{
    rootUserId,
    rootUserName,
    rootBaseUrl,
    rootHomeUrl,
    rootWinVersion,
    rootWinApp,
    rootWinAppSize
};

const std::array<const char*, 7> rootNames { "userid", "username", "baseurl", "homeurl", "win_version", "win_app", "win_app_size" };

enum CourseAttribute
{
    courseId,
    courseTitle,
    courseDescription,
    courseKeywords,
    courseDuration,
    courseResolution,
    courseLanguage,
    coursePlatform,
    courseUrl,
    courseCoverUrl,
    courseCreditsUrl,
    coursePartnersUrl
};

const std::array<const char*, 12> courseNames { "id", "title", "description", "keywords", "duration", "resolution", "language", "platform", "url", "coverurl", "creditsurl", "partnersurl" };

enum LessonAttribute
{
    lessonTitle,
    lessonOrder
};

const std::array<const char*, 2> lessonNames { "title", "order" };

enum ChapterAttribute
{
    chapterId,
    chapterOrder,
    chapterTitle,
    chapterDescription,
    chapterDuration,
    chapterNativeResolution,
    chapterMd5,
    chapterSize,
    chapterDate
};

const std::array<const char*, 9> chapterNames { "id", "order", "title", "description", "duration", "native_resolution", "md5", "size", "date" };
} // namespace

bool CatalogParser::parseCatalog (Catalog& catalog, const pugi::xml_node& root, bool isUserCatalog)
{
    if (root.type() != pugi::node_element || ! isNamedExactly (root, "catalog"))
        return false;

    const AttributeValues attributes (root, rootNames);

    if (isUserCatalog)
    {
        catalog.userid = attributes.getString (rootUserId);
        catalog.username = attributes.getString (rootUserName);
    }
    else
    {
        catalog.userid = {};
        catalog.username = {};
    }

    catalog.baseurl = attributes.getString (rootBaseUrl);
    catalog.homeurl = juce::URL (attributes.getString (rootHomeUrl));
    catalog.win_version = attributes.getString (rootWinVersion);
    catalog.win_app = juce::URL (attributes.getString (rootWinApp).replace (" ", "%20"));
    catalog.win_app_size = attributes.getInt (rootWinAppSize);

    catalog.clearContents();

    DateCache dates;
    const juce::ScopedValueSetter<DateCache*> useDates (currentDates, &dates);

    return forEachChildNamed (root, "course", [&catalog] (const pugi::xml_node& element)
                              {
        auto course = std::make_unique<Course>();

        if (! parseCourse (catalog, *course, element))
            return false;

        catalog.courses.add (course.release());
        return true; });
}

bool CatalogParser::parseCatalog (Catalog& catalog, const juce::XmlElement& root, bool isUserCatalog)
{
    CatalogDocument document;
    return document.parse (root.toString (juce::XmlElement::TextFormat().withoutHeader().singleLine()))
           && parseCatalog (catalog, document.getRoot(), isUserCatalog);
}

bool CatalogParser::parseCourse (Catalog& catalog, Course& course, const pugi::xml_node& element)
{
    const AttributeValues attributes (element, courseNames);

    if (! isNamedExactly (element, "course") || ! attributes.hasText (courseId))
        return false;

    course.id = attributes.getString (courseId);
    course.title = attributes.getString (courseTitle);
    course.description = attributes.getString (courseDescription);
    course.keywords = parseKeywords (attributes.getString (courseKeywords));
    course.duration = (float) attributes.getDouble (courseDuration);
    course.resolution = attributes.getString (courseResolution);
    course.language = attributes.getString (courseLanguage);
    course.platform = attributes.getString (coursePlatform);
    course.url = attributes.getUrl (courseUrl);
    course.coverurl = attributes.getUrl (courseCoverUrl);
    course.creditsurl = attributes.getUrl (courseCreditsUrl);
    course.partnersurl = attributes.getUrl (coursePartnersUrl);

    return forEachChildNamed (element, "lesson", [&catalog, &course] (const pugi::xml_node& child)
                              {
        auto lesson = std::make_unique<Lesson>();

        if (! parseLesson (catalog, *lesson, child))
            return false;

        course.lessons.add (lesson.release());
        return true; });
}

bool CatalogParser::parseLesson (Catalog& catalog, Lesson& lesson, const pugi::xml_node& element)
{
    if (! isNamedExactly (element, "lesson"))
        return false;

    const AttributeValues attributes (element, lessonNames);
    lesson.title = attributes.getString (lessonTitle);
    lesson.order = attributes.getInt (lessonOrder);
    lesson.chapterIds.clear();

    return forEachChildNamed (element, "chapter", [&catalog, &lesson] (const pugi::xml_node& child)
                              {
        auto chapter = std::make_unique<Chapter>();

        if (! parseChapter (*chapter, child))
            return false;

        lesson.chapterIds.add (chapter->id);
        // A later chapter with the same identifier replaces the earlier record; both lessons
        // keep listing the identifier.
        addToIndex (catalog, std::move (chapter));
        return true; });
}

bool CatalogParser::parseChapter (Chapter& chapter, const pugi::xml_node& element)
{
    const AttributeValues attributes (element, chapterNames);

    if (! isNamedExactly (element, "chapter") || ! attributes.hasText (chapterId))
        return false;

    chapter.id = attributes.getString (chapterId);
    chapter.order = attributes.getInt (chapterOrder);
    chapter.title = attributes.getString (chapterTitle);
    chapter.description = attributes.getString (chapterDescription);
    chapter.duration = (float) attributes.getDouble (chapterDuration);
    readNativeResolution (attributes[chapterNativeResolution], chapter.nativeWidth, chapter.nativeHeight);
    chapter.md5 = attributes.getString (chapterMd5);
    chapter.size = attributes.getInt (chapterSize);
    chapter.date = readDate (attributes[chapterDate]);
    return true;
}

const char* CatalogParser::findAttribute (const pugi::xml_node& element, const char* lowerCaseName)
{
    for (auto attribute = element.first_attribute(); attribute; attribute = attribute.next_attribute())
        if (namesMatch (attribute.name(), lowerCaseName))
            return attribute.value();

    return nullptr;
}

juce::String CatalogParser::readString (const pugi::xml_node& element, const char* lowerCaseName)
{
    return toString (findAttribute (element, lowerCaseName));
}

int CatalogParser::readInt (const pugi::xml_node& element, const char* lowerCaseName)
{
    return toInt (findAttribute (element, lowerCaseName));
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
    readNativeResolution (text.toRawUTF8(), width, height);
}

juce::StringArray CatalogParser::parseKeywords (const juce::String& text)
{
    juce::StringArray tokens;
    tokens.addTokens (text, ", ", "\"");
    return tokens;
}
