#include "model/CatalogParser.h"
#include "model/LocalStorage.h"

#include <gtest/gtest.h>

#include <limits>

namespace
{
struct TempFolder
{
    TempFolder() { folder.createDirectory(); }
    ~TempFolder() { folder.deleteRecursively(); }
    juce::File folder = juce::File::createTempFile ("tsy-storage");
};

std::unique_ptr<MovieLocalInfo> roundTrip (const MovieLocalInfo& info, const juce::File& file)
{
    EXPECT_TRUE (LocalStorage::saveState (info, file));
    auto loaded = std::make_unique<MovieLocalInfo>();
    EXPECT_TRUE (LocalStorage::loadState (*loaded, file));
    return loaded;
}
} // namespace

TEST (LocalStorage, LegalNamesAndUnsafeIdentifiers)
{
    const juce::File parent ("/data/users/u1");
    EXPECT_EQ (LocalStorage::toLegalFileName ("12/7"), "127");
    EXPECT_EQ (LocalStorage::toLegalFileName ("a-b_C9"), "a-b_C9");
    EXPECT_EQ (LocalStorage::childFolderFor (parent, "12/7"), parent.getChildFile ("127"));
    EXPECT_EQ (LocalStorage::childFolderFor (parent, "ada@example.com"), parent.getChildFile ("adaexample.com"));

    for (auto hostile : { "..", ".", "///", "@#:", "", "/..", "\\..", "./" })
        EXPECT_FALSE (LocalStorage::childFolderFor (parent, hostile).has_value()) << hostile;

    // Dots that are not a relative step are ordinary names.
    EXPECT_EQ (LocalStorage::childFolderFor (parent, "..."), parent.getChildFile ("..."));
    EXPECT_EQ (LocalStorage::childFolderFor (parent, "a/.."), parent.getChildFile ("a.."));

    const auto longId = juce::String::repeatedString ("x", 200);
    const auto longChild = LocalStorage::childFolderFor (parent, longId);
    ASSERT_TRUE (longChild.has_value());
    EXPECT_EQ (longChild->getFileName().length(), 128);
    EXPECT_EQ (longChild->getParentDirectory(), parent);

    EXPECT_EQ (LocalStorage::getVideoFile (parent.getChildFile ("127"), "12/7").getFileName(), "127.bin");
    EXPECT_EQ (LocalStorage::getStateFile (parent.getChildFile ("127"), "12/7").getFileName(), "127.xml");
}

TEST (LocalStorage, StateFileFormat)
{
    MovieLocalInfo info;
    info.timestamp = juce::Time (1370815200000);
    info.yetToBeSeen = true;
    info.addMarker ("Intro", 83.52);
    info.addMarker ({}, 1234.5678);

    const auto document = LocalStorage::createStateDocument (info);
    EXPECT_EQ (document->getTagName(), "local");
    ASSERT_EQ (document->getNumAttributes(), 3);
    EXPECT_EQ (document->getAttributeName (0), "timestamp");
    EXPECT_EQ (document->getAttributeName (1), "yetToBeSeen");
    EXPECT_EQ (document->getAttributeName (2), "favorite");
    EXPECT_EQ (document->getStringAttribute ("timestamp"), "1370815200000");
    EXPECT_EQ (document->getStringAttribute ("yetToBeSeen"), "1");
    EXPECT_EQ (document->getStringAttribute ("favorite"), "0");
    ASSERT_EQ (document->getNumChildElements(), 2);
    EXPECT_EQ (document->getChildElement (0)->getStringAttribute ("type"), "normal");
    EXPECT_EQ (document->getChildElement (0)->getStringAttribute ("time"), "83.52");
    EXPECT_EQ (document->getChildElement (1)->getStringAttribute ("time"), "1234.5678");
    EXPECT_EQ (LocalStorage::formatMarkerTime (1.0 / 3.0), "0.333333333");

    TempFolder temp;
    const auto file = temp.folder.getChildFile ("a/b/ch.xml");
    const auto loadedState = roundTrip (info, file);
    const auto& loaded = *loadedState;
    EXPECT_TRUE (file.loadFileAsString().startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    EXPECT_EQ (loaded.timestamp, info.timestamp);
    EXPECT_TRUE (loaded.yetToBeSeen);
    EXPECT_FALSE (loaded.favorite);
    ASSERT_EQ (loaded.getNumMarkers(), 2);
    EXPECT_EQ (loaded.getMarkerText (0), "Intro");
    EXPECT_DOUBLE_EQ (loaded.getMarkerTime (0), 83.52);
    EXPECT_TRUE (loaded.getMarkerText (1).isEmpty());
    EXPECT_DOUBLE_EQ (loaded.getMarkerTime (1), 1234.5678);
    EXPECT_FALSE (temp.folder.getChildFile ("a/b").findChildFiles (juce::File::findFiles, false, "*.tmp").size() > 0)
        << "no temporary file is left beside the state file";
}

TEST (LocalStorage, NoMarkersAndTheChapterDateTimestamp)
{
    TempFolder temp;
    MovieLocalInfo info;
    info.favorite = true;
    info.timestamp = CatalogParser::parseChapterDate ("2013-05-10");

    const auto file = temp.folder.getChildFile ("ch.xml");
    const auto loadedState = roundTrip (info, file);
    const auto& loaded = *loadedState;
    EXPECT_EQ (juce::parseXML (file)->getNumChildElements(), 0);
    EXPECT_EQ (loaded.getNumMarkers(), 0);
    EXPECT_TRUE (loaded.favorite);
    EXPECT_EQ (loaded.timestamp, juce::Time (2013, 5, 10, 0, 0, 0, 0, true)) << "midnight of 10 June 2013, local time";
}

TEST (LocalStorage, LenientReadingAndBadFiles)
{
    TempFolder temp;
    const auto file = temp.folder.getChildFile ("ch.xml");

    ASSERT_TRUE (file.replaceWithText ("<local TimeStamp='12abc' yettobeseen=' yes' Favorite='true'>"
                                       "<marker type='normal' text='a' time='1.5'/><note/>"
                                       "<MARKER TYPE='normal' text='b' time='2'/></local>"));
    MovieLocalInfo info;
    EXPECT_FALSE (LocalStorage::loadState (info, file)) << "a marker spelled with capitals is a foreign element";
    EXPECT_EQ (info.timestamp.toMilliseconds(), 12);
    EXPECT_TRUE (info.yetToBeSeen);
    EXPECT_TRUE (info.favorite);
    EXPECT_EQ (info.getNumMarkers(), 1);

    ASSERT_TRUE (file.replaceWithText ("<local yetToBeSeen='0' favorite='no'><marker type='normal' text='one' time='1'/>"
                                       "<marker type='other' text='two' time='2'/><marker type='normal' text='three' time='3'/></local>"));
    MovieLocalInfo typed;
    EXPECT_FALSE (LocalStorage::loadState (typed, file));
    ASSERT_EQ (typed.getNumMarkers(), 1);
    EXPECT_EQ (typed.getMarkerText (0), "one");
    EXPECT_FALSE (typed.favorite);

    ASSERT_TRUE (file.replaceWithText ("this is not xml"));
    MovieLocalInfo broken;
    EXPECT_FALSE (LocalStorage::loadState (broken, file));
    EXPECT_EQ (broken.timestamp.toMilliseconds(), 0);

    ASSERT_TRUE (file.replaceWithText ("<catalog favorite='1'/>"));
    MovieLocalInfo foreign;
    EXPECT_FALSE (LocalStorage::loadState (foreign, file));
    EXPECT_FALSE (foreign.favorite);
}

TEST (LocalStorage, HostileStateFilesAreRefusedWithoutHarm)
{
    TempFolder temp;
    const auto file = temp.folder.getChildFile ("ch.xml");

    // Nesting that the framework's recursive parser would follow until the stack ran out.
    ASSERT_TRUE (file.replaceWithText ("<local favorite='1'>" + juce::String::repeatedString ("<a>", 30000)));
    MovieLocalInfo deep;
    EXPECT_FALSE (LocalStorage::loadState (deep, file));
    EXPECT_FALSE (deep.favorite);

    // A document type that points at an endless file, and a file that is a link to one.
    ASSERT_TRUE (file.replaceWithText ("<!DOCTYPE local SYSTEM \"/dev/zero\"><local favorite='1'>&x;</local>"));
    MovieLocalInfo declared;
    EXPECT_FALSE (LocalStorage::loadState (declared, file));
    EXPECT_FALSE (declared.favorite);

    ASSERT_TRUE (file.deleteFile());
    ASSERT_TRUE (juce::File ("/dev/zero").createSymbolicLink (file, true));
    MovieLocalInfo endless;
    EXPECT_FALSE (LocalStorage::loadState (endless, file));

    // A state file can grow with markers, but not beyond what markers could make of it.
    ASSERT_TRUE (file.deleteFile());
    juce::String huge ("<local favorite='1'><marker type='normal' text='");
    huge << juce::String::repeatedString ("x", 65 << 20) << "' time='1'/></local>";
    ASSERT_TRUE (file.replaceWithText (huge));
    MovieLocalInfo large;
    EXPECT_FALSE (LocalStorage::loadState (large, file));

    // An ordinary state file still reads.
    ASSERT_TRUE (file.replaceWithText ("<local favorite='1'><marker type='normal' text='a' time='1.5'/></local>"));
    MovieLocalInfo fine;
    EXPECT_TRUE (LocalStorage::loadState (fine, file));
    EXPECT_TRUE (fine.favorite);
    EXPECT_EQ (fine.getNumMarkers(), 1);
}

TEST (LocalStorage, WhatIsSavedReadsBackAndARefusedFileIsNeverOverwritten)
{
    TempFolder temp;
    const auto file = temp.folder.getChildFile ("ch.xml");

    // Well above a mebibyte: many markers, and one with a very long label.
    MovieLocalInfo many;
    many.favorite = true;

    for (int i = 0; i < 20002; ++i)
        many.addMarker ("marker " + juce::String (i), i * 0.5);

    many.addMarker (juce::String::repeatedString ("x", 4 << 20), 1.0);
    const auto loaded = roundTrip (many, file);
    ASSERT_GT (file.getSize(), 1 << 20);
    EXPECT_EQ (loaded->getNumMarkers(), 20003);
    EXPECT_EQ (loaded->getMarkerText (20001), "marker 20001");
    EXPECT_EQ (loaded->getMarkerText (20002).length(), 4 << 20);

    // A file that loading refuses moves aside, and the next save starts a new one beside it.
    const juce::String refused ("<!DOCTYPE local><local favorite='1'><marker type='normal' text='kept' time='1'/></local>");
    ASSERT_TRUE (file.replaceWithText (refused));
    MovieLocalInfo info;
    EXPECT_FALSE (LocalStorage::loadState (info, file));
    const auto aside = temp.folder.getChildFile ("ch (refused).xml");
    EXPECT_EQ (aside.loadFileAsString(), refused);

    info.addMarker ("new", 2.0);
    ASSERT_TRUE (LocalStorage::saveState (info, file));
    EXPECT_EQ (aside.loadFileAsString(), refused) << "the refused file keeps its markers";
    EXPECT_EQ (roundTrip (info, file)->getNumMarkers(), 1);
}

TEST (LocalStorage, TheWatchedPositionFollowsTheThreeAttributesAndReadsBack)
{
    MovieLocalInfo info;
    info.favorite = true;
    info.addMarker ("Intro", 83.52);
    EXPECT_TRUE (info.setPosition (750.25));
    EXPECT_FALSE (info.setPosition (750.25));

    const auto document = LocalStorage::createStateDocument (info);
    ASSERT_EQ (document->getNumAttributes(), 4);
    EXPECT_EQ (document->getAttributeName (0), "timestamp");
    EXPECT_EQ (document->getAttributeName (1), "yetToBeSeen");
    EXPECT_EQ (document->getAttributeName (2), "favorite");
    EXPECT_EQ (document->getAttributeName (3), "position");
    EXPECT_EQ (document->getStringAttribute ("position"), "750.25");
    ASSERT_EQ (document->getNumChildElements(), 1) << "markers stay the only children";

    TempFolder temp;
    const auto file = temp.folder.getChildFile ("ch.xml");
    const auto loaded = roundTrip (info, file);
    EXPECT_DOUBLE_EQ (loaded->position, 750.25);
    EXPECT_TRUE (loaded->favorite);
    ASSERT_EQ (loaded->getNumMarkers(), 1);
    EXPECT_DOUBLE_EQ (loaded->getMarkerTime (0), 83.52);

    // Nine significant digits, like a marker's time, and a point whatever the locale.
    info.setPosition (1.0 / 3.0);
    EXPECT_EQ (LocalStorage::createStateDocument (info)->getStringAttribute ("position"), "0.333333333");

    info.resetToDefaults();
    EXPECT_EQ (info.position, 0.0);
    EXPECT_EQ (LocalStorage::createStateDocument (info)->getNumAttributes(), 3) << "a chapter never watched writes the document it always had";
}

TEST (LocalStorage, AnUnusableWatchedPositionReadsAsZeroAndLosesNothingElse)
{
    TempFolder temp;
    const auto file = temp.folder.getChildFile ("ch.xml");

    for (const auto* position : { "-12", "nan", "NaN", "inf", "-inf", "1e999", "twelve", "", " " })
    {
        ASSERT_TRUE (file.replaceWithText (juce::String ("<local timestamp='42' yetToBeSeen='1' favorite='1' position='") + position
                                           + "'><marker type='normal' text='kept' time='3'/></local>"));
        MovieLocalInfo info;
        info.position = 99.0;
        EXPECT_TRUE (LocalStorage::loadState (info, file)) << position;
        EXPECT_EQ (info.position, 0.0) << position;
        EXPECT_EQ (info.timestamp.toMilliseconds(), 42) << position;
        EXPECT_TRUE (info.yetToBeSeen && info.favorite) << position;
        ASSERT_EQ (info.getNumMarkers(), 1) << position;
        EXPECT_EQ (info.getMarkerText (0), "kept") << position;
    }

    // A file written before positions were kept.
    ASSERT_TRUE (file.replaceWithText ("<local timestamp='42' yetToBeSeen='0' favorite='0'/>"));
    MovieLocalInfo older;
    older.position = 5.0;
    EXPECT_TRUE (LocalStorage::loadState (older, file));
    EXPECT_EQ (older.position, 0.0);

    // Attribute names are matched without case, as for the other attributes.
    ASSERT_TRUE (file.replaceWithText ("<local Position='61.5'/>"));
    MovieLocalInfo spelled;
    EXPECT_TRUE (LocalStorage::loadState (spelled, file));
    EXPECT_DOUBLE_EQ (spelled.position, 61.5);

    MovieLocalInfo direct;
    for (const auto bad : { -1.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity() })
    {
        direct.position = 7.0;
        EXPECT_TRUE (direct.setPosition (bad));
        EXPECT_EQ (direct.position, 0.0);
    }
}
