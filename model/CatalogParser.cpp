#include "model/CatalogParser.h"

#include "model/CatalogDocument.h"

#include <pugixml.hpp>

#include <array>
#include <cstring>
#include <utility>
#include <vector>

namespace
{
/** A value as text. The framework keeps its strings in UTF-8 like the document, so the bytes
    are copied in one piece into a string made large enough for them, rather than decoded and
    encoded again character by character.
*/
juce::String toString (const char* value)
{
    if (value == nullptr || *value == 0)
        return {};

    const auto numBytes = std::strlen (value);
    juce::String text;
    text.preallocateBytes (numBytes + 1);
    memcpy (text.getCharPointer().getAddress(), value, numBytes + 1);
    return text;
}

bool isDigit (char c) noexcept
{
    return c >= '0' && c <= '9';
}

/** Leading decimal digits after blanks and an optional sign, read as the framework reads an
    integer attribute (by the C library's atoi). The plain numbers catalogs hold, of up to nine
    digits, give the same result when read here, which is faster; anything else goes to atoi.
*/
int toInt (const char* value)
{
    if (value == nullptr)
        return 0;

    const auto* p = value;
    const auto negative = *p == '-';
    p += negative ? 1 : 0;
    int result = 0, digits = 0;

    for (; isDigit (*p) && digits < 9; ++p, ++digits)
        result = result * 10 + (*p - '0');

    if (digits == 0 || isDigit (*p))
        return juce::CharPointer_UTF8 (value).getIntValue32();

    return negative ? -result : result;
}

/** A decimal number, read as the framework reads a decimal attribute. Plain numbers of up to
    15 digits without an exponent are read here: their digits and the power of ten that scales
    them are exact doubles, so one division gives the correctly rounded value, which is what the
    framework's reading gives too. Anything else goes to the framework.
*/
double toDouble (const char* value)
{
    if (value == nullptr)
        return 0.0;

    static constexpr double powersOfTen[] = { 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15 };

    const auto* p = value;
    const auto negative = *p == '-';
    p += negative ? 1 : 0;
    juce::uint64 mantissa = 0;
    int digits = 0, fractionDigits = 0;
    auto pointFound = false;

    for (;; ++p)
    {
        if (isDigit (*p))
        {
            if (++digits > 15)
                break;

            mantissa = mantissa * 10 + (juce::uint64) (*p - '0');
            fractionDigits += pointFound ? 1 : 0;
        }
        else if (*p == '.' && ! pointFound)
        {
            pointFound = true;
        }
        else
        {
            break;
        }
    }

    // The framework reads some zeros as negative zero and others not, so zero is left to it.
    if (digits == 0 || digits > 15 || mantissa == 0 || *p == 'e' || *p == 'E')
        return juce::CharPointer_UTF8 (value).getDoubleValue();

    const auto result = (double) mantissa / powersOfTen[fractionDigits];
    return negative ? -result : result;
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
        // Documents mostly write the attributes in the order of the table, so each name is
        // first compared with the one after the name matched last.
        size_t next = 0;

        for (auto attribute = element.first_attribute(); attribute; attribute = attribute.next_attribute())
        {
            const auto* name = attribute.name();

            for (size_t tried = 0; tried < numNames; ++tried)
            {
                const auto i = (next + tried) % numNames;

                if (CatalogDocument::namesMatch (name, lowerCaseNames[i]))
                {
                    if (values[i] == nullptr)
                        values[i] = attribute.value();

                    next = i + 1;
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
        if (child.type() == pugi::node_element && CatalogDocument::namesMatch (child.name(), lowerCaseName) && ! callback (child))
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
        // A date written as the service writes it ("2013-05-10": digits where the rule reads
        // them, all ASCII) is known by its three numbers; anything else is converted each time.
        for (int i = 0; i < 10; ++i)
        {
            const auto digitExpected = i != 4 && i != 7;

            if (text[i] == 0 || (unsigned char) text[i] >= 0x80 || (digitExpected && ! isDigit (text[i])))
                return CatalogParser::parseChapterDate (toString (text));
        }

        const auto number = [text] (int start, int length)
        {
            int result = 0;

            for (int i = start; i < start + length; ++i)
                result = result * 10 + (text[i] - '0');

            return result;
        };

        const auto key = number (0, 4) * 10000 + number (5, 2) * 100 + number (8, 2);
        auto& slot = findSlot (key);

        if (slot.key == key)
            return slot.date;

        const auto date = CatalogParser::parseChapterDate (toString (text));
        slot = { key, date };

        if (++used * 2 > slots.size())
            grow();

        return date;
    }

private:
    // A flat table probed in place: one lookup per chapter touches one slot, never a chain
    // of nodes spread over the heap.
    struct Slot
    {
        int key = -1;
        juce::Time date;
    };

    Slot& findSlot (int key)
    {
        const auto mask = slots.size() - 1;

        for (auto i = ((size_t) key * 2654435761u) & mask;; i = (i + 1) & mask)
            if (slots[i].key == key || slots[i].key < 0)
                return slots[i];
    }

    void grow()
    {
        auto old = std::exchange (slots, std::vector<Slot> (slots.size() * 2));

        for (const auto& slot : old)
            if (slot.key >= 0)
                findSlot (slot.key) = slot;
    }

    std::vector<Slot> slots = std::vector<Slot> (512);
    size_t used = 0;
};

thread_local DateCache* currentDates = nullptr;

juce::Time readDate (const char* text)
{
    if (text == nullptr)
        text = "";

    return currentDates != nullptr ? currentDates->get (text) : CatalogParser::parseChapterDate (toString (text));
}

/** Stores a chapter under its identifier, replacing an earlier one of the same identifier.
    Catalogs list their chapters mostly in identifier order, so the end is tried first, which
    costs one comparison when it is the place.
*/
void addToIndex (Catalog& catalog, std::unique_ptr<Chapter> chapter)
{
    auto& index = catalog.chaptersById;
    const auto place = index.emplace_hint (index.end(), chapter->id, nullptr);
    place->second = std::move (chapter);
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
    rootWinAppSize,
    rootWinAppSignature
};

const std::array<const char*, 8> rootNames { "userid", "username", "baseurl", "homeurl", "win_version", "win_app", "win_app_size", "win_app_signature" };

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
    catalog.win_app_signature = attributes.getString (rootWinAppSignature).trim();

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
        if (CatalogDocument::namesMatch (attribute.name(), lowerCaseName))
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
