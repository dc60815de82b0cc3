#include "model/SafeXmlFile.h"

#include "model/RegularFile.h"

#include <pugixml.hpp>

namespace
{
/** Elements, attributes, text and the DOCTYPE as a node of its own (so it can be refused);
    entities are resolved only as the five predefined ones and character references.
*/
constexpr unsigned int parseOptions = pugi::parse_escapes | pugi::parse_doctype;

struct Reading
{
    SafeXmlFile::Verdict verdict = SafeXmlFile::Verdict::missing;
    juce::MemoryBlock text;
    bool repaired = false;
    pugi::xml_document document;
};

/** The deepest element below the document, walked without recursion. */
int measureDepth (const pugi::xml_document& document)
{
    int depth = 0, deepest = 0;
    auto node = document.first_child();

    while (node)
    {
        if (auto child = node.first_child())
        {
            node = child;
            deepest = juce::jmax (deepest, ++depth);
            continue;
        }

        while (node && ! node.next_sibling())
        {
            node = node.parent();
            --depth;

            if (node == document)
                return deepest + 1;
        }

        if (node)
            node = node.next_sibling();
    }

    return deepest + 1;
}

bool declaresDocumentType (const pugi::xml_document& document)
{
    for (auto node = document.first_child(); node; node = node.next_sibling())
        if (node.type() == pugi::node_doctype)
            return true;

    return false;
}

void readChecked (const juce::File& file, const SafeXmlFile::Limits& limits, Reading& reading)
{
    using Verdict = SafeXmlFile::Verdict;
    const auto result = RegularFile::read (file, limits.maxBytes, reading.text);

    if (result != RegularFile::Result::read)
    {
        reading.verdict = result == RegularFile::Result::missing ? Verdict::missing : Verdict::unreadable;
        return;
    }

    reading.repaired = SafeXmlFile::repairUtf8 (reading.text);

    // On a parse error the document keeps what was read before it, which a caller may salvage.
    if (! reading.document.load_buffer (reading.text.getData(), reading.text.getSize(), parseOptions) || ! reading.document.document_element())
        reading.verdict = Verdict::malformed;
    else if (declaresDocumentType (reading.document))
        reading.verdict = Verdict::declaresDocumentType;
    else if (measureDepth (reading.document) > limits.maxDepth)
        reading.verdict = Verdict::nestedTooDeeply;
    else
        reading.verdict = Verdict::readable;
}

void copyAttributes (const pugi::xml_node& from, juce::XmlElement& to)
{
    for (auto attribute = from.first_attribute(); attribute; attribute = attribute.next_attribute())
        to.setAttribute (juce::String::fromUTF8 (attribute.name()), juce::String::fromUTF8 (attribute.value()));
}
} // namespace

namespace
{
/** The length of the valid UTF-8 sequence (RFC 3629: no overlong forms, no surrogates, nothing
    above U+10FFFF) at the start of some bytes, or 0 when they do not start with one.
*/
size_t validSequenceLength (const unsigned char* p, size_t available)
{
    const auto lead = p[0];

    if (lead < 0x80)
        return 1;

    size_t length = 0;
    unsigned char low = 0x80, high = 0xbf;

    if (lead >= 0xc2 && lead <= 0xdf)
        length = 2;
    else if (lead >= 0xe0 && lead <= 0xef)
    {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;
        high = lead == 0xed ? 0x9f : 0xbf;
    }
    else if (lead >= 0xf0 && lead <= 0xf4)
    {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;
    }
    else
        return 0;

    if (available < length || p[1] < low || p[1] > high)
        return 0;

    for (size_t i = 2; i < length; ++i)
        if (p[i] < 0x80 || p[i] > 0xbf)
            return 0;

    return length;
}
} // namespace

bool SafeXmlFile::repairUtf8 (juce::MemoryBlock& bytes)
{
    const auto* data = static_cast<const unsigned char*> (bytes.getData());
    const auto size = bytes.getSize();
    juce::MemoryOutputStream repaired;
    auto changed = false;

    for (size_t i = 0; i < size;)
    {
        if (const auto length = validSequenceLength (data + i, size - i); length > 0)
        {
            if (changed)
                repaired.write (data + i, length);

            i += length;
            continue;
        }

        if (! changed)
        {
            repaired.write (data, i);
            changed = true;
        }

        repaired.write ("\xef\xbf\xbd", 3);
        ++i;
    }

    if (changed)
        bytes = repaired.getMemoryBlock();

    return changed;
}

SafeXmlFile::Verdict SafeXmlFile::read (const juce::File& file, const Limits& limits, juce::String& text, bool* repaired)
{
    Reading reading;
    readChecked (file, limits, reading);

    if (repaired != nullptr)
        *repaired = reading.repaired;

    if (reading.verdict == Verdict::readable)
        text = juce::String::fromUTF8 (static_cast<const char*> (reading.text.getData()), (int) reading.text.getSize());

    return reading.verdict;
}

std::unique_ptr<juce::XmlElement> SafeXmlFile::parse (const juce::File& file, const Limits& limits)
{
    juce::String text;

    if (read (file, limits, text) != Verdict::readable)
        return nullptr;

    return juce::XmlDocument::parse (text);
}

std::unique_ptr<juce::XmlElement> SafeXmlFile::parseTopLevel (const juce::File& file, const Limits& limits)
{
    Reading reading;
    readChecked (file, limits, reading);

    const auto root = reading.document.document_element();

    if (! root)
        return nullptr;

    auto copy = std::make_unique<juce::XmlElement> (juce::String::fromUTF8 (root.name()));
    copyAttributes (root, *copy);

    for (auto child = root.first_child(); child; child = child.next_sibling())
    {
        if (child.type() != pugi::node_element)
            continue;

        auto* element = copy->createNewChildElement (juce::String::fromUTF8 (child.name()));
        copyAttributes (child, *element);
    }

    return copy;
}
