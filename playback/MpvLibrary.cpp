#include "playback/MpvLibrary.h"

#include <dlfcn.h>

namespace
{
template <typename Function>
bool resolveFunction (void* handle, const char* name, Function& function, juce::String& missing)
{
    function = reinterpret_cast<Function> (dlsym (handle, name));

    if (function == nullptr)
        missing = name;

    return function != nullptr;
}
} // namespace

MpvLibrary::MpvLibrary (const juce::String& fileName)
{
    // RTLD_LOCAL: mpv's many dependencies stay out of the way of the program's own symbols.
    auto* handle = dlopen (fileName.toRawUTF8(), RTLD_NOW | RTLD_LOCAL);

    if (handle == nullptr)
    {
        const auto* reason = dlerror();
        error = "libmpv could not be loaded (" + fileName + "): " + (reason != nullptr ? juce::String (reason) : juce::String ("unknown error"));
        return;
    }

    if (! resolve (handle))
        return;

    // A different major version changed the meaning of the structures the player hands over.
    const auto version = functions.mpv_client_api_version();

    if ((version >> 16) != (MPV_CLIENT_API_VERSION >> 16))
    {
        error = "libmpv (" + fileName + ") has client interface " + juce::String (version >> 16) + "." + juce::String (version & 0xffff)
              + ", the program needs " + juce::String (MPV_CLIENT_API_VERSION >> 16) + ".x";
        functions = {};
        return;
    }

    loaded = true;
}

bool MpvLibrary::resolve (void* handle)
{
    juce::String missing;
    auto& f = functions;

    const auto all = resolveFunction (handle, "mpv_client_api_version", f.mpv_client_api_version, missing)
                     && resolveFunction (handle, "mpv_create", f.mpv_create, missing)
                     && resolveFunction (handle, "mpv_initialize", f.mpv_initialize, missing)
                     && resolveFunction (handle, "mpv_terminate_destroy", f.mpv_terminate_destroy, missing)
                     && resolveFunction (handle, "mpv_set_option_string", f.mpv_set_option_string, missing)
                     && resolveFunction (handle, "mpv_set_wakeup_callback", f.mpv_set_wakeup_callback, missing)
                     && resolveFunction (handle, "mpv_wait_event", f.mpv_wait_event, missing)
                     && resolveFunction (handle, "mpv_error_string", f.mpv_error_string, missing)
                     && resolveFunction (handle, "mpv_command", f.mpv_command, missing)
                     && resolveFunction (handle, "mpv_command_ret", f.mpv_command_ret, missing)
                     && resolveFunction (handle, "mpv_command_node_async", f.mpv_command_node_async, missing)
                     && resolveFunction (handle, "mpv_free_node_contents", f.mpv_free_node_contents, missing)
                     && resolveFunction (handle, "mpv_free", f.mpv_free, missing)
                     && resolveFunction (handle, "mpv_get_property", f.mpv_get_property, missing)
                     && resolveFunction (handle, "mpv_get_property_string", f.mpv_get_property_string, missing)
                     && resolveFunction (handle, "mpv_set_property", f.mpv_set_property, missing)
                     && resolveFunction (handle, "mpv_set_property_string", f.mpv_set_property_string, missing)
                     && resolveFunction (handle, "mpv_render_context_create", f.mpv_render_context_create, missing)
                     && resolveFunction (handle, "mpv_render_context_free", f.mpv_render_context_free, missing)
                     && resolveFunction (handle, "mpv_render_context_set_update_callback", f.mpv_render_context_set_update_callback, missing)
                     && resolveFunction (handle, "mpv_render_context_update", f.mpv_render_context_update, missing)
                     && resolveFunction (handle, "mpv_render_context_render", f.mpv_render_context_render, missing)
                     && resolveFunction (handle, "mpv_render_context_report_swap", f.mpv_render_context_report_swap, missing);

    if (! all)
    {
        error = "libmpv could not be used: the loaded library has no function " + missing;
        functions = {};
    }

    return all;
}

const MpvLibrary& MpvLibrary::getShared()
{
    static const MpvLibrary library (defaultFileName);
    return library;
}
