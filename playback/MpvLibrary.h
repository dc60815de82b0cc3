#pragma once

#include <JuceHeader.h>

#include <mpv/client.h>
#include <mpv/render.h>

/** The functions of libmpv the player uses, with the library's own names and types. */
struct MpvFunctions
{
    decltype (&::mpv_client_api_version) mpv_client_api_version = nullptr;
    decltype (&::mpv_create) mpv_create = nullptr;
    decltype (&::mpv_initialize) mpv_initialize = nullptr;
    decltype (&::mpv_terminate_destroy) mpv_terminate_destroy = nullptr;
    decltype (&::mpv_set_option_string) mpv_set_option_string = nullptr;
    decltype (&::mpv_set_wakeup_callback) mpv_set_wakeup_callback = nullptr;
    decltype (&::mpv_wait_event) mpv_wait_event = nullptr;
    decltype (&::mpv_error_string) mpv_error_string = nullptr;
    decltype (&::mpv_command) mpv_command = nullptr;
    decltype (&::mpv_command_ret) mpv_command_ret = nullptr;
    decltype (&::mpv_command_node_async) mpv_command_node_async = nullptr;
    decltype (&::mpv_free_node_contents) mpv_free_node_contents = nullptr;
    decltype (&::mpv_free) mpv_free = nullptr;
    decltype (&::mpv_get_property) mpv_get_property = nullptr;
    decltype (&::mpv_get_property_string) mpv_get_property_string = nullptr;
    decltype (&::mpv_set_property) mpv_set_property = nullptr;
    decltype (&::mpv_set_property_string) mpv_set_property_string = nullptr;
    decltype (&::mpv_render_context_create) mpv_render_context_create = nullptr;
    decltype (&::mpv_render_context_free) mpv_render_context_free = nullptr;
    decltype (&::mpv_render_context_set_update_callback) mpv_render_context_set_update_callback = nullptr;
    decltype (&::mpv_render_context_update) mpv_render_context_update = nullptr;
    decltype (&::mpv_render_context_render) mpv_render_context_render = nullptr;
    decltype (&::mpv_render_context_report_swap) mpv_render_context_report_swap = nullptr;
};

/**
    libmpv, loaded while the program runs rather than linked to it: the library and the two
    hundred others it needs would otherwise be loaded before the program's first window, which
    plays nothing yet.

    A library is opened once and stays loaded for the rest of the run; its functions are
    reached through the table this class fills. A library that is missing, cannot be loaded,
    lacks a function or speaks another major version of the client interface leaves the table
    unset and says why.

    Any thread.
*/
class MpvLibrary final
{
public:

    /** The file name the program loads: the runtime library of the libmpv it was built against. */
    static constexpr const char* defaultFileName = "libmpv.so.2";

    /** Opens a library by file name (searched as the dynamic loader does) or path, and
        resolves every function. The outcome is kept: see getFunctions() and getError().
    */
    explicit MpvLibrary (const juce::String& fileName);

    /** Unloading would pull the code from under mpv's own threads, so the library stays. */
    ~MpvLibrary() = default;

    /** The program's libmpv: loaded by the first call, from any thread, while other callers
        wait for it; the same object afterwards.
    */
    static const MpvLibrary& getShared();

    /** The functions, or nullptr when the library could not be used. */
    const MpvFunctions* getFunctions() const noexcept { return loaded ? &functions : nullptr; }

    /** Why the library could not be used ("" when it can), naming the file and the cause. */
    const juce::String& getError() const noexcept { return error; }

private:
    bool resolve (void* handle);

    MpvFunctions functions;
    bool loaded = false;
    juce::String error;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MpvLibrary)
};
