#pragma once

#include <JuceHeader.h>

/**
    Writes generated course libraries for tsy-provider into a folder: any number of courses per
    language, lessons and chapters, chapter "videos" of a chosen size, extras, users and an
    installer signed with the sample key. Used by the provider's tests and benchmarks; called on the test's thread.
*/
class TestLibraryWriter final
{
public:
    struct Layout
    {
        int coursesPerLanguage = 1;
        int lessonsPerCourse = 2;
        int chaptersPerLesson = 2;

        /** Size of every chapter's video file. */
        juce::int64 videoBytes = 2000;

        juce::String programVersion = "1.36";
        bool withExtras = true;
        bool withInstaller = true;

        /** Whether the installer's signature file, made with the sample key, lies beside it. */
        bool withSignature = true;
    };

    /** Writes library.xml and every file it names into folder (created if needed). */
    static void write (const juce::File& folder, const Layout& layout);

    /** The manifest text for a layout. */
    static juce::String createManifest (const Layout& layout);

    /** Identifiers of the generated course and chapter at these 0-based positions. */
    static juce::String courseId (const juce::String& lang, int course);
    static juce::String chapterId (const juce::String& lang, int course, int lesson, int chapter);

    /** The generated users: e-mail, password, identifier and display name. */
    struct User
    {
        juce::String email, password, id, name;
    };

    static const User& firstUser();
    static const User& secondUser();

    /** Writes a file of this size with bytes that vary along it (seeded, so reproducible). */
    static void writeBytes (const juce::File& file, juce::int64 size, int seed);

    /** A copy of the bundled sample library in a new folder inside parent. */
    static juce::File copySampleLibrary (const juce::File& parent);

    /** The sample library's private signing key (PEM), kept in the source tree for tests only. */
    static juce::File getSampleSigningKey();

    /** The raw public key of a PEM private key, in base64: what the player is built with. */
    static juce::String publicKeyOf (const juce::File& keyFile);

    /** The Ed25519 signature of some bytes with a PEM private key, in base64. */
    static juce::String sign (const juce::MemoryBlock& data, const juce::File& keyFile);

    /** The same for a file's bytes. */
    static juce::String signFile (const juce::File& file, const juce::File& keyFile);

    /** The bundled sample library in the source tree. */
    static juce::File getSampleLibrary();
};
