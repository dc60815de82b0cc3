#include "app/SharedRes.h"

#include "app/Prompts.h"
#include "kit/CodeDrawnIcons.h"
#include "kit/CustomLookAndFeel2.h"
#include "kit/SearchTextEditorLookAndFeel.h"
#include "kit/SkinArchive.h"
#include "model/RegularFile.h"

#include <ProjectInfo.h>

#include <sys/stat.h>
#include <unistd.h>

JUCE_IMPLEMENT_SINGLETON (SharedRes)

namespace
{
juce::File vendorFolderIn (const juce::File& parent)
{
    return parent.getChildFile ("Tessaly").getChildFile (ProjectInfo::applicationName);
}

std::unique_ptr<juce::Drawable> wrapImage (const juce::Image& image)
{
    auto drawable = std::make_unique<juce::DrawableImage>();
    drawable->setImage (image);
    return drawable;
}
} // namespace

SharedRes::SharedRes()
{
    userDataFolder = getDefaultUserDataFolder();
    commonDataFolder = getDefaultCommonDataFolder();

    ensureFolder (userDataFolder);
    makePrivate (userDataFolder);
    ensureFolder (commonDataFolder);

    juce::String baseUrl (ProjectInfo::defaultServiceBaseUrl);
    applyTestServerOverride (baseUrl);

    if (! baseUrl.endsWith ("/"))
        baseUrl << "/";

    catalogUrl = baseUrl + "catalog.php";

    loadSkin();
    registerDrawables();
    registerLookAndFeels();
}

SharedRes::~SharedRes()
{
    clearSingletonInstance();
}

juce::File SharedRes::getTestUrlFile()
{
    return juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile ("tsy-testurl.txt");
}

juce::File SharedRes::getDefaultUserDataFolder()
{
    const auto xdgDataHome = juce::SystemStats::getEnvironmentVariable ("XDG_DATA_HOME", {});

    // XDG_DATA_HOME must be absolute to count; a relative value is ignored.
    const auto dataHome = juce::File::isAbsolutePath (xdgDataHome)
                              ? juce::File (xdgDataHome)
                              : juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".local/share");

    return vendorFolderIn (dataHome);
}

juce::File SharedRes::getDefaultCommonDataFolder()
{
    return vendorFolderIn (juce::File (ProjectInfo::installPrefix).getChildFile ("share"));
}

void SharedRes::ensureFolder (const juce::File& folder)
{
    if (folder.exists() && ! folder.isDirectory())
    {
        const auto deleteIt = Prompts::get().askOkCancel (
            Prompts::Icon::warning,
            TRANS ("Error"),
            TRANS ("The following path must be a folder, but it appears to be a file instead:\n") + folder.getFullPathName()
                + TRANS ("\nDo you want to delete the file and create a folder in its place?"),
            TRANS ("Delete file and create folder"),
            TRANS ("Cancel"));

        if (deleteIt)
            folder.deleteFile();
    }

    folder.createDirectory();
}

void SharedRes::makePrivate (const juce::File& folder)
{
    // The folder keeps the remembered password hash, the catalogs and the search database.
    const auto path = folder.getFullPathName().toStdString();
    struct stat info
    {
    };

    if (lstat (path.c_str(), &info) == 0 && S_ISDIR (info.st_mode) && info.st_uid == getuid() && (info.st_mode & 077) != 0)
        chmod (path.c_str(), 0700);
}

void SharedRes::applyTestServerOverride (juce::String& baseUrl)
{
    const auto overrideFile = getTestUrlFile();

    if (! overrideFile.existsAsFile())
        return;

    // Read only as a regular file: a pipe there would hold the start-up before any window.
    juce::MemoryBlock contents;
    RegularFile::read (overrideFile, 64 * 1024, contents);
    baseUrl = contents.toString().trim();
    userDataFolder = userDataFolder.getChildFile ("test");

    Prompts::get().showMessage (Prompts::Icon::info,
                                TRANS ("Test site"),
                                baseUrl + TRANS (" will be used as base address for the tests. To change this, edit the file ")
                                    + overrideFile.getFullPathName() + TRANS (" or delete it to use the default address"),
                                TRANS ("OK"));
}

void SharedRes::loadSkin()
{
    juce::MemoryInputStream archiveStream (SkinArchive::getData(), SkinArchive::getSize(), false);
    juce::ZipFile archive (archiveStream);
    addEntriesFromZip (archive);
}

void SharedRes::registerDrawables()
{
    setDrawable ("/vector/play-small", wrapImage (getImage ("play-small")));
    setDrawable ("/vector/free-video", wrapImage (getImage ("present")));

    static constexpr const char* iconKeys[numTreeIcons] = {
        "/vector/go-bottom-green", "/vector/play-small", "/vector/free-video", "/vector/media-playback-pause",
        "/vector/go-bottom-blue", "/vector/system-search", "/vector/list-remove", "/vector/go-home",
        "/vector/folder", nullptr, "/vector/applications-system", "/vector/help-browser",
        "/vector/go-bottom-orange"
    };

    treeIcons.clear();

    for (auto* key : iconKeys)
        treeIcons.add (key != nullptr ? getDrawable (key) : nullptr);

    setDrawable ("/vector/clear-search", CodeDrawnIcons::createClearSearch());
    treeIcons.set (9, getDrawable ("/vector/clear-search"));

    setDrawable ("/vector/cover-icon", CodeDrawnIcons::createCoverIcon());
    setDrawable ("/vector/credits-icon", CodeDrawnIcons::createCreditsIcon());
    setDrawable ("/vector/partners-icon", CodeDrawnIcons::createPartnersIcon());
    setDrawable ("/vector/min-volume", CodeDrawnIcons::createMinVolume());
    setDrawable ("/vector/max-volume", CodeDrawnIcons::createMaxVolume());
}

void SharedRes::registerLookAndFeels()
{
    auto custom = std::make_unique<CustomLookAndFeel2> (getDrawable ("/vector/led-off"), getDrawable ("/vector/led-on"));
    custom->applySkinColours();
    custom->setSkin (this);

    const auto bold = getTypeface ("Lucida Grande Bold");
    const auto regular = getTypeface ("Lucida Grande Regular");

    if (bold != nullptr && regular != nullptr)
    {
        custom->setButtonFont (juce::Font (bold).withHeight (12.5f));
        custom->setTitleFont (juce::Font (regular));
        custom->setHeaderFont (juce::Font (regular).withHeight (13.0f));
        custom->setMenuFont (juce::Font (regular).withHeight (13.0f));
    }

    setObject ("/custom", std::move (custom));

    auto searchEditor = std::make_unique<SearchTextEditorLookAndFeel>();
    searchEditor->setColour (juce::TextEditor::backgroundColourId, juce::Colour (0x00ffffff));
    setObject ("/searchEditor", std::move (searchEditor));
}
