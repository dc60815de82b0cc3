#include "model/CatalogDocument.h"
#include "model/CatalogParser.h"

#include "tests/common/JucePrinters.h"

#include <pugixml.hpp>

#include <gtest/gtest.h>

namespace
{
struct ParseResult
{
    bool ok = false;
    std::unique_ptr<Catalog> catalog = std::make_unique<Catalog>();
};

ParseResult parse (const juce::String& xml, bool isUserCatalog = false)
{
    ParseResult result;
    CatalogDocument document;

    if (! document.parse (xml))
    {
        ADD_FAILURE() << "test document is not well-formed: " << xml;
        return result;
    }

    result.ok = CatalogParser::parseCatalog (*result.catalog, document.getRoot(), isUserCatalog);
    return result;
}

const juce::String twoCourses = R"(
<catalog userid="u42" username="Ada" baseurl="http://host/videos/" homeurl="http://host/home"
         win_version="1.40" win_app="http://host/setup files/TSY Setup.exe" win_app_size="1234567"
         WIN_APP_SIGNATURE=" c2lnbmVk+/= ">
  <course id="c1" title="Modelling" description="First steps" keywords="3d, &quot;hard surface&quot; uv"
          duration="3600.5" resolution="1280x720" language="English" platform="Any"
          url="http://host/c1" coverurl="http://host/x/cover" creditsurl="http://host/x/credits"
          partnersurl="http://host/x/partners">
    <lesson title="Basics" order="1">
      <chapter id="ch1" order="1" title="Intro" description="Hello" duration="61.25"
               native_resolution="1280x720" md5="0123456789abcdef0123456789abcdef" size="1048576"
               date="2013-05-10"/>
      <chapter id="ch2" order="2" title="Tools"/>
    </lesson>
    <lesson title="More" order="2">
      <chapter id="ch3" order="1" title="Edges"/>
    </lesson>
  </course>
  <course id="c2" title="Lighting">
    <lesson title="Only" order="1">
      <chapter id="ch4" order="1" title="Sun"/>
    </lesson>
  </course>
</catalog>)";
} // namespace

TEST (CatalogParser, ReadsRootCoursesLessonsAndChapters)
{
    const auto result = parse (twoCourses, true);
    ASSERT_TRUE (result.ok);
    const auto& catalog = *result.catalog;

    EXPECT_EQ (catalog.userid, "u42");
    EXPECT_EQ (catalog.username, "Ada");
    EXPECT_EQ (catalog.baseurl, "http://host/videos/");
    EXPECT_EQ (catalog.homeurl.toString (false), "http://host/home");
    EXPECT_EQ (catalog.win_version, "1.40");
    EXPECT_EQ (catalog.win_app_size, 1234567);
    EXPECT_EQ (catalog.win_app_signature, "c2lnbmVk+/=") << "read whatever its capitals, without the blanks around it";

    ASSERT_EQ (catalog.getNumCourses(), 2);
    const auto* course = catalog.getCourse (0);
    EXPECT_EQ (course->id, "c1");
    EXPECT_EQ (course->title, "Modelling");
    EXPECT_EQ (course->description, "First steps");
    EXPECT_FLOAT_EQ (course->duration, 3600.5f);
    EXPECT_EQ (course->resolution, "1280x720");
    EXPECT_EQ (course->language, "English");
    EXPECT_EQ (course->platform, "Any");
    EXPECT_EQ (course->coverurl.toString (false), "http://host/x/cover");
    EXPECT_EQ (course->creditsurl.toString (false), "http://host/x/credits");
    EXPECT_EQ (course->partnersurl.toString (false), "http://host/x/partners");
    EXPECT_EQ (course->keywords, juce::StringArray ({ "3d", "", "\"hard surface\"", "uv" }));

    ASSERT_EQ (course->getNumLessons(), 2);
    EXPECT_EQ (course->getLesson (0)->title, "Basics");
    EXPECT_EQ (course->getLesson (0)->order, 1);
    EXPECT_EQ (course->getLesson (0)->chapterIds, juce::StringArray ({ "ch1", "ch2" }));
    EXPECT_EQ (course->getLesson (1)->getChapterId (0), "ch3");

    const auto* chapter = catalog.getChapter ("ch1");
    ASSERT_NE (chapter, nullptr);
    EXPECT_EQ (chapter->order, 1);
    EXPECT_EQ (chapter->title, "Intro");
    EXPECT_EQ (chapter->description, "Hello");
    EXPECT_FLOAT_EQ (chapter->duration, 61.25f);
    EXPECT_EQ (chapter->nativeWidth, 1280);
    EXPECT_EQ (chapter->nativeHeight, 720);
    EXPECT_EQ (chapter->md5, "0123456789abcdef0123456789abcdef");
    EXPECT_EQ (chapter->size, 1048576);
    EXPECT_EQ (catalog.chaptersById.size(), 4u);
}

TEST (CatalogParser, WinAppBlanksBecomeEscapes)
{
    const auto result = parse (twoCourses);
    ASSERT_TRUE (result.ok);
    EXPECT_EQ (result.catalog->win_app.toString (false), "http://host/setup%20files/TSY%20Setup.exe");
}

TEST (CatalogParser, UserAttributesOnlyForUserRequests)
{
    const auto anonymous = parse (twoCourses, false);
    ASSERT_TRUE (anonymous.ok);
    EXPECT_TRUE (anonymous.catalog->userid.isEmpty());
    EXPECT_TRUE (anonymous.catalog->username.isEmpty());

    // A catalog reused for an anonymous parse loses a user it had before.
    Catalog reused;
    reused.userid = "old";
    reused.username = "Old Name";
    CatalogDocument document;
    ASSERT_TRUE (document.parse (twoCourses));
    ASSERT_TRUE (CatalogParser::parseCatalog (reused, document.getRoot(), false));
    EXPECT_TRUE (reused.userid.isEmpty());
    EXPECT_TRUE (reused.username.isEmpty());
}

TEST (CatalogParser, EmptyRootIsAnEmptyCatalog)
{
    const auto result = parse ("<catalog/>");
    ASSERT_TRUE (result.ok);
    EXPECT_EQ (result.catalog->getNumCourses(), 0);
    EXPECT_TRUE (result.catalog->chaptersById.empty());
}

TEST (CatalogParser, RootMustBeNamedCatalogExactly)
{
    EXPECT_FALSE (parse ("<catalogue/>").ok);
    EXPECT_FALSE (parse ("<Catalog/>").ok);
    EXPECT_FALSE (parse ("<error code=\"loginerror\"/>").ok);
}

TEST (CatalogParser, MissingOrEmptyIdentifiersFailTheDocument)
{
    EXPECT_FALSE (parse ("<catalog><course title='x'/></catalog>").ok);
    EXPECT_FALSE (parse ("<catalog><course id=''/></catalog>").ok);
    EXPECT_FALSE (parse ("<catalog><course id='c'><lesson><chapter title='t'/></lesson></course></catalog>").ok);
    EXPECT_FALSE (parse ("<catalog><course id='c'><lesson><chapter id=''/></lesson></course></catalog>").ok);

    // A bad chapter late in the document still fails everything read before it.
    EXPECT_FALSE (parse ("<catalog><course id='a'><lesson><chapter id='1'/></lesson></course>"
                         "<course id='b'><lesson><chapter id='2'/><chapter/></lesson></course></catalog>")
                      .ok);
}

TEST (CatalogParser, ChildWithOtherCapitalsFailsTheDocument)
{
    EXPECT_FALSE (parse ("<catalog><Course id='c'/></catalog>").ok);
    EXPECT_FALSE (parse ("<catalog><course id='c'><LESSON/></course></catalog>").ok);
    EXPECT_FALSE (parse ("<catalog><course id='c'><lesson><Chapter id='x'/></lesson></course></catalog>").ok);
}

TEST (CatalogParser, AttributeNamesMatchWithoutCase)
{
    const auto result = parse ("<catalog BaseURL='b'><course ID='c' TITLE='T'><lesson Order='3' Title='L'>"
                               "<chapter Id='x' Native_Resolution='640x480'/></lesson></course></catalog>");
    ASSERT_TRUE (result.ok);
    EXPECT_EQ (result.catalog->baseurl, "b");
    EXPECT_EQ (result.catalog->getCourse (0)->id, "c");
    EXPECT_EQ (result.catalog->getCourse (0)->title, "T");
    EXPECT_EQ (result.catalog->getCourse (0)->getLesson (0)->order, 3);
    EXPECT_EQ (result.catalog->getCourse (0)->getLesson (0)->title, "L");
    EXPECT_EQ (result.catalog->getChapter ("x")->nativeWidth, 640);
}

TEST (CatalogParser, UnknownElementsAreSkippedInOrder)
{
    const auto result = parse ("<catalog><news/><course id='a'><info/><lesson order='1'><note/>"
                               "<chapter id='1'/><extra>text</extra><chapter id='2'/></lesson><misc/>"
                               "<lesson order='2'/></course><promo/><course id='b'/></catalog>");
    ASSERT_TRUE (result.ok);
    ASSERT_EQ (result.catalog->getNumCourses(), 2);
    EXPECT_EQ (result.catalog->getCourse (0)->id, "a");
    EXPECT_EQ (result.catalog->getCourse (1)->id, "b");
    ASSERT_EQ (result.catalog->getCourse (0)->getNumLessons(), 2);
    EXPECT_EQ (result.catalog->getCourse (0)->getLesson (0)->chapterIds, juce::StringArray ({ "1", "2" }));
}

TEST (CatalogParser, LessonWithoutAttributesHasDefaults)
{
    const auto result = parse ("<catalog><course id='a'><lesson/></course></catalog>");
    ASSERT_TRUE (result.ok);
    const auto* lesson = result.catalog->getCourse (0)->getLesson (0);
    EXPECT_TRUE (lesson->title.isEmpty());
    EXPECT_EQ (lesson->order, 0);
    EXPECT_EQ (lesson->getNumChapters(), 0);
}

TEST (CatalogParser, NumbersAreReadLeniently)
{
    const auto result = parse ("<catalog win_app_size='12kB'><course id='a' duration='abc'>"
                               "<lesson order='-3'><chapter id='x' order='7th' size='' duration='2.5e1s'/>"
                               "<chapter id='y' order='none' size='  42'/></lesson></course></catalog>");
    ASSERT_TRUE (result.ok);
    const auto& catalog = *result.catalog;
    EXPECT_EQ (catalog.win_app_size, 12);
    EXPECT_EQ (catalog.getCourse (0)->duration, 0.0f);
    EXPECT_EQ (catalog.getCourse (0)->getLesson (0)->order, -3);
    EXPECT_EQ (catalog.getChapter ("x")->order, 7);
    EXPECT_EQ (catalog.getChapter ("x")->size, 0);
    EXPECT_FLOAT_EQ (catalog.getChapter ("x")->duration, 25.0f);
    EXPECT_EQ (catalog.getChapter ("y")->order, 0);
    EXPECT_EQ (catalog.getChapter ("y")->size, 42);
}

TEST (CatalogParser, DuplicateChapterIdsKeepTheLaterRecord)
{
    const auto result = parse ("<catalog><course id='a'><lesson><chapter id='dup' title='first'/></lesson>"
                               "<lesson><chapter id='dup' title='second'/></lesson></course></catalog>");
    ASSERT_TRUE (result.ok);
    const auto& catalog = *result.catalog;
    EXPECT_EQ (catalog.chaptersById.size(), 1u);
    EXPECT_EQ (catalog.getChapter ("dup")->title, "second");
    EXPECT_EQ (catalog.getCourse (0)->getLesson (0)->getChapterId (0), "dup");
    EXPECT_EQ (catalog.getCourse (0)->getLesson (1)->getChapterId (0), "dup");

    Catalog::Position position;
    ASSERT_TRUE (catalog.findChapterPosition ("dup", position));
    EXPECT_EQ (position.course, 0);
    EXPECT_EQ (position.lesson, 0);
    EXPECT_EQ (position.chapter, 0);
}

TEST (CatalogParser, ReparsingReplacesEverything)
{
    // The framework's element form is read through its text, by the same rules.
    Catalog catalog;
    ASSERT_TRUE (CatalogParser::parseCatalog (catalog, *juce::parseXML (twoCourses), true));
    EXPECT_EQ (catalog.chaptersById.size(), 4u);
    EXPECT_EQ (catalog.getCourse (0)->keywords, juce::StringArray ({ "3d", "", "\"hard surface\"", "uv" }));
    ASSERT_TRUE (CatalogParser::parseCatalog (catalog, *juce::parseXML ("<catalog><course id='z'/></catalog>"), true));
    EXPECT_EQ (catalog.getNumCourses(), 1);
    EXPECT_TRUE (catalog.chaptersById.empty());
    EXPECT_EQ (catalog.getChapter ("ch1"), nullptr);
}

TEST (ChapterDate, MonthNumberIsAZeroBasedIndex)
{
    const auto may = CatalogParser::parseChapterDate ("2013-05-10");
    EXPECT_EQ (may, juce::Time (2013, 5, 10, 0, 0, 0, 0, true));
    EXPECT_EQ (may.getYear(), 2013);
    EXPECT_EQ (may.getMonth(), 5); // June
    EXPECT_EQ (may.getDayOfMonth(), 10);
    EXPECT_EQ (may.getHours(), 0);
    EXPECT_EQ (may.getMinutes(), 0);

    const auto december = CatalogParser::parseChapterDate ("2014-12-31");
    EXPECT_EQ (december.getYear(), 2015);
    EXPECT_EQ (december.getMonth(), 0);
    EXPECT_EQ (december.getDayOfMonth(), 31);
    EXPECT_EQ (december.getHours(), 0);
}

TEST (ChapterDate, IsReadThroughTheParser)
{
    const auto result = parse ("<catalog><course id='a'><lesson><chapter id='x' date='2014-12-31'/>"
                               "<chapter id='y'/></lesson></course></catalog>");
    ASSERT_TRUE (result.ok);
    EXPECT_EQ (result.catalog->getChapter ("x")->date, juce::Time (2015, 0, 31, 0, 0, 0, 0, true));
    // No date reads as year 0, month 0, day 0, which is what stored timestamps were compared with.
    EXPECT_EQ (result.catalog->getChapter ("y")->date, juce::Time (0, 0, 0, 0, 0, 0, 0, true));
}

TEST (NativeResolution, SplitsAtTheLetterX)
{
    int width = -1, height = -1;
    CatalogParser::parseNativeResolution ("1280x720", width, height);
    EXPECT_EQ (width, 1280);
    EXPECT_EQ (height, 720);

    CatalogParser::parseNativeResolution ("720", width, height);
    EXPECT_EQ (width, 720);
    EXPECT_EQ (height, 0);

    CatalogParser::parseNativeResolution ("", width, height);
    EXPECT_EQ (width, 0);
    EXPECT_EQ (height, 0);

    CatalogParser::parseNativeResolution ("x480", width, height);
    EXPECT_EQ (width, 0);
    EXPECT_EQ (height, 480);

    const auto result = parse ("<catalog><course id='a'><lesson><chapter id='x'/></lesson></course></catalog>");
    ASSERT_TRUE (result.ok);
    EXPECT_EQ (result.catalog->getChapter ("x")->nativeWidth, 0);
    EXPECT_EQ (result.catalog->getChapter ("x")->nativeHeight, 0);
}

TEST (Keywords, BreakOnCommasAndBlanksKeepingQuotes)
{
    EXPECT_EQ (CatalogParser::parseKeywords ("a, b"), juce::StringArray ({ "a", "", "b" }));
    EXPECT_EQ (CatalogParser::parseKeywords ("one"), juce::StringArray ({ "one" }));
    EXPECT_EQ (CatalogParser::parseKeywords ("\"x y\",z"), juce::StringArray ({ "\"x y\"", "z" }));
    EXPECT_EQ (CatalogParser::parseKeywords ("a,"), juce::StringArray ({ "a", "" }));
    EXPECT_TRUE (CatalogParser::parseKeywords ("").isEmpty());
}

TEST (CatalogParser, NumbersReadExactlyAsTheFrameworkReadsThem)
{
    // Plain numbers take a quicker way than the framework's reading; every form must give what
    // the framework gives.
    const char* const samples[] = { "7", "7th", "  42", "+5", "-3", "0012", "999999999", "1000000000", "2147483647",
                                    "2147483648", "-2147483648", "99999999999", "-0", "0", "0.0", "-0.0", "3600.5", "61.25",
                                    "2.5e1s", ".5", "-.5", "5.", "1.2.3", "0.1", "123456789012345", "1234567890123456",
                                    "12345678901234.5", "1e5", "1E-2", "abc", "", "-", "nan", "inf", "\t8", "1,5", "0x10" };

    for (const auto* sample : samples)
    {
        const juce::String value (sample);
        const auto result = parse ("<catalog><course id='c' duration='" + value + "'><lesson order='" + value + "'>"
                                   "<chapter id='x' order='" + value + "' size='" + value + "' duration='" + value + "'/>"
                                   "</lesson></course></catalog>");
        ASSERT_TRUE (result.ok) << sample;
        const auto* chapter = result.catalog->getChapter ("x");
        EXPECT_EQ (chapter->order, value.getIntValue()) << sample;
        EXPECT_EQ (chapter->size, value.getIntValue()) << sample;
        EXPECT_EQ (result.catalog->getCourse (0)->getLesson (0)->order, value.getIntValue()) << sample;

        // Compared bit for bit, so that a negative zero or a last-digit difference shows.
        const auto expected = (float) value.getDoubleValue();
        EXPECT_EQ (memcmp (&chapter->duration, &expected, sizeof (float)), 0) << sample << ": " << chapter->duration << " vs " << expected;
        EXPECT_EQ (memcmp (&result.catalog->getCourse (0)->duration, &expected, sizeof (float)), 0) << sample;
    }
}

TEST (ChapterDate, EveryFormReadsAsTheRuleReadsItHoweverManyDates)
{
    // Each odd form twice, then more distinct dates than the parser's table of dates starts with room for.
    juce::StringArray dates;

    for (const auto* sample : { "2013-05-10", "2013-5-10", "13-05-10", "2013/05/10", "2013-05-10T12:00", "2013-05-1",
                                "0000-00-00", "2013-05-xx", "ab", "", "2013-05-10 ", "\xc3\xa9" "013-05-10" })
    {
        dates.add (juce::String::fromUTF8 (sample));
        dates.add (juce::String::fromUTF8 (sample));
    }

    for (int i = 0; i < 1500; ++i)
        dates.add (juce::String (1990 + i / 300) + "-" + juce::String (1 + (i / 28) % 12).paddedLeft ('0', 2) + "-"
                   + juce::String (1 + i % 28).paddedLeft ('0', 2));

    juce::String chapters;

    for (int i = 0; i < dates.size(); ++i)
        chapters << "<chapter id='c" << i << "' date='" << dates[i] << "'/>";

    const auto result = parse ("<catalog><course id='c'><lesson>" + chapters + "</lesson></course></catalog>");
    ASSERT_TRUE (result.ok);

    for (int i = 0; i < dates.size(); ++i)
        ASSERT_EQ (result.catalog->getChapter ("c" + juce::String (i))->date, CatalogParser::parseChapterDate (dates[i])) << dates[i];
}

TEST (CatalogParser, TheFirstOfAttributesNamedAlikeWins)
{
    const auto result = parse ("<catalog><course id='c'><lesson><chapter id='a' ID='b' title='one' Title='two'/>"
                               "<chapter md5='z' size='1' SIZE='2' id='e' order='4' Order='5'/></lesson></course></catalog>");
    ASSERT_TRUE (result.ok);
    EXPECT_EQ (result.catalog->getChapter ("a")->title, "one");
    EXPECT_EQ (result.catalog->getChapter ("b"), nullptr);
    EXPECT_EQ (result.catalog->getChapter ("e")->size, 1);
    EXPECT_EQ (result.catalog->getChapter ("e")->order, 4) << "attributes in another order than usual";
    EXPECT_EQ (result.catalog->getChapter ("e")->md5, "z");
}
