#include "player/MyApplication.h"

#include "app/OperationLog.h"
#include "app/PreferencesManager.h"
#include "app/PrivateTempFolder.h"
#include "app/SharedRes.h"
#include "app/SingleInstance.h"
#include "downloads/DownloadExtrasThread.h"
#include "downloads/DownloadThread.h"
#include "model/Core.h"
#include "model/CoreRegistry.h"
#include "search/UpdateSearchDatabaseThread.h"
#include "ui/MainWindow.h"
#include <ProjectInfo.h>

#include <iostream>

MyApplication::MyApplication() = default;
MyApplication::~MyApplication() = default;

const juce::String MyApplication::getApplicationName()
{
    return ProjectInfo::applicationName;
}

const juce::String MyApplication::getApplicationVersion()
{
    return ProjectInfo::versionString;
}

bool MyApplication::moreThanOneInstanceAllowed()
{
    return true;
}

juce::String MyApplication::getMainWindowTitle()
{
    return juce::String (ProjectInfo::applicationName) + " " + ProjectInfo::versionString;
}

void MyApplication::initialise (const juce::String& commandLine)
{
    instance = std::make_unique<SingleInstance> (SingleInstance::getDefaultFolder());
    isFirstInstance = instance->acquire();

    if (! isFirstInstance)
    {
        const auto answered = instance->handOver (commandLine);
        std::cout << getApplicationName() << " is already running" << (answered ? ": brought to the front" : "") << std::endl;
        quit();
        return;
    }

    instance->onHandOver = [this] (const juce::String& otherCommandLine) { anotherInstanceStarted (otherCommandLine); };

    if (CoreRegistry::size() == 0)
        startSharedServices();

    // No download can be running yet, so any temporary download file is a crashed run's.
    DownloadThread::removeLeftoverTempFiles (PrivateTempFolder::get());

    Core::Workers workers;
    workers.makeDownload = DownloadThread::makeJob;
    workers.makeExtrasDownloader = DownloadExtrasThread::makeDownloader;
    workers.makeSearchDatabaseUpdater = UpdateSearchDatabaseThread::make;
    core = std::make_unique<Core> (SharedRes::getInstance()->getUserDataFolder(), std::move (workers), Core::Start::deferred);
    mainWindow = std::make_unique<MainWindow> (getMainWindowTitle(), *core);
    mainWindow->setVisible (true);

    if (PreferencesManager::getInstance()->getMaximiseWindowAtStartup())
        mainWindow->setFullScreen (true);
}

void MyApplication::shutdown()
{
    if (! isFirstInstance)
    {
        instance = nullptr;
        return;
    }

    mainWindow = nullptr;
    core = nullptr;

    if (CoreRegistry::size() == 0)
        stopSharedServices();

    instance = nullptr;
}

void MyApplication::startSharedServices()
{
    // The order matters: the preferences file lives in a folder the shared resources create,
    // and whether there is a log at all is a preference.
    const auto preferencesFile = SharedRes::getInstance()->getUserDataFolder().getChildFile ("preferences.xml");
    auto* preferences = PreferencesManager::getInstance();
    preferences->load (preferencesFile);

    // With logging off the program's lines go nowhere, not even to the terminal.
    logger = preferences->getLoggingEnabled() ? OperationLog::install (OperationLog::getDefaultFile())
                                              : OperationLog::installSilent();

    juce::Logger::writeToLog ("Program started");
}

void MyApplication::stopSharedServices()
{
    SharedRes::deleteInstance();
    PreferencesManager::deleteInstance();
    juce::Logger::writeToLog ("Program terminated");
    OperationLog::remove();
    logger = nullptr;
}

void MyApplication::anotherInstanceStarted (const juce::String&)
{
    if (mainWindow == nullptr)
        return;

    juce::Logger::writeToLog ("another start: brought to the front");
    mainWindow->setMinimised (false);
    mainWindow->toFront (true);
}
