#pragma once

#include "kit/StuffRepository.h"

/**
    Where the program's data lives and where the provider's service is, plus the skin: the
    repository filled from the compiled-in archive, the drawables made from it or in code, the
    tree icons and the two look-and-feel objects.

    A process-wide singleton created on first use during start-up on the message thread, before
    any worker thread exists; read-only afterwards and read from every thread.
*/
class SharedRes final : public qo::StuffRepository
{
public:
    SharedRes();
    ~SharedRes() override;

    JUCE_DECLARE_SINGLETON (SharedRes, false)

    /** The per-user data folder, or its child "test" while the test-server override is active. */
    juce::File getUserDataFolder() const { return userDataFolder; }

    /** The data folder shared by all users (the manuals live there). */
    juce::File getCommonDataFolder() const { return commonDataFolder; }

    /** The catalog service: the base address followed by "catalog.php". */
    juce::String getCatalogUrl() const { return catalogUrl; }

    /** The drawable the catalog tree shows for an icon index from 0 to 12; nullptr otherwise. */
    juce::Drawable* getTreeIcon (int index) const noexcept { return treeIcons[index]; }

    /** The number of tree icons. */
    static constexpr int numTreeIcons = 13;

    /** The file whose presence in the home folder redirects the program to a test server. */
    static juce::File getTestUrlFile();

    /** The per-user data folder before any test redirection: $XDG_DATA_HOME/Tessaly/TSY-Player. */
    static juce::File getDefaultUserDataFolder();

    /** The all-users data folder: <install prefix>/share/Tessaly/TSY-Player. */
    static juce::File getDefaultCommonDataFolder();

private:
    static void ensureFolder (const juce::File& folder);
    static void makePrivate (const juce::File& folder);
    void applyTestServerOverride (juce::String& baseUrl);
    void loadSkin();
    void registerDrawables();
    void registerLookAndFeels();

    juce::File userDataFolder;
    juce::File commonDataFolder;
    juce::String catalogUrl;
    juce::Array<juce::Drawable*> treeIcons;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SharedRes)
};
