#include "TestLibraryWriter.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#ifndef TSY_PROVIDER_SAMPLE_LIBRARY
    #error "The build passes the sample library's folder in TSY_PROVIDER_SAMPLE_LIBRARY"
#endif

namespace
{
juce::String twoDigits (int value)
{
    return juce::String (value + 1).paddedLeft ('0', 2);
}
} // namespace

juce::String TestLibraryWriter::courseId (const juce::String& lang, int course)
{
    return "GEN" + twoDigits (course) + "-" + lang.toUpperCase();
}

juce::String TestLibraryWriter::chapterId (const juce::String& lang, int course, int lesson, int chapter)
{
    return courseId (lang, course) + "-" + twoDigits (lesson) + juce::String (chapter + 1).paddedLeft ('0', 3);
}

const TestLibraryWriter::User& TestLibraryWriter::firstUser()
{
    static const User user { "ada@example.com", "analytical engine", "u:1@gen", juce::String::fromUTF8 ("Ada L\xc3\xb6velace") };
    return user;
}

const TestLibraryWriter::User& TestLibraryWriter::secondUser()
{
    static const User user { "Alan@Example.com", "bombe", "2", "Alan T." };
    return user;
}

juce::String TestLibraryWriter::createManifest (const Layout& layout)
{
    juce::XmlElement root ("library");
    root.setAttribute ("name", "Generated");

    auto* program = root.createNewChildElement ("program");
    program->setAttribute ("version", layout.programVersion);

    if (layout.withInstaller)
        program->setAttribute ("installer", "installer/Setup File.exe");

    auto* users = root.createNewChildElement ("users");

    for (auto* user : { &firstUser(), &secondUser() })
    {
        auto* element = users->createNewChildElement ("user");
        element->setAttribute ("id", user->id);
        element->setAttribute ("email", user->email);
        element->setAttribute ("password", user->password);
        element->setAttribute ("name", user->name);
    }

    for (auto* lang : { "it", "en" })
    {
        for (int c = 0; c < layout.coursesPerLanguage; ++c)
        {
            auto* course = root.createNewChildElement ("course");
            course->setAttribute ("id", courseId (lang, c));
            course->setAttribute ("lang", lang);
            course->setAttribute ("title", juce::String (lang) + " course " + juce::String (c + 1));
            course->setAttribute ("resolution", "320x180");

            if (layout.withExtras)
            {
                course->setAttribute ("cover", "extras/cover-" + juce::String (c) + ".png");
                course->setAttribute ("credits", "extras/credits.jpg");
                course->setAttribute ("partners", "extras/partners");
            }

            for (int l = 0; l < layout.lessonsPerCourse; ++l)
            {
                auto* lesson = course->createNewChildElement ("lesson");
                lesson->setAttribute ("order", l + 1);
                lesson->setAttribute ("title", "Lesson " + juce::String (l + 1));

                for (int k = 0; k < layout.chaptersPerLesson; ++k)
                {
                    const auto id = chapterId (lang, c, l, k);
                    auto* chapter = lesson->createNewChildElement ("chapter");
                    chapter->setAttribute ("id", id);
                    chapter->setAttribute ("title", "Chapter " + juce::String (k + 1));
                    chapter->setAttribute ("duration", 4.5);
                    chapter->setAttribute ("date", "2024-0" + juce::String (1 + k % 9) + "-15");
                    chapter->setAttribute ("video", "videos/" + id + ".mp4");
                    chapter->createNewChildElement ("transcript")->addTextElement ("[00:01]Words of " + id + " (aside) *um {grouped words}");
                }
            }
        }
    }

    return root.toString();
}

void TestLibraryWriter::writeBytes (const juce::File& file, juce::int64 size, int seed)
{
    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::FileOutputStream out (file);
    juce::Random random (seed);
    juce::HeapBlock<juce::uint8> block (65536);

    for (juce::int64 written = 0; written < size;)
    {
        const auto count = (int) std::min<juce::int64> (65536, size - written);

        for (int i = 0; i < count; i += 4)
        {
            const auto value = random.nextInt();
            std::memcpy (block + i, &value, (size_t) std::min (4, count - i));
        }

        out.write (block, (size_t) count);
        written += count;
    }
}

void TestLibraryWriter::write (const juce::File& folder, const Layout& layout)
{
    folder.createDirectory();
    folder.getChildFile ("library.xml").replaceWithText (createManifest (layout));

    int seed = 1;

    for (auto* lang : { "it", "en" })
        for (int c = 0; c < layout.coursesPerLanguage; ++c)
            for (int l = 0; l < layout.lessonsPerCourse; ++l)
                for (int k = 0; k < layout.chaptersPerLesson; ++k)
                    writeBytes (folder.getChildFile ("videos/" + chapterId (lang, c, l, k) + ".mp4"), layout.videoBytes, seed++);

    if (layout.withExtras)
    {
        for (int c = 0; c < layout.coursesPerLanguage; ++c)
            writeBytes (folder.getChildFile ("extras/cover-" + juce::String (c) + ".png"), 3000, 1000 + c);

        writeBytes (folder.getChildFile ("extras/credits.jpg"), 2000, 999);
        folder.getChildFile ("extras/partners").createDirectory();
        folder.getChildFile ("extras/partners/index.html").replaceWithText ("<html><body>Partners <img src=\"img/logo.png\"></body></html>");
        writeBytes (folder.getChildFile ("extras/partners/img/logo.png"), 1500, 998);
    }

    if (layout.withInstaller)
    {
        const auto installer = folder.getChildFile ("installer/Setup File.exe");
        writeBytes (installer, 4321, 997);

        if (layout.withSignature)
            installer.getSiblingFile ("Setup File.exe.sig").replaceWithText (signFile (installer, getSampleSigningKey()) + "\n", false, false, "\n");
    }
}

juce::File TestLibraryWriter::getSampleSigningKey()
{
    return juce::File (TSY_PROVIDER_SAMPLE_SIGNING_KEY);
}

juce::String TestLibraryWriter::publicKeyOf (const juce::File& keyFile)
{
    juce::MemoryBlock keyText;
    keyFile.loadFileAsData (keyText);
    auto* bio = BIO_new_mem_buf (keyText.getData(), (int) keyText.getSize());
    auto* key = PEM_read_bio_PrivateKey (bio, nullptr, nullptr, nullptr);
    BIO_free (bio);
    unsigned char raw[32] = {};
    size_t size = sizeof (raw);
    const auto ok = key != nullptr && EVP_PKEY_get_raw_public_key (key, raw, &size) == 1;
    EVP_PKEY_free (key);
    char encoded[45] = {};
    EVP_EncodeBlock (reinterpret_cast<unsigned char*> (encoded), raw, ok ? 32 : 0);
    return juce::String (encoded);
}

juce::String TestLibraryWriter::signFile (const juce::File& file, const juce::File& keyFile)
{
    juce::MemoryBlock data;
    file.loadFileAsData (data);
    return sign (data, keyFile);
}

juce::String TestLibraryWriter::sign (const juce::MemoryBlock& data, const juce::File& keyFile)
{
    juce::MemoryBlock keyText;
    keyFile.loadFileAsData (keyText);

    auto* bio = BIO_new_mem_buf (keyText.getData(), (int) keyText.getSize());
    auto* key = PEM_read_bio_PrivateKey (bio, nullptr, nullptr, nullptr);
    BIO_free (bio);
    auto* context = EVP_MD_CTX_new();
    unsigned char signature[64] = {};
    size_t size = sizeof (signature);
    const auto signedOk = key != nullptr && EVP_DigestSignInit (context, nullptr, nullptr, nullptr, key) == 1
                       && EVP_DigestSign (context, signature, &size, static_cast<const unsigned char*> (data.getData()), data.getSize()) == 1;
    EVP_MD_CTX_free (context);
    EVP_PKEY_free (key);
    jassert (signedOk);

    char encoded[89] = {};
    EVP_EncodeBlock (reinterpret_cast<unsigned char*> (encoded), signature, signedOk ? 64 : 0);
    return juce::String (encoded);
}

juce::File TestLibraryWriter::getSampleLibrary()
{
    return juce::File (TSY_PROVIDER_SAMPLE_LIBRARY);
}

juce::File TestLibraryWriter::copySampleLibrary (const juce::File& parent)
{
    auto copy = parent.getNonexistentChildFile ("sample", {}, false);
    getSampleLibrary().copyDirectoryTo (copy);
    return copy;
}
