#pragma once

#include <JuceHeader.h>

namespace provider
{
/**
    The command line of tsy-provider:
    tsy-provider [--library DIR] [--port N] [--bind ADDR] [--public-url URL]
                 [--media-base-url URL] [--refresh-seconds N] [--maintenance]
                 [--access-log FILE]
    tsy-provider [--library DIR] --sign-installer KEYFILE
    tsy-provider [--library DIR] --export-media DIR

    A plain value filled by parse on the main thread.
*/
struct ProviderOptions
{
    juce::File library;
    int port = 8642;
    juce::String bindAddress = "127.0.0.1";

    /** The absolute base address clients use to reach the server; empty to derive it from the
        bound address and port.
    */
    juce::String publicUrl;

    /** The absolute base address under which another web server serves an export of the
        library's media; empty when the provider serves them itself.
    */
    juce::String mediaBaseUrl;

    int refreshSeconds = 600;
    bool maintenance = false;

    /** Where the access log goes; a default File means standard output. */
    juce::File accessLog;

    /** With --sign-installer: the Ed25519 private key (PEM) to sign the library's installer
        with, instead of serving; a default File otherwise.
    */
    juce::File signingKey;

    /** With --export-media: the folder to write the library's media into, instead of serving;
        a default File otherwise.
    */
    juce::File exportFolder;

    bool showHelp = false;

    /** Reads the arguments (without the program name), each option as "--name value" or
        "--name=value"; defaultLibrary applies without --library. Returns false with a message in
        error when an option is unknown, lacks its value or has a bad one.
    */
    static bool parse (const juce::StringArray& arguments,
                       const juce::File& defaultLibrary,
                       ProviderOptions& options,
                       juce::String& error);

    /** The help text. */
    static juce::String usage();
};
} // namespace provider
