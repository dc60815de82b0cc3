#pragma once

#include "model/Catalog.h"

/**
    Turns a catalog document's element tree into catalog records.

    The rules are lenient about values (missing strings read empty, numbers read their leading
    digits) but strict about structure: a course or chapter without an identifier, or a child
    element spelled with other capitals, fails the whole document, and there is never a partial
    catalog. Attribute names match without regard to letter case.

    Pure functions of their arguments: any thread may call them.
*/
class CatalogParser final
{
public:
    /** Empties the catalog and fills it from a root element named "catalog". The user attributes
        are read only for a logged-in request; otherwise they are left empty whatever the
        document holds. On failure the catalog is half-filled and the caller discards it.
    */
    static bool parseCatalog (Catalog& catalog, const juce::XmlElement& root, bool isUserCatalog);

    /** Fills a course and its lessons, adding the chapters to the catalog's index. */
    static bool parseCourse (Catalog& catalog, Course& course, const juce::XmlElement& element);

    /** Fills a lesson, adding its chapters to the catalog's index. */
    static bool parseLesson (Catalog& catalog, Lesson& lesson, const juce::XmlElement& element);

    /** Fills a chapter. */
    static bool parseChapter (Chapter& chapter, const juce::XmlElement& element);

    /** The chapter date of a "year-month-day" text; see the definition for its quirk. */
    static juce::Time parseChapterDate (const juce::String& text);

    /** Splits "WIDTHxHEIGHT"; a missing part reads as 0. */
    static void parseNativeResolution (const juce::String& text, int& width, int& height);

    /** Splits keywords at every comma and blank, keeping quoted text whole (quotes included);
        adjacent break characters give empty tokens.
    */
    static juce::StringArray parseKeywords (const juce::String& text);

private:
    CatalogParser() = delete;
};
