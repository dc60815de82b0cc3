#include "playback/MpvPlayer.h"

#include "playback/MpvLibrary.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace
{
// Options set before the core starts. Software decoding ("hwdec" "no"): frames go through
// mpv's software renderer, which gives mpv no GPU interop, so a hardware decoder could only
// work with copy-back, which costs a copy per frame and depends on the driver, while a
// 720p chapter decodes in software well within one core.
const char* const coreOptions[][2] = {
    { "vo", "libmpv" },
    { "hwdec", "no" },
    { "keep-open", "yes" },
    { "hr-seek", "yes" },
    { "pause", "yes" },
    { "idle", "yes" },
    { "config", "no" },
    // A chapter is one file: nothing next to it is picked up, and no scripts run.
    { "sub-auto", "no" },
    { "audio-file-auto", "no" },
    { "load-scripts", "no" },
    { "ytdl", "no" },
    // Faster or slower playback stretches the sound's tempo, not its pitch.
    { "audio-pitch-correction", "yes" },
    { "osc", "no" },
    { "load-stats-overlay", "no" },
    { "load-osd-console", "no" },
    { "load-auto-profiles", "no" },
};
} // namespace

MpvPlayer::MpvPlayer (int loadTimeout, const MpvLibrary* library) : loadTimeoutMs (loadTimeout), givenLibrary (library)
{
}

MpvPlayer::~MpvPlayer()
{
    if (core == nullptr)
        return;

    mpv->mpv_set_wakeup_callback (core, nullptr, nullptr);
    cancelPendingUpdate();

    // mpv requires the renderer to be gone before the core.
    renderer = nullptr;
    mpv->mpv_terminate_destroy (core);
}

bool MpvPlayer::startCore()
{
    if (core != nullptr)
        return true;

    if (unavailableReason.isNotEmpty())
        return false;

    // The library and the core are made by the first video opened, so that a start of the
    // program that plays nothing never pays for them.
    const auto& library = givenLibrary != nullptr ? *givenLibrary : MpvLibrary::getShared();
    mpv = library.getFunctions();

    if (mpv == nullptr)
    {
        unavailableReason = library.getError();
        juce::Logger::writeToLog ("video playback unavailable: " + unavailableReason);
        return false;
    }

    // mpv refuses to start under a locale whose decimal separator is not a point.
    std::setlocale (LC_NUMERIC, "C");

    core = mpv->mpv_create();

    if (core == nullptr)
    {
        unavailableReason = "mpv could not create a player";
        juce::Logger::writeToLog ("video playback unavailable: " + unavailableReason);
        return false;
    }

    for (const auto& option : coreOptions)
        mpv->mpv_set_option_string (core, option[0], option[1]);

    if (const auto* audioOutput = std::getenv ("TSY_AUDIO_OUTPUT"); audioOutput != nullptr && *audioOutput != 0)
        mpv->mpv_set_option_string (core, "ao", audioOutput);

    if (mpv->mpv_initialize (core) >= 0)
    {
        // The video output needs its renderer before any file is loaded.
        renderer = std::make_unique<MpvFrameRenderer> (*mpv, *core, [this]
                                                       { sendChangeMessage(); });

        if (renderer->isAttached())
        {
            mpv->mpv_set_wakeup_callback (
                core, [] (void* player)
                { static_cast<MpvPlayer*> (player)->triggerAsyncUpdate(); },
                this);
            applyKeptSettings();
            return true;
        }

        renderer = nullptr;
    }

    mpv->mpv_terminate_destroy (core);
    core = nullptr;
    unavailableReason = "mpv could not start its software video output";
    juce::Logger::writeToLog ("video playback unavailable: " + unavailableReason);
    return false;
}

bool MpvPlayer::load (const juce::File& videoFile)
{
    JUCE_ASSERT_MESSAGE_THREAD
    close();

    if (! videoFile.existsAsFile() || ! startCore())
        return false;

    // mpv keeps the pause state from one file to the next, and a chapter opens paused.
    setFlag ("pause", true);

    const auto path = videoFile.getFullPathName();
    const char* words[] = { "loadfile", path.toRawUTF8(), nullptr };
    mpv_node result {};

    if (mpv->mpv_command_ret (core, words, &result) < 0)
        return false;

    std::optional<juce::int64> entry;

    if (result.format == MPV_FORMAT_NODE_MAP)
        for (int i = 0; i < result.u.list->num; ++i)
            if (std::strcmp (result.u.list->keys[i], "playlist_entry_id") == 0 && result.u.list->values[i].format == MPV_FORMAT_INT64)
                entry = result.u.list->values[i].u.int64;

    mpv->mpv_free_node_contents (&result);

    open = entry.has_value() && waitUntilLoaded (*entry);

    if (! open)
        unload();

    return open;
}

bool MpvPlayer::waitUntilLoaded (juce::int64 entry)
{
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + loadTimeoutMs;
    bool started = false, loaded = false;

    for (;;)
    {
        const auto remainingMs = deadline - juce::Time::getMillisecondCounterHiRes();

        if (remainingMs <= 0)
        {
            DBG ("mpv: no answer to the load within " << loadTimeoutMs << " ms");
            return false;
        }

        const auto& event = *mpv->mpv_wait_event (core, remainingMs / 1000.0);

        // Events of the file closed before are still in the queue: only this entry's count.
        if (event.event_id == MPV_EVENT_START_FILE)
        {
            started = static_cast<const mpv_event_start_file*> (event.data)->playlist_entry_id == entry;
        }
        else if (event.event_id == MPV_EVENT_END_FILE)
        {
            const auto& end = *static_cast<const mpv_event_end_file*> (event.data);

            if (end.playlist_entry_id == entry)
            {
                DBG ("mpv: cannot play the file: " << mpv->mpv_error_string (end.error));
                return false;
            }
        }
        else if (event.event_id == MPV_EVENT_FILE_LOADED && started)
        {
            loaded = true;

            // A file without a picture (sound alone) is not a video the panel can show.
            auto* videoTrack = mpv->mpv_get_property_string (core, "vid");
            const bool hasVideo = videoTrack != nullptr && std::strcmp (videoTrack, "no") != 0;
            mpv->mpv_free (videoTrack);

            if (! hasVideo)
                return false;
        }

        handleEvent (event);

        // The picture size is known only once the first frame has been decoded.
        if (loaded && ! getDisplaySize().isEmpty())
            return true;
    }
}

void MpvPlayer::close()
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (core == nullptr)
        return;

    open = false;
    unload();
}

void MpvPlayer::unload()
{
    runCommand ({ "stop" });
    renderer->clear();
    heldPosition.reset();
    seeking = false;
    playWhenSeekTaken = false;
}

void MpvPlayer::play()
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (! open)
        return;

    if (seeksAnswered != seeksSent)
    {
        playWhenSeekTaken = true;
        return;
    }

    setFlag ("pause", false);

    if (! seeking)
        heldPosition.reset();
}

void MpvPlayer::pause()
{
    JUCE_ASSERT_MESSAGE_THREAD

    playWhenSeekTaken = false;

    if (open)
        setFlag ("pause", true);
}

bool MpvPlayer::isPlaying() const
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (! open)
        return false;

    if (playWhenSeekTaken)
        return true;

    // Until a seek has landed, mpv still reports the end it is leaving.
    return ! getFlag ("pause").value_or (true) && (seeking || ! getFlag ("eof-reached").value_or (false));
}

void MpvPlayer::setPosition (double seconds)
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (! open)
        return;

    const auto target = juce::jlimit (0.0, getDuration(), seconds);
    heldPosition = target;
    seeking = true;

    mpv_node words[3] {};
    words[0].format = MPV_FORMAT_STRING;
    words[0].u.string = const_cast<char*> ("seek");
    words[1].format = MPV_FORMAT_DOUBLE;
    words[1].u.double_ = target;
    words[2].format = MPV_FORMAT_STRING;
    words[2].u.string = const_cast<char*> ("absolute+exact");

    mpv_node_list list { 3, words, nullptr };
    mpv_node command {};
    command.format = MPV_FORMAT_NODE_ARRAY;
    command.u.list = &list;

    // A seek mpv refused gets no answer, so it must not be counted as sent.
    if (mpv->mpv_command_node_async (core, seeksSent + 1, &command) >= 0)
    {
        ++seeksSent;
    }
    else
    {
        seeking = false;
        heldPosition.reset();
    }
}

double MpvPlayer::getPosition() const
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (! open)
        return 0.0;

    if (heldPosition.has_value())
        return *heldPosition;

    // At the end mpv reports the last frame's time, or a little past the duration.
    const auto duration = getDuration();

    if (getFlag ("eof-reached").value_or (false))
        return duration;

    return juce::jlimit (0.0, duration, getDouble ("time-pos").value_or (0.0));
}

double MpvPlayer::getDuration() const
{
    JUCE_ASSERT_MESSAGE_THREAD
    return open ? juce::jmax (0.0, getDouble ("duration").value_or (0.0)) : 0.0;
}

void MpvPlayer::setVolume (float newVolume)
{
    JUCE_ASSERT_MESSAGE_THREAD

    volume = juce::jlimit (0.0f, 1.0f, newVolume);
    muted = newVolume <= 0.0f;
    applyKeptSettings();
}

float MpvPlayer::getVolume() const
{
    JUCE_ASSERT_MESSAGE_THREAD
    return core != nullptr ? (float) (getDouble ("volume").value_or (0.0) / 100.0) : volume;
}

bool MpvPlayer::isMuted() const
{
    JUCE_ASSERT_MESSAGE_THREAD
    return core != nullptr ? getFlag ("mute").value_or (false) : muted;
}

void MpvPlayer::setSpeed (double rate)
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (! std::isfinite (rate) || rate <= 0.0)
        return;

    speed = rate;
    applyKeptSettings();
}

std::optional<double> MpvPlayer::getAudioClock() const
{
    JUCE_ASSERT_MESSAGE_THREAD
    return open ? getDouble ("audio-pts") : std::nullopt;
}

double MpvPlayer::getSpeed() const
{
    JUCE_ASSERT_MESSAGE_THREAD
    return core != nullptr ? getDouble ("speed").value_or (speed) : speed;
}

void MpvPlayer::setLooping (bool shouldLoop)
{
    JUCE_ASSERT_MESSAGE_THREAD

    looping = shouldLoop;
    applyKeptSettings();
}

void MpvPlayer::applyKeptSettings()
{
    if (core == nullptr)
        return;

    auto percent = 100.0 * (double) volume;
    mpv->mpv_set_property (core, "volume", MPV_FORMAT_DOUBLE, &percent);
    setFlag ("mute", muted);
    mpv->mpv_set_property_string (core, "loop-file", looping ? "inf" : "no");
    auto rate = speed;
    mpv->mpv_set_property (core, "speed", MPV_FORMAT_DOUBLE, &rate);
}

juce::Rectangle<int> MpvPlayer::getVideoSize() const
{
    JUCE_ASSERT_MESSAGE_THREAD
    return open ? getDisplaySize() : juce::Rectangle<int>();
}

juce::int64 MpvPlayer::getNumFramesDropped() const
{
    JUCE_ASSERT_MESSAGE_THREAD
    return getInt ("frame-drop-count").value_or (0) + getInt ("decoder-frame-drop-count").value_or (0);
}

void MpvPlayer::handleAsyncUpdate()
{
    for (;;)
    {
        const auto& event = *mpv->mpv_wait_event (core, 0.0);

        if (event.event_id == MPV_EVENT_NONE)
            break;

        handleEvent (event);
    }
}

void MpvPlayer::handleEvent (const mpv_event& event)
{
    switch (event.event_id)
    {
        case MPV_EVENT_COMMAND_REPLY:
            // Only seeks are sent without waiting; each carries its number.
            seeksAnswered = event.reply_userdata;

            if (seeksAnswered == seeksSent)
            {
                if (event.error < 0)
                {
                    seeking = false;
                    heldPosition.reset();
                }

                if (std::exchange (playWhenSeekTaken, false))
                    setFlag ("pause", false);
            }
            break;

        case MPV_EVENT_PLAYBACK_RESTART:
            if (seeking && seeksAnswered == seeksSent)
            {
                seeking = false;

                if (isPlaying())
                    heldPosition.reset();
            }
            break;

        case MPV_EVENT_VIDEO_RECONFIG:
            if (const auto size = getDisplaySize(); ! size.isEmpty())
                renderer->setFrameSize (size);
            break;

        default:
            break;
    }
}

juce::Rectangle<int> MpvPlayer::getDisplaySize() const
{
    const auto width = getInt ("dwidth").value_or (0);
    const auto height = getInt ("dheight").value_or (0);

    if (width <= 0 || height <= 0)
        return {};

    return { (int) width, (int) height };
}

bool MpvPlayer::setFlag (const char* name, bool value)
{
    int flag = value ? 1 : 0;
    return core != nullptr && mpv->mpv_set_property (core, name, MPV_FORMAT_FLAG, &flag) >= 0;
}

std::optional<bool> MpvPlayer::getFlag (const char* name) const
{
    int flag = 0;

    if (core == nullptr || mpv->mpv_get_property (core, name, MPV_FORMAT_FLAG, &flag) < 0)
        return std::nullopt;

    return flag != 0;
}

std::optional<double> MpvPlayer::getDouble (const char* name) const
{
    double value = 0.0;

    if (core == nullptr || mpv->mpv_get_property (core, name, MPV_FORMAT_DOUBLE, &value) < 0)
        return std::nullopt;

    return value;
}

std::optional<juce::int64> MpvPlayer::getInt (const char* name) const
{
    int64_t value = 0;

    if (core == nullptr || mpv->mpv_get_property (core, name, MPV_FORMAT_INT64, &value) < 0)
        return std::nullopt;

    return (juce::int64) value;
}

void MpvPlayer::runCommand (std::initializer_list<const char*> words)
{
    std::vector<const char*> command (words);
    command.push_back (nullptr);
    mpv->mpv_command (core, command.data());
}
