#include "provider/ProviderOptions.h"

#include "provider/ProviderAddresses.h"

namespace provider
{
namespace
{
bool readNumber (const juce::String& text, int lowest, int highest, int& result)
{
    if (text.isEmpty() || ! text.containsOnly ("0123456789") || text.length() > 9)
        return false;

    result = text.getIntValue();
    return result >= lowest && result <= highest;
}
} // namespace

bool ProviderOptions::parse (const juce::StringArray& arguments,
                             const juce::File& defaultLibrary,
                             ProviderOptions& options,
                             juce::String& error)
{
    const auto fail = [&error] (const juce::String& message) {
        error = message;
        return false;
    };

    options = {};
    options.library = defaultLibrary;

    for (int i = 0; i < arguments.size(); ++i)
    {
        auto name = arguments[i];
        juce::String value;
        bool hasInlineValue = false;

        if (name.startsWith ("--") && name.containsChar ('='))
        {
            value = name.fromFirstOccurrenceOf ("=", false, false);
            name = name.upToFirstOccurrenceOf ("=", false, false);
            hasInlineValue = true;
        }

        if (name == "--help" || name == "-h")
        {
            options.showHelp = true;
            continue;
        }

        if (name == "--maintenance")
        {
            if (hasInlineValue)
                return fail ("--maintenance takes no value");

            options.maintenance = true;
            continue;
        }

        static const juce::StringArray withValue { "--library", "--port", "--bind", "--public-url", "--refresh-seconds", "--access-log", "--sign-installer", "--export-media", "--media-base-url" };

        if (! withValue.contains (name))
            return fail ("unknown option " + name);

        if (! hasInlineValue)
        {
            if (i + 1 >= arguments.size())
                return fail (name + " needs a value");

            value = arguments[++i];
        }

        if (name == "--library")
        {
            options.library = juce::File::getCurrentWorkingDirectory().getChildFile (value);
        }
        else if (name == "--port")
        {
            if (! readNumber (value, 0, 65535, options.port))
                return fail ("--port needs a number from 0 to 65535");
        }
        else if (name == "--bind")
        {
            if (value.isEmpty())
                return fail ("--bind needs an address");

            options.bindAddress = value;
        }
        else if (name == "--public-url")
        {
            if (! ProviderAddresses::isValidBase (value))
                return fail ("--public-url needs an absolute http:// or https:// address");

            options.publicUrl = value;
        }
        else if (name == "--media-base-url")
        {
            if (! ProviderAddresses::isValidBase (value))
                return fail ("--media-base-url needs an absolute http:// or https:// address");

            options.mediaBaseUrl = value;
        }
        else if (name == "--export-media")
        {
            if (value.isEmpty())
                return fail ("--export-media needs a folder");

            options.exportFolder = juce::File::getCurrentWorkingDirectory().getChildFile (value);
        }
        else if (name == "--refresh-seconds")
        {
            if (! readNumber (value, 1, 100000000, options.refreshSeconds))
                return fail ("--refresh-seconds needs a number of seconds, at least 1");
        }
        else if (name == "--sign-installer")
        {
            if (value.isEmpty())
                return fail ("--sign-installer needs a key file");

            options.signingKey = juce::File::getCurrentWorkingDirectory().getChildFile (value);
        }
        else
        {
            if (value.isEmpty())
                return fail ("--access-log needs a file name");

            options.accessLog = juce::File::getCurrentWorkingDirectory().getChildFile (value);
        }
    }

    if (options.signingKey != juce::File() && options.exportFolder != juce::File())
        return fail ("--sign-installer and --export-media are separate commands");

    return true;
}

juce::String ProviderOptions::usage()
{
    return "Usage: tsy-provider [options]\n"
           "Publishes a course library over HTTP: catalog, transcripts, videos, extras, installer and home page.\n"
           "\n"
           "  --library DIR          the library folder (default: the bundled sample library)\n"
           "  --port N               the port to listen on (default 8642; 0 picks a free one)\n"
           "  --bind ADDR            the address to listen on (default 127.0.0.1)\n"
           "  --public-url URL       the base address handed to clients (default: from --bind and the port)\n"
           "  --media-base-url URL   the base address under which another web server serves an\n"
           "                         export of the media (default: the provider serves them)\n"
           "  --refresh-seconds N    the refresh interval told to clients (default 600)\n"
           "  --maintenance          start in maintenance (a file MAINTENANCE in the library also switches it on)\n"
           "  --access-log FILE      write the access log to FILE instead of standard output\n"
           "  --sign-installer KEY   sign the library's installer with the Ed25519 private key in\n"
           "                         the PEM file KEY, write the signature beside it, and exit\n"
           "  --export-media DIR     write the library's videos, extras and installer into DIR\n"
           "                         as the static tree their addresses name, and exit\n"
           "  --help                 show this text\n";
}
} // namespace provider
