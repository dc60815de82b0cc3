#pragma once

#include <JuceHeader.h>

namespace provider
{
/**
    A customer of the provider who may sign in: the e-mail address is the login name, the
    identifier and the display name go into the user's catalog.

    A plain value, immutable once the library is loaded; any thread may read it.
*/
struct LibraryUser
{
    juce::String id;
    juce::String email;
    juce::String name;

    /** MD5 of the password's UTF-8 bytes as 32 lower-case hexadecimal digits: what clients send. */
    juce::String passwordHash;

    /** The language of the user's home page, "it" or "en"; empty when the library says none. */
    juce::String lang;
};
} // namespace provider
