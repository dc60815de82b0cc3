#pragma once

#include "model/Catalog.h"

namespace pugi
{
class xml_node;
} // namespace pugi

/**
    Turns a catalog document's element tree (as CatalogDocument reads it) into catalog records.

    The rules are lenient about values (missing strings read empty, numbers read their leading
    digits) but strict about structure: a course or chapter without an identifier, or a child
    element spelled with other capitals, fails the whole document, and there is never a partial
    catalog. Attribute names match without regard to letter case.

    Only the root's children and the three levels below are visited, one element after the
    other, so however deep a document nests, reading it takes no deeper stack.

    Pure functions of their arguments: any thread may call them.
*/
class CatalogParser final
{
public:
    /** Empties the catalog and fills it from a root element named "catalog". The user attributes
        are read only for a logged-in request; otherwise they are left empty whatever the
        document holds. On failure the catalog is half-filled and the caller discards it.
    */
    static bool parseCatalog (Catalog& catalog, const pugi::xml_node& root, bool isUserCatalog);

    /** The same for an element the caller built with the framework (tests, tools): it is read
        back from its text, so it follows exactly the rules above.
    */
    static bool parseCatalog (Catalog& catalog, const juce::XmlElement& root, bool isUserCatalog);

    /** Fills a course and its lessons, adding the chapters to the catalog's index. */
    static bool parseCourse (Catalog& catalog, Course& course, const pugi::xml_node& element);

    /** Fills a lesson, adding its chapters to the catalog's index. */
    static bool parseLesson (Catalog& catalog, Lesson& lesson, const pugi::xml_node& element);

    /** Fills a chapter. */
    static bool parseChapter (Chapter& chapter, const pugi::xml_node& element);

    /** The value of an element's attribute whose name matches without regard to ASCII letter
        case (the first such attribute in document order), or nullptr when there is none.
    */
    static const char* findAttribute (const pugi::xml_node& element, const char* lowerCaseName);

    /** findAttribute as text; empty when missing. */
    static juce::String readString (const pugi::xml_node& element, const char* lowerCaseName);

    /** findAttribute read as an integer: leading decimal digits after blanks and an optional
        minus sign; 0 when missing or not a number.
    */
    static int readInt (const pugi::xml_node& element, const char* lowerCaseName);

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
