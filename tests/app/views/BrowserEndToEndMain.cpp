// The browser end-to-end tests run on a private accessible desktop: Xvfb with
// openbox and a session bus with the accessibility bus of at-spi2-core.
#include "AccessibleSession.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    // The private session bus has no dconf: the accessibility switch is then
    // kept in the launcher's memory.
    qputenv("GSETTINGS_BACKEND", "memory");
    kestravin::test::AccessibleSession session;
    QString error;
    if (!session.start(&error)) {
        std::fprintf(stderr, "no accessible desktop: %s\n", qPrintable(error));
        return 1;
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

// Last in the file: the X11 headers define None, Bool, Status...
#include <X11/Xlib.h>

namespace kestravin::test::browser {

void maximise(quint32 window)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        return;
    }
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1; // add
    event.xclient.data.l[1] = long(XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_VERT", False));
    event.xclient.data.l[2] = long(XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
    event.xclient.data.l[3] = 2; // a pager
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
    XCloseDisplay(display);
}

} // namespace kestravin::test::browser
