#include "provider/CatalogDocumentBuilder.h"

namespace provider
{
std::unique_ptr<juce::XmlElement> CatalogDocumentBuilder::buildCatalog (const Library& library,
                                                                        const juce::String& lang,
                                                                        const LibraryUser* user,
                                                                        const ProviderAddresses& addresses,
                                                                        int refreshSeconds)
{
    auto root = std::make_unique<juce::XmlElement> ("catalog");

    if (user != nullptr)
    {
        root->setAttribute ("userid", user->id);
        root->setAttribute ("username", user->name);
    }

    const auto& installer = library.getInstaller();
    root->setAttribute ("baseurl", addresses.getVideosBase());
    root->setAttribute ("homeurl", addresses.getHomePage());
    root->setAttribute ("win_version", library.getProgramVersion());
    root->setAttribute ("win_app", installer.isPresent() ? addresses.getInstaller (installer) : juce::String());
    root->setAttribute ("win_app_size", juce::String (installer.size));

    if (installer.signature.isNotEmpty())
        root->setAttribute ("win_app_signature", installer.signature);

    root->setAttribute ("cached", "0");
    root->setAttribute ("refreshtime", refreshSeconds);

    for (auto& course : library.getCourses())
        if (course.lang == lang)
            addCourse (*root, course, addresses);

    return root;
}

void CatalogDocumentBuilder::addCourse (juce::XmlElement& root, const LibraryCourse& course, const ProviderAddresses& addresses)
{
    auto* courseElement = root.createNewChildElement ("course");
    courseElement->setAttribute ("id", course.id);
    courseElement->setAttribute ("title", course.title);
    courseElement->setAttribute ("description", course.description);
    courseElement->setAttribute ("keywords", course.keywords);
    courseElement->setAttribute ("duration", formatNumber (course.totalDuration()));
    courseElement->setAttribute ("resolution", course.resolution);
    courseElement->setAttribute ("language", course.languageName);
    courseElement->setAttribute ("platform", course.platform);
    courseElement->setAttribute ("url", course.url.isNotEmpty() ? course.url : addresses.getCoursePage (course.id));

    // A course without an extra has no address for it, and clients then show that it is missing.
    const std::pair<const char*, const ProvidedFile*> extras[] = {
        { "coverurl", &course.cover }, { "creditsurl", &course.credits }, { "partnersurl", &course.partners }
    };

    for (auto& [attribute, file] : extras)
        if (file->isPresent())
            courseElement->setAttribute (attribute, addresses.getExtra (*file));

    for (auto& lesson : course.lessons)
    {
        auto* lessonElement = courseElement->createNewChildElement ("lesson");
        lessonElement->setAttribute ("order", lesson.order);
        lessonElement->setAttribute ("title", lesson.title);

        for (auto& chapter : lesson.chapters)
        {
            auto* chapterElement = lessonElement->createNewChildElement ("chapter");
            chapterElement->setAttribute ("id", chapter.id);
            chapterElement->setAttribute ("order", chapter.order);
            chapterElement->setAttribute ("title", chapter.title);
            chapterElement->setAttribute ("description", chapter.description);
            chapterElement->setAttribute ("duration", formatNumber (chapter.duration));
            chapterElement->setAttribute ("native_resolution", chapter.nativeResolution);
            chapterElement->setAttribute ("md5", chapter.video.md5);
            chapterElement->setAttribute ("size", juce::String (chapter.video.size));
            chapterElement->setAttribute ("date", chapter.date);
        }
    }
}

std::unique_ptr<juce::XmlElement> CatalogDocumentBuilder::buildNotModified (int refreshSeconds)
{
    auto root = std::make_unique<juce::XmlElement> ("catalog");
    root->setAttribute ("cached", "1");
    root->setAttribute ("refreshtime", refreshSeconds);
    return root;
}

std::unique_ptr<juce::XmlElement> CatalogDocumentBuilder::buildError (const juce::String& code, const juce::String& message)
{
    auto root = std::make_unique<juce::XmlElement> ("error");
    root->setAttribute ("code", code);
    root->setAttribute ("message", message);
    return root;
}

std::unique_ptr<juce::XmlElement> CatalogDocumentBuilder::buildMaintenance (const juce::String& message)
{
    auto root = std::make_unique<juce::XmlElement> ("maintenance");
    root->setAttribute ("message", message);
    return root;
}

std::unique_ptr<juce::XmlElement> CatalogDocumentBuilder::buildTranscripts (const Library& library, const juce::String& lang)
{
    auto root = std::make_unique<juce::XmlElement> ("catalog");
    root->setAttribute ("min", "1");

    for (auto& course : library.getCourses())
    {
        if (lang.isNotEmpty() && course.lang != lang)
            continue;

        auto* courseElement = root->createNewChildElement ("course");
        courseElement->setAttribute ("id", course.id);

        for (auto& lesson : course.lessons)
        {
            auto* lessonElement = courseElement->createNewChildElement ("lesson");
            lessonElement->setAttribute ("order", lesson.order);

            for (auto& chapter : lesson.chapters)
            {
                if (chapter.transcript.isEmpty())
                    continue;

                auto* chapterElement = lessonElement->createNewChildElement ("chapter");
                chapterElement->setAttribute ("id", chapter.id);
                chapterElement->createNewChildElement ("text")->addTextElement (chapter.transcript);
            }
        }
    }

    return root;
}

juce::String CatalogDocumentBuilder::toText (const juce::XmlElement& root)
{
    juce::XmlElement::TextFormat format;
    format.newLineChars = "\n";
    format.lineWrapLength = 1 << 20;
    return root.toString (format);
}

juce::String CatalogDocumentBuilder::formatNumber (double value)
{
    if (value == std::floor (value) && std::abs (value) < 1.0e15)
        return juce::String ((juce::int64) value);

    return juce::String (value, 3).trimCharactersAtEnd ("0");
}
} // namespace provider
