#include "ui/WebPanel.h"

#include "kit/ComponentContainer.h"
#include "kit/ComponentPaths.h"
#include "model/Core.h"

#include <ProjectInfo.h>

#include <optional>

namespace
{
/** The framework's browser, made when the first page is to be shown rather than with the
    window: making it loads GTK and WebKit and waits for a child process of the program to start
    them too, which is not worth delaying the window's first frame for. The browser is made
    after a frame that holds this component, so a page asked for during start-up waits for the
    window to be painted. On Linux the framework ignores the request to unload while hidden,
    which the panel therefore does itself; the headers reach the page through the patched module.
*/
class EmbeddedBrowser final : public juce::Component,
                              public WebPanel::Browser,
                              private juce::AsyncUpdater
{
public:
    EmbeddedBrowser() = default;

    juce::Component& getComponent() override { return *this; }

    void open (const juce::String& address, const juce::StringArray& headerLines) override
    {
        if (browser != nullptr)
        {
            browser->goToURL (address, &headerLines);
            return;
        }

        // Without a browser there is no page to unload.
        if (address == WebPanel::blankPage)
        {
            pending.reset();
            return;
        }

        pending = Request { address, headerLines };
        repaint();
    }

    void stopLoading() override
    {
        if (browser != nullptr)
            browser->stop();
        else
            pending.reset();
    }

    void paint (juce::Graphics&) override
    {
        // Painted: the frame is on its way, and the browser may be made once it is out.
        if (pending.has_value())
            triggerAsyncUpdate();
    }

    void resized() override
    {
        if (browser != nullptr)
        {
            browser->setBounds (getLocalBounds());
            moveEmptyPageWindowAway();
        }
    }

private:
    struct Request
    {
        juce::String address;
        juce::StringArray headerLines;
    };

    void handleAsyncUpdate() override
    {
        if (! pending.has_value() || browser != nullptr)
            return;

        const auto request = std::move (*pending);
        pending.reset();
        browser = std::make_unique<juce::WebBrowserComponent>();
        addAndMakeVisible (*browser);
        resized();
        browser->goToURL (request.address, &request.headerLines);
    }

    /** The page is drawn by a window of the browser's process, which ignores the visibility of
        its component and cannot be made 0 by 0: left at its first or last size it would cover
        the panel shown in its place. Without room it goes out of sight at the smallest size.
    */
    void moveEmptyPageWindowAway()
    {
        if (browser != nullptr && getLocalBounds().isEmpty())
            for (auto* child : browser->getChildren())
                child->setBounds (-10000, -10000, 1, 1);
    }

    std::unique_ptr<juce::WebBrowserComponent> browser;
    std::optional<Request> pending;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (EmbeddedBrowser)
};
} // namespace

std::unique_ptr<WebPanel::Browser> WebPanel::makeEmbeddedBrowser()
{
    return std::make_unique<EmbeddedBrowser>();
}

WebPanel::WebPanel (Core& c, qo::ComponentContainer& container, Browser& b, Host& h)
    : core (c), content (container), browser (b), host (h)
{
}

//==============================================================================
void WebPanel::showWebPage (const juce::String& address, bool showExtrasControls)
{
    // A rebuilt catalog tree selects its row again, which must not load the page on show anew.
    const auto alreadyShown = pageLoaded && address == loadedAddress
                              && content.getRequired<juce::Component> (ComponentPaths::webPanel)->isVisible();

    host.showOnly (ComponentPaths::webPanel);
    const juce::StringArray headerLines (getCustomHeader (core.getUserId()));
    host.layoutContent();

    // A catalog without a home page leaves the browser blank rather than asking it for nothing.
    if (! alreadyShown && address.isNotEmpty())
    {
        browser.open (address, headerLines);
        pageLoaded = true;
        loadedAddress = address;
    }

    content.getRequired<juce::Component> (ComponentPaths::extrasControlsPanel)->setVisible (showExtrasControls);
}

void WebPanel::showHomePage()
{
    if (host.isOnline())
        showWebPage (getHomePageAddress (core, host.getPasswordHash()), false);
    else
        showWebUnavailableMessage();
}

void WebPanel::showMessage (const juce::String& text, float fontHeight)
{
    host.showOnly (ComponentPaths::messagePanel);

    auto* label = content.getRequired<juce::Label> (ComponentPaths::messageLabel);
    label->setFont (label->getFont().withHeight (fontHeight));
    label->setText (text, juce::dontSendNotification);
    label->setSize (400, 100);
    host.layoutContent();
}

void WebPanel::showWebUnavailableMessage()
{
    showMessage (host.isInMaintenance() ? TRANS ("Servers are currently undergoing some maintenance, please retry later")
                                        : TRANS ("Please connect to the internet to view the page"),
                 messageFontHeight);
}

void WebPanel::showPartnersUnavailableMessage()
{
    showMessage (TRANS ("Partners section unavailable for this course"), messageFontHeight);
}

void WebPanel::panelHidden()
{
    browser.stopLoading();

    if (pageLoaded)
    {
        browser.open (blankPage, {});
        pageLoaded = false;
        loadedAddress.clear();
    }
}

//==============================================================================
juce::String WebPanel::getCustomHeader (const juce::String& userId)
{
    return juce::String ("X-Tsy-Customuseragent: ") + ProjectInfo::applicationName + " v" + ProjectInfo::versionString
           + " UID=" + (userId.isEmpty() ? juce::String ("0") : userId);
}

juce::String WebPanel::getHomePageAddress (const Core& core, const juce::String& passwordHash)
{
    auto url = core.getHomeUrl();

    if (core.hasUser())
    {
        url = url.withParameter ("loginbutton", "1")
                  .withParameter ("username", core.getUserName())
                  .withParameter ("password", "$$" + passwordHash);

        if (const auto outdated = findOutdatedChapters (core); ! outdated.isEmpty())
            url = url.withParameter ("needupdate", outdated.joinIntoString (","));
    }

    return url.toString (true);
}

juce::StringArray WebPanel::findOutdatedChapters (const Core& core)
{
    juce::StringArray outdated;

    for (int course = 0; course < core.getNumCourses(); ++course)
    {
        for (int lesson = 0; lesson < core.getNumLessons (course); ++lesson)
        {
            for (int position = 0; position < core.getNumChapters (course, lesson); ++position)
            {
                const auto chapterId = core.getChapterId (course, lesson, position);

                if (core.isVideoPresent (chapterId) && core.getChapterDate (chapterId) > core.getTimestamp (chapterId))
                    outdated.add (chapterId);
            }
        }
    }

    return outdated;
}

juce::String WebPanel::getLocalPageAddress (const juce::File& page)
{
    return "file://" + page.getFullPathName().replace (" ", "%20");
}
