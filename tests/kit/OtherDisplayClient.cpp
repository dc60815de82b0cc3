#include "tests/kit/OtherDisplayClient.h"

#include <X11/Xlib.h>
#include <initializer_list>

OtherDisplayClient::OtherDisplayClient() : display (XOpenDisplay (nullptr)) {}

OtherDisplayClient::~OtherDisplayClient()
{
    if (display != nullptr)
        XCloseDisplay (display);
}

void OtherDisplayClient::clickAndSync (unsigned long window, int x, int y)
{
    for (const auto type : { ButtonPress, ButtonRelease })
    {
        XEvent event {};
        auto& button = event.xbutton;
        button.type = type;
        button.display = display;
        button.window = window;
        button.root = DefaultRootWindow (display);
        button.x = x;
        button.y = y;
        button.button = Button1;
        button.state = type == ButtonRelease ? Button1Mask : 0;
        button.same_screen = True;
        button.time = CurrentTime;

        // With no event mask the event goes to the client that made the window.
        XSendEvent (display, window, False, NoEventMask, &event);
    }

    XSync (display, False);
}
