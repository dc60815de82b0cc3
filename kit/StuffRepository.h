#pragma once

#include <JuceHeader.h>

#include <map>
#include <memory>
#include <typeinfo>

namespace qo
{
/**
    The in-memory store of every picture, vector drawing, typeface and shared user-interface
    object the program draws with, each found by a case-sensitive string key.

    Filled once from the skin archive while the shared resources are built at start-up, on the
    message thread, and read-only afterwards.
*/
class StuffRepository
{
public:
    StuffRepository();
    virtual ~StuffRepository();

    /** Files one archive entry into the table its name selects; unusable entries are dropped. */
    virtual void addEntry (const juce::String& key, const juce::String& entryName, juce::InputStream& stream);

    /** Files every entry of an archive in stored order, skipping folders and hidden files. */
    void addEntriesFromZip (juce::ZipFile& zip);

    /** The key an archive entry is filed under: its name cut before the last "." with a leading "/". */
    static juce::String makeKey (const juce::String& entryName);

    /** A picture; a name without a leading "/" is looked up under "/images/". Null when absent. */
    juce::Image getImage (const juce::String& name) const;

    /** A typeface; a name without a leading "/" is looked up under "/fonts/". Null when absent. */
    juce::Typeface::Ptr getTypeface (const juce::String& name) const;

    /** The drawable under a full key, owned by the repository; nullptr when absent. */
    juce::Drawable* getDrawable (const juce::String& key) const;

    /** Registers a drawable under a key, replacing and deleting any earlier one. */
    void setDrawable (const juce::String& key, std::unique_ptr<juce::Drawable> drawable);

    /** The parsed document under a key; nullptr when absent. */
    juce::XmlElement* getXml (const juce::String& key) const;

    /** A point read from a "points.txt" file; (0, 0) when absent. */
    juce::Point<int> getPoint (const juce::String& key) const;

    /** A rectangle read from a "rectangles.txt" file; empty when absent. */
    juce::Rectangle<int> getRectangle (const juce::String& key) const;

    /** Registers an object that the repository owns from now on, replacing any earlier one. */
    template <typename ObjectType>
    void setObject (const juce::String& key, std::unique_ptr<ObjectType> object)
    {
        objects[key] = std::make_unique<Holder<ObjectType>> (std::move (object));
    }

    /** The object under a key if it was registered with exactly this type; nullptr otherwise. */
    template <typename ObjectType>
    ObjectType* getObject (const juce::String& key) const
    {
        const auto found = objects.find (key);

        if (found == objects.end())
            return nullptr;

        auto* holder = dynamic_cast<Holder<ObjectType>*> (found->second.get());
        return holder != nullptr ? holder->object.get() : nullptr;
    }

    /** The number of entries in each table, for tests and diagnostics. */
    struct Counts
    {
        int xml = 0, points = 0, rectangles = 0, images = 0, drawables = 0, objects = 0, typefaces = 0;
    };

    Counts getCounts() const;

private:
    struct OwnedObject
    {
        virtual ~OwnedObject() = default;
    };

    template <typename ObjectType>
    struct Holder final : OwnedObject
    {
        explicit Holder (std::unique_ptr<ObjectType> o) : object (std::move (o)) {}
        std::unique_ptr<ObjectType> object;
    };

    void readPointFile (const juce::String& key, juce::InputStream& stream);
    void readRectangleFile (const juce::String& key, juce::InputStream& stream);

    std::map<juce::String, std::unique_ptr<juce::XmlElement>> xmlTable;
    std::map<juce::String, juce::Point<int>> pointTable;
    std::map<juce::String, juce::Rectangle<int>> rectangleTable;
    std::map<juce::String, juce::Image> imageTable;
    std::map<juce::String, std::unique_ptr<juce::Drawable>> drawableTable;
    std::map<juce::String, std::unique_ptr<OwnedObject>> objects;
    std::map<juce::String, juce::Typeface::Ptr> typefaceTable;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StuffRepository)
};
} // namespace qo
