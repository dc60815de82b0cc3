#include "ui/ExtrasPanel.h"

#include "app/SharedRes.h"
#include "kit/PictureDecoder.h"
#include "model/RegularFile.h"

ExtrasPanel::ExtrasPanel (Core& c, Host& h) : juce::Component ("extrasControlsPanel"), core (c), host (h)
{
    const struct
    {
        ExtrasKind kind;
        const char* picture;
        int connectedEdges;
    } buttons[] = {
        { ExtrasKind::Cover, "/vector/cover-icon", juce::Button::ConnectedOnRight },
        { ExtrasKind::Credits, "/vector/credits-icon", juce::Button::ConnectedOnLeft | juce::Button::ConnectedOnRight },
        { ExtrasKind::Partners, "/vector/partners-icon", juce::Button::ConnectedOnLeft },
    };

    for (const auto& b : buttons)
    {
        auto& button = buttonFor (b.kind);
        button.setImages (SharedRes::getInstance()->getDrawable (b.picture));
        button.setColour (juce::DrawableButton::backgroundColourId, juce::Colours::transparentBlack);
        button.setColour (juce::DrawableButton::backgroundOnColourId, juce::Colours::transparentBlack);
        button.setColour (juce::TextButton::buttonColourId, juce::Colours::white);
        button.setColour (juce::TextButton::buttonOnColourId, juce::Colours::white);
        button.setEdgeIndent (5);
        button.setRadioGroupId (1);
        button.setClickingTogglesState (true);
        button.setConnectedEdges (b.connectedEdges);

        // A click queued while the bar was hidden does nothing; without a course the choice
        // waits for the next one.
        button.onClick = [this, &button, k = b.kind]
        {
            if (! button.isShowing())
                return;

            kind = k;

            if (host.getExtrasCourse() >= 0)
                showPage (kind);
        };

        addAndMakeVisible (button);
    }
}

juce::DrawableButton& ExtrasPanel::buttonFor (ExtrasKind k) noexcept
{
    return k == ExtrasKind::Cover ? coverButton : k == ExtrasKind::Credits ? creditsButton : partnersButton;
}

void ExtrasPanel::resized()
{
    const auto p = getWidth();
    coverButton.setBounds (p - 82, 15, 24, 24);
    creditsButton.setBounds (p - 59, 15, 24, 24);
    partnersButton.setBounds (p - 36, 15, 24, 24);
}

bool ExtrasPanel::currentCourseHasPartners() const
{
    const auto course = host.getExtrasCourse();
    return course >= 0 && ! core.getCoursePartnersUrl (course).isEmpty();
}

void ExtrasPanel::refresh()
{
    buttonFor (kind).setToggleState (true, juce::dontSendNotification);

    const auto hasPartners = currentCourseHasPartners();
    partnersButton.setVisible (hasPartners);
    creditsButton.setConnectedEdges (juce::Button::ConnectedOnLeft | (hasPartners ? juce::Button::ConnectedOnRight : 0));
}

void ExtrasPanel::showCourseExtras()
{
    if (kind == ExtrasKind::Partners && ! currentCourseHasPartners())
        kind = ExtrasKind::Cover;

    showPage (kind);
}

juce::Image ExtrasPanel::loadPicture (const juce::File& file)
{
    // The extras thread files only pictures that decoded, but whatever lies in the folder is
    // read again with the decoder that cannot be led past its errors, never the framework's.
    juce::MemoryBlock data;
    juce::Image picture;

    if (file == juce::File() || RegularFile::read (file, PictureDecoder::maxDecodedBytes, data) != RegularFile::Result::read)
        return picture;

    if (const auto decoded = PictureDecoder::decode (data, picture); decoded.failed())
        juce::Logger::writeToLog ("picture refused: " + file.getFullPathName() + ": " + decoded.getErrorMessage());

    return picture;
}

void ExtrasPanel::showPage (ExtrasKind newKind)
{
    kind = newKind;
    const auto courseId = core.getCourseId (host.getExtrasCourse());
    const auto* extras = core.getExtrasDownloader();

    if (kind == ExtrasKind::Partners)
    {
        const auto folder = extras != nullptr ? extras->findPartnersFolder (courseId) : juce::File();
        auto& web = host.getExtrasWebPanel();

        if (folder == juce::File() || ! folder.getChildFile ("index.html").existsAsFile())
        {
            web.showPartnersUnavailableMessage();
            return;
        }

        web.showWebPage (WebPanel::getLocalPageAddress (folder.getChildFile ("index.html")), true);
    }
    else
    {
        juce::File file;

        if (extras != nullptr)
            file = kind == ExtrasKind::Cover ? extras->findCoverFile (courseId) : extras->findCreditsFile (courseId);

        host.showExtrasPicture (loadPicture (file));
    }

    refresh();
}
