#pragma once

#include "provider/Library.h"
#include "provider/ProviderAddresses.h"

#include <memory>

namespace provider
{
/**
    Builds the XML documents the catalog service answers with: the full catalog of a language
    (anonymous or for a signed-in user), the short answer that nothing changed, the error and
    maintenance answers, and the transcripts document.

    Pure functions of their arguments: any thread may call them.
*/
class CatalogDocumentBuilder final
{
public:
    /** The courses of one language with all their lessons and chapters. A user's catalog carries
        "userid" and "username"; an anonymous one carries neither.
    */
    static std::unique_ptr<juce::XmlElement> buildCatalog (const Library& library,
                                                           const juce::String& lang,
                                                           const LibraryUser* user,
                                                           const ProviderAddresses& addresses,
                                                           int refreshSeconds);

    /** The answer when nothing changed: a "catalog" root with only "cached" and "refreshtime". */
    static std::unique_ptr<juce::XmlElement> buildNotModified (int refreshSeconds);

    /** An "error" root with its code (e.g. "loginerror") and a readable message. */
    static std::unique_ptr<juce::XmlElement> buildError (const juce::String& code, const juce::String& message);

    /** A "maintenance" root with a readable message. */
    static std::unique_ptr<juce::XmlElement> buildMaintenance (const juce::String& message);

    /** Every chapter with a transcript, grouped by course and lesson, each chapter holding a
        "text" child with the marked-up words. An empty lang means every language.
    */
    static std::unique_ptr<juce::XmlElement> buildTranscripts (const Library& library, const juce::String& lang);

    /** The document as sent: UTF-8 with an XML declaration. */
    static juce::String toText (const juce::XmlElement& root);

    /** A number as short as it can be written: "5" rather than "5.0". */
    static juce::String formatNumber (double value);

private:
    static void addCourse (juce::XmlElement& root, const LibraryCourse& course, const ProviderAddresses& addresses);

    CatalogDocumentBuilder() = delete;
};
} // namespace provider
