#include "tests/common/MessagePump.h"
#include "tests/kit/OtherDisplayClient.h"

#include <gtest/gtest.h>

namespace
{
/** A window that counts the presses it is given. */
struct ClickTarget final : juce::Component
{
    void mouseDown (const juce::MouseEvent&) override { ++presses; }
    int presses = 0;
};
} // namespace

// Any request that waits for the display's answer (a repaint waiting for its shared-memory
// completion, a question about the pointer) reads the events that came in front of the answer
// into Xlib's queue. The display's socket is then quiet, and a loop that only polls it would
// leave such a click waiting until some other event came.
TEST (MessageLoop, TakesAClickThatXlibQueuedWhileItWaitedForAnAnswer)
{
    ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    OtherDisplayClient otherProgram;
    ASSERT_TRUE (otherProgram.isConnected());

    ClickTarget target;
    target.setBounds (100, 100, 200, 120);
    target.addToDesktop (0);
    target.setVisible (true);
    ASSERT_TRUE (MessagePump::deliverPending());

    for (int click = 1; click <= 3; ++click)
    {
        otherProgram.clickAndSync ((unsigned long) (juce::pointer_sized_uint) target.getWindowHandle(), 50, 40);

        // Asked before the loop runs again: the answer comes after the click, which Xlib queues.
        juce::Desktop::getMousePosition();

        EXPECT_TRUE (MessagePump::runUntil ([&] { return target.presses == click; }, 10000))
            << "click " << click << " waited in Xlib's queue for an event that never came";
    }
}
