#pragma once

#include <JuceHeader.h>

#include <functional>
#include <memory>

class Core;

namespace qo
{
class ComponentContainer;
}

/**
    The web panel and the message panel that stands in for a page that cannot be shown: the
    provider's home page, with the signed-in user's credentials and the chapters that have a
    newer version, and the local partners sites of the course extras, opened in an embedded
    browser with the program's own request header; and single-line messages.

    The components belong to the main window's component tree; this class drives them and asks
    the window (its Host) to switch panels and for the state it keeps. Message thread only.
*/
class WebPanel final
{
public:
    /** What the panel needs of an embedded browser. */
    class Browser
    {
    public:
        virtual ~Browser() = default;

        /** The browser's component, which is the browser itself: the main window's component
            tree owns it once it is registered there.
        */
        virtual juce::Component& getComponent() = 0;

        /** Opens an address, sending the given header lines ("Name: value") with its request. */
        virtual void open (const juce::String& address, const juce::StringArray& headerLines) = 0;

        virtual void stopLoading() = 0;
    };

    /** Makes the browser that the main window registers inside "webPanel". */
    using BrowserFactory = std::function<std::unique_ptr<Browser>()>;

    /** The framework's embedded web browser (WebKit, run by a child process of the program),
        started by the first page it is asked to show, after a frame that holds it.
    */
    static std::unique_ptr<Browser> makeEmbeddedBrowser();

    /** What the panel needs of the main window. */
    class Host
    {
    public:
        virtual ~Host() = default;

        /** Hides every other right-hand panel and shows this one. */
        virtual void showOnly (const juce::String& panelPath) = 0;

        virtual void layoutContent() = 0;

        /** Whether the catalog came from the server during this run. */
        virtual bool isOnline() const = 0;

        /** Whether the server reported maintenance. */
        virtual bool isInMaintenance() const = 0;

        /** The hash of the password the user signed in with. */
        virtual juce::String getPasswordHash() const = 0;
    };

    WebPanel (Core& core, qo::ComponentContainer& content, Browser& browser, Host& host);

    //==============================================================================
    /** Shows "webPanel" alone and opens an address in it with the program's request header,
        with or without the extras buttons.
    */
    void showWebPage (const juce::String& address, bool showExtrasControls);

    /** Shows the home page of the current catalog, with the user's sign-in and the chapters to
        update, or, while offline, the message that stands in for it.
    */
    void showHomePage();

    /** Shows "messagePanel" alone with a line of text at a font height. */
    void showMessage (const juce::String& text, float fontHeight);

    /** The message for a page that cannot be reached: maintenance or no connection. */
    void showWebUnavailableMessage();

    /** The message for a course without a partners page. */
    void showPartnersUnavailableMessage();

    /** Called as the web panel is hidden: stops loading and unloads the page until another one
        is shown.
    */
    void panelHidden();

    //==============================================================================
    /** The header line sent with every page: "X-Tsy-Customuseragent: TSY-Player v1.36 UID=" and
        the user id, or "0" when there is none.
    */
    static juce::String getCustomHeader (const juce::String& userId);

    /** The home page's address for Core's current catalog: with "loginbutton", "username",
        "password" ("$$" and the hash) and, when any, "needupdate" for a signed-in user; the
        catalog's home URL alone otherwise.
    */
    static juce::String getHomePageAddress (const Core& core, const juce::String& passwordHash);

    /** The chapters, in catalog order, whose video is on disk and older than the catalog's date. */
    static juce::StringArray findOutdatedChapters (const Core& core);

    /** The "file://" address of a local page, spaces written as "%20". */
    static juce::String getLocalPageAddress (const juce::File& page);

    static constexpr float messageFontHeight = 20.0f;

    /** What the browser shows while the panel is hidden. */
    static constexpr const char* blankPage = "about:blank";

private:
    Core& core;
    qo::ComponentContainer& content;
    Browser& browser;
    Host& host;

    /** Whether the browser holds a page that hiding the panel must unload. */
    bool pageLoaded = false;
    juce::String loadedAddress;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WebPanel)
};
