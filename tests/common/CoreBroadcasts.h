#pragma once

#include "model/Core.h"
#include "tests/common/MessagePump.h"

/** Collects Core's broadcasts; drain() lets the message loop deliver what is pending first. */
struct CoreBroadcasts final : juce::ActionListener
{
    explicit CoreBroadcasts (Core& c) : core (c) { core.addActionListener (this); }
    ~CoreBroadcasts() override { core.removeActionListener (this); }

    void actionListenerCallback (const juce::String& message) override { received.add (message); }

    juce::StringArray drain()
    {
        MessagePump::deliverPending();
        auto result = received;
        received.clear();
        return result;
    }

    Core& core;
    juce::StringArray received;
};
