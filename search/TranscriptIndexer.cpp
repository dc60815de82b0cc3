#include "search/TranscriptIndexer.h"

#include "model/CatalogDocument.h"
#include "model/CatalogParser.h"
#include "search/SearchDatabaseWriter.h"
#include "search/TranscriptScanner.h"

#include <pugixml.hpp>

#include <string>

namespace
{
/** Whether an element name equals a lower-case name, ignoring ASCII letter case, as the
    program's other documents are read.
*/
bool isNamed (const pugi::xml_node& node, const char* lowerCaseName) noexcept
{
    return node.type() == pugi::node_element && CatalogDocument::namesMatch (node.name(), lowerCaseName);
}

template <typename Callback>
void forEachChildNamed (const pugi::xml_node& parent, const char* lowerCaseName, Callback&& callback)
{
    for (auto child = parent.first_child(); child; child = child.next_sibling())
        if (isNamed (child, lowerCaseName))
            callback (child);
}

pugi::xml_node findChildNamed (const pugi::xml_node& parent, const char* lowerCaseName)
{
    for (auto child = parent.first_child(); child; child = child.next_sibling())
        if (isNamed (child, lowerCaseName))
            return child;

    return {};
}

/** Hands what the scanner finds to the database. */
class ChapterSink final : public TranscriptScanner::Sink
{
public:
    ChapterSink (SearchDatabaseWriter& w, const TranscriptIndexer::StopCheck& s) : writer (w), stopCheck (s) {}

    bool shouldStop() override { return stopCheck != nullptr && stopCheck(); }
    void wordFound (int wordIndex, std::string_view word) override { writer.insertWord (wordIndex, word); }
    void stampFound (juce::int64 seconds, int nextWordIndex) override { writer.insertStamp (seconds, nextWordIndex); }

private:
    SearchDatabaseWriter& writer;
    const TranscriptIndexer::StopCheck& stopCheck;
};
} // namespace

juce::String TranscriptIndexer::getTranscript (const pugi::xml_node& textElement)
{
    std::string text;

    // Walked without recursion, so that no document can nest deep enough to exhaust the stack.
    for (auto node = textElement.first_child(); node;)
    {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            text += node.value();

        if (auto child = node.first_child())
        {
            node = child;
            continue;
        }

        while (node != textElement && ! node.next_sibling())
            node = node.parent();

        node = node != textElement ? node.next_sibling() : pugi::xml_node();
    }

    return juce::String::fromUTF8 (text.data(), (int) text.size()).trim();
}

bool TranscriptIndexer::forEachTranscript (const pugi::xml_node& root, const std::function<bool (const juce::String&, const juce::String&)>& function)
{
    bool stopped = false;

    forEachChildNamed (root, "course", [&] (const pugi::xml_node& course)
                       { forEachChildNamed (course, "lesson", [&] (const pugi::xml_node& lesson)
                                            { forEachChildNamed (lesson, "chapter", [&] (const pugi::xml_node& chapter)
                                                                 {
                if (stopped)
                    return;

                const auto transcript = getTranscript (findChildNamed (chapter, "text"));

                if (transcript.isNotEmpty())
                    stopped = ! function (CatalogParser::readString (chapter, "id"), transcript); }); }); });

    return ! stopped;
}

TranscriptIndexer::Result TranscriptIndexer::build (const pugi::xml_node& root, const juce::File& databaseFile, const StopCheck& shouldStop)
{
    SearchDatabaseWriter writer (databaseFile);

    if (! writer.isOpen())
        return Result::failed;

    ChapterSink sink (writer, shouldStop);

    const auto finished = forEachTranscript (root, [&] (const juce::String& chapterId, const juce::String& transcript)
                                             {
        writer.beginChapter (chapterId);
        const auto scanned = TranscriptScanner::scan (transcript, sink);
        writer.endChapter();
        return scanned; });

    if (! finished)
        return Result::stopped;

    return writer.close() ? Result::built : Result::failed;
}
