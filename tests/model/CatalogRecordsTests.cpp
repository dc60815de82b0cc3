#include "model/Catalog.h"
#include "model/MovieLocalInfo.h"

#include "tests/common/JucePrinters.h"

#include <gtest/gtest.h>

TEST (MovieLocalInfo, SettersReportOnlyChanges)
{
    MovieLocalInfo info;
    EXPECT_FALSE (info.setYetToBeSeen (false));
    EXPECT_TRUE (info.setYetToBeSeen (true));
    EXPECT_FALSE (info.setYetToBeSeen (true));
    EXPECT_TRUE (info.yetToBeSeen);

    EXPECT_FALSE (info.setFavorite (false));
    EXPECT_TRUE (info.setFavorite (true));
    EXPECT_TRUE (info.favorite);

    const juce::Time when (1370815200000);
    EXPECT_TRUE (info.setTimestamp (when));
    EXPECT_FALSE (info.setTimestamp (when));
    EXPECT_EQ (info.timestamp, when);
}

TEST (MovieLocalInfo, MarkersKeepInsertionOrder)
{
    MovieLocalInfo info;
    info.addMarker ("late", 90.0);
    info.addMarker ("early", 10.0);
    info.addMarker ({}, 45.5);

    ASSERT_EQ (info.getNumMarkers(), 3);
    EXPECT_EQ (info.getMarkerText (1), "early");
    EXPECT_DOUBLE_EQ (info.getMarkerTime (1), 10.0);
    EXPECT_EQ (info.getMarkerType (2), MovieMarker::normalType);
    EXPECT_TRUE (info.getMarkerText (2).isEmpty());

    info.removeMarker (0);
    ASSERT_EQ (info.getNumMarkers(), 2);
    EXPECT_EQ (info.getMarkerText (0), "early");
    EXPECT_DOUBLE_EQ (info.getMarkerTime (1), 45.5);

    EXPECT_TRUE (info.setMarkerText (1, "middle"));
    EXPECT_FALSE (info.setMarkerText (1, "middle"));
    EXPECT_FALSE (info.setMarkerText (7, "nowhere"));
    EXPECT_EQ (info.getMarkerText (1), "middle");

    // Out-of-range reads are neutral rather than undefined.
    EXPECT_DOUBLE_EQ (info.getMarkerTime (5), 0.0);
    EXPECT_TRUE (info.getMarkerText (-1).isEmpty());

    info.resetToDefaults();
    EXPECT_EQ (info.getNumMarkers(), 0);
}

TEST (Catalog, NavigationAndAbsentLookups)
{
    Catalog catalog;
    auto* course = catalog.courses.add (new Course());
    course->id = "c";
    auto* lesson = course->lessons.add (new Lesson());
    lesson->chapterIds.addArray ({ "a", "b" });
    auto* second = course->lessons.add (new Lesson());
    second->chapterIds.add ("B");

    for (auto id : { "a", "b", "B" })
    {
        auto chapter = std::make_unique<Chapter>();
        chapter->id = id;
        catalog.chaptersById[id] = std::move (chapter);
    }

    Catalog::Position position;
    ASSERT_TRUE (catalog.findChapterPosition ("B", position));
    EXPECT_EQ (position.lesson, 1);
    EXPECT_EQ (position.chapter, 0);
    ASSERT_TRUE (catalog.findChapterPosition ("b", position));
    EXPECT_EQ (position.lesson, 0);
    EXPECT_EQ (position.chapter, 1);
    EXPECT_FALSE (catalog.findChapterPosition ("missing", position));

    EXPECT_EQ (catalog.getChapter ("B")->id, "B");
    EXPECT_EQ (catalog.getChapter ("c"), nullptr);
    EXPECT_EQ (catalog.getCourse (3), nullptr);
    EXPECT_EQ (course->getLesson (2), nullptr);
    EXPECT_TRUE (lesson->getChapterId (9).isEmpty());
}
