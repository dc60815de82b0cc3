#pragma once

#include <JuceHeader.h>

/** The three extras of a course; the values are those the main window remembers. */
enum class ExtrasKind
{
    Cover = 0,
    Credits = 1,
    Partners = 2
};

/**
    The worker that keeps a local copy of every course's cover, credits picture and partners
    site, as Core sees it: Core starts it, hands it each course's three addresses whenever it
    installs a catalog, and stops it. The extras thread is the real one.

    Requests and lookups may come from any thread; start and stop come from Core's
    construction and destruction on the message thread.
*/
class ExtrasDownloader
{
public:
    virtual ~ExtrasDownloader() = default;

    /** Starts the worker at the lowest priority. */
    virtual void start() = 0;

    /** Asks the worker to end and waits up to timeoutMs before ending it by force. Called with
        no lock held.
    */
    virtual void stop (int timeoutMs) = 0;

    /** Stores the address of a course's extra of one kind, replacing a request still waiting
        for the same course and kind, and wakes the worker.
    */
    virtual void request (ExtrasKind kind, const juce::String& courseId, const juce::URL& url) = 0;

    void requestCover (const juce::String& courseId, const juce::URL& url) { request (ExtrasKind::Cover, courseId, url); }
    void requestCredits (const juce::String& courseId, const juce::URL& url) { request (ExtrasKind::Credits, courseId, url); }
    void requestPartners (const juce::String& courseId, const juce::URL& url) { request (ExtrasKind::Partners, courseId, url); }

    /** The local copies: the cover or credits picture file and the partners folder (holding
        the site's "index.html") of a course; File() when there is none.
    */
    virtual juce::File findCoverFile (const juce::String& courseId) const = 0;
    virtual juce::File findCreditsFile (const juce::String& courseId) const = 0;
    virtual juce::File findPartnersFolder (const juce::String& courseId) const = 0;
};
