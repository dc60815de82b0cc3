#pragma once

#include "app/PrivateTempFolder.h"
#include "downloads/DownloadThread.h"
#include "model/CatalogParser.h"
#include "model/Core.h"
#include "model/LocalStorage.h"

#include "tests/common/JucePrinters.h"
#include "tests/common/MessagePump.h"
#include "tests/downloads/FaultServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <string>

/** Points TMPDIR at a fresh folder for the test's lifetime, so the program's private temporary
    folder (and every temporary download file) is the test's own.
*/
class ScratchTempDir final
{
public:
    /** A fresh folder inside the given one (by default the system's temporary folder). */
    explicit ScratchTempDir (const juce::File& base = juce::File::getSpecialLocation (juce::File::tempDirectory))
        : parent (base.getNonexistentChildFile ("tsy-tmpdir-" + juce::String::toHexString (juce::Random().nextInt64()), {}, false))
    {
        parent.createDirectory();

        if (const auto* value = std::getenv ("TMPDIR"))
            previous = value;

        setenv ("TMPDIR", parent.getFullPathName().toRawUTF8(), 1);
    }

    ~ScratchTempDir()
    {
        if (previous.has_value())
            setenv ("TMPDIR", previous->c_str(), 1);
        else
            unsetenv ("TMPDIR");

        parent.deleteRecursively();
    }

    juce::File getParent() const { return parent; }

private:
    const juce::File parent;
    std::optional<std::string> previous;

    JUCE_DECLARE_NON_COPYABLE (ScratchTempDir)
};

/** Keeps every log line with the time it was written. */
class TimedLog final : public juce::Logger
{
public:
    TimedLog() { juce::Logger::setCurrentLogger (this); }
    ~TimedLog() override { juce::Logger::setCurrentLogger (nullptr); }

    struct Line
    {
        double timeMs;
        juce::String text;
    };

    std::vector<Line> getLines() const
    {
        const juce::ScopedLock sl (lock);
        return lines;
    }

    /** The lines that contain a text. */
    std::vector<Line> find (const juce::String& text) const
    {
        std::vector<Line> found;

        for (const auto& line : getLines())
            if (line.text.contains (text))
                found.push_back (line);

        return found;
    }

    juce::StringArray getTexts() const
    {
        juce::StringArray texts;

        for (const auto& line : getLines())
            texts.add (line.text);

        return texts;
    }

protected:
    void logMessage (const juce::String& message) override
    {
        const juce::ScopedLock sl (lock);
        lines.push_back ({ juce::Time::getMillisecondCounterHiRes(), message });
    }

private:
    juce::CriticalSection lock;
    std::vector<Line> lines;
};

/** Collects Core's broadcasts as the message loop delivers them. */
struct BroadcastLog final : juce::ActionListener
{
    explicit BroadcastLog (Core& c) : core (c) { core.addActionListener (this); }
    ~BroadcastLog() override { core.removeActionListener (this); }

    void actionListenerCallback (const juce::String& message) override { received.add (message); }

    int count (const juce::String& message) const
    {
        int found = 0;

        for (const auto& m : received)
            found += m == message ? 1 : 0;

        return found;
    }

    Core& core;
    juce::StringArray received;
};

/** One chapter of the test catalog and what the server holds for it. */
struct TestChapter
{
    juce::String id;
    juce::MemoryBlock body;

    /** The catalog's "md5"; the body's own checksum when empty. */
    juce::String md5 = {};

    /** The catalog's "size"; the body's size when negative. */
    juce::int64 size = -1;
};

/**
    A user's Core with a catalog of one course "C1" whose chapters the fault server answers,
    a movies folder and a private temporary folder of the test's own, and the log.
*/
class DownloadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (root.createDirectory());
        core->setUsersDirectory (users, juce::dontSendNotification);
    }

    void TearDown() override
    {
        core = nullptr;
        root.deleteRecursively();

        // The operation log tells what the download did; worth seeing when a test fails.
        if (HasFailure())
            for (const auto& line : log.getTexts())
                std::cout << "  log: " << line << std::endl;
    }

    /** Installs a catalog with these chapters (user "u1" unless told) and serves their bodies
        at the catalog's addresses; other paths get 404.
    */
    void install (const std::vector<TestChapter>& chapters, const juce::String& userId = "u1")
    {
        juce::XmlElement catalogElement ("catalog");
        catalogElement.setAttribute ("userid", userId);
        catalogElement.setAttribute ("baseurl", server.getBaseUrl() + "videos/");
        auto* course = catalogElement.createNewChildElement ("course");
        course->setAttribute ("id", "C1");
        course->setAttribute ("title", "Course");
        auto* lesson = course->createNewChildElement ("lesson");
        lesson->setAttribute ("order", 1);

        for (const auto& chapter : chapters)
        {
            auto* element = lesson->createNewChildElement ("chapter");
            element->setAttribute ("id", chapter.id);
            element->setAttribute ("title", "Chapter " + chapter.id);
            element->setAttribute ("md5", chapter.md5.isNotEmpty() ? chapter.md5 : juce::MD5 (chapter.body).toHexString());
            element->setAttribute ("size", juce::String (chapter.size >= 0 ? chapter.size : (juce::int64) chapter.body.getSize()));
            element->setAttribute ("date", "2013-05-10");
            bodies[videoPath (chapter.id)] = chapter.body;
        }

        auto catalog = std::make_unique<Catalog>();
        ASSERT_TRUE (CatalogParser::parseCatalog (*catalog, catalogElement, true));
        ASSERT_TRUE (core->setCatalog (std::move (catalog)));
        serveBodies();
    }

    /** Answers every request for a chapter with its whole body, as a healthy server does. */
    void serveBodies()
    {
        const auto served = bodies;
        server.setReplies ([served] (int, const juce::String& path)
                           {
            if (const auto found = served.find (path); found != served.end())
                return FaultServer::Reply { found->second };

            return FaultServer::Reply { {}, 404 }; });
    }

    static juce::String videoPath (const juce::String& chapterId)
    {
        return "/videos/C1/" + chapterId + "/" + chapterId + ".bin";
    }

    /** Lets the message loop run until the condition holds or the time is up. */
    static bool waitUntil (const std::function<bool()>& condition, int timeoutMs = 30000)
    {
        return MessagePump::runUntil (condition, timeoutMs);
    }

    /** Waits for a chapter's entry to complete or fail and returns its state. */
    DownloadState waitForEnd (const juce::String& chapterId, int timeoutMs = 30000)
    {
        DownloadState state = DownloadState::Queued;
        waitUntil ([&]
                   {
            state = core->getDownloads().getDownloadState (core->getDownloads().findDownload (chapterId));
            return state == DownloadState::Completed || state == DownloadState::Failed; },
                   timeoutMs);

        // Let the messages posted by the end arrive too.
        MessagePump::deliverPending();
        return state;
    }

    DownloadError errorOf (const juce::String& chapterId) const
    {
        return core->getDownloads().getDownloadError (core->getDownloads().findDownload (chapterId));
    }

    bool add (const juce::String& chapterId)
    {
        return core->getDownloads().addDownload ("C1", chapterId, "Course, lesson, 1.1 - " + chapterId);
    }

    juce::File videoFile (const juce::String& chapterId) const
    {
        return core->getVideoFile (chapterId);
    }

    static juce::MemoryBlock contentOf (const juce::File& file)
    {
        juce::MemoryBlock block;
        file.loadFileAsData (block);
        return block;
    }

    /** Files of any kind left in the private temporary folder. */
    static juce::StringArray leftoverTempFiles()
    {
        juce::StringArray names;

        for (const auto& entry : juce::RangedDirectoryIterator (PrivateTempFolder::get(), true, "*", juce::File::findFiles))
            names.add (entry.getFile().getFileName());

        return names;
    }

    ScratchTempDir temp;
    TimedLog log;
    FaultServer server;
    std::map<juce::String, juce::MemoryBlock> bodies;
    juce::File root = juce::File::createTempFile ("tsy-downloads");
    juce::File users = root.getChildFile ("movies/users");
    std::unique_ptr<Core> core = std::make_unique<Core> (root.getChildFile ("data"), Core::Workers { DownloadThread::makeJob });
};
