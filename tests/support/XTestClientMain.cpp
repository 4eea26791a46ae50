// A minimal X client for tests: maps one window with the class, GTK
// application ID and title given on the command line, then reports on stdout
// when the window manager changes its WM_STATE, with CLOCK_MONOTONIC stamps so
// that a test can measure how long the window stayed up.
//
//   kestravin_x_test_client [--class instance,Class] [--app-id ID] [--title T] [--no-pid]
//
// Lines written: "mapped <window> <ns>", then "iconic <ns>" / "normal <ns>".
#include <xcb/xcb.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

long long monotonicNs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

xcb_atom_t intern(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply
        = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

void setText(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type, const std::string& value)
{
    xcb_change_property(
        c, XCB_PROP_MODE_REPLACE, w, property, type, 8, static_cast<uint32_t>(value.size()), value.data());
}

} // namespace

int main(int argc, char** argv)
{
    std::string wmClass;
    std::string appId;
    std::string title = "test window";
    bool withPid = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--class" && i + 1 < argc) {
            wmClass = argv[++i];
        } else if (arg == "--app-id" && i + 1 < argc) {
            appId = argv[++i];
        } else if (arg == "--title" && i + 1 < argc) {
            title = argv[++i];
        } else if (arg == "--no-pid") {
            withPid = false;
        } else {
            std::fprintf(stderr, "unknown argument %s\n", arg.c_str());
            return 2;
        }
    }

    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i) {
        xcb_screen_next(&screens);
    }
    xcb_screen_t* screen = screens.data;

    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t values[] = { screen->white_pixel, XCB_EVENT_MASK_PROPERTY_CHANGE };
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 40, 40, 320, 200, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
        screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);

    const xcb_atom_t utf8 = intern(c, "UTF8_STRING");
    const xcb_atom_t wmState = intern(c, "WM_STATE");
    if (!wmClass.empty()) {
        // WM_CLASS is "instance\0Class\0".
        std::string value = wmClass;
        const size_t comma = value.find(',');
        if (comma != std::string::npos) {
            value[comma] = '\0';
        } else {
            value += '\0' + wmClass;
        }
        value += '\0';
        setText(c, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, value);
    }
    if (!appId.empty()) {
        setText(c, window, intern(c, "_GTK_APPLICATION_ID"), utf8, appId);
    }
    setText(c, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, title);
    setText(c, window, intern(c, "_NET_WM_NAME"), utf8, title);
    if (withPid) {
        const uint32_t pid = static_cast<uint32_t>(getpid());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    }

    xcb_map_window(c, window);
    xcb_flush(c);
    std::printf("mapped %u %lld\n", window, monotonicNs());
    std::fflush(stdout);

    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
            if (notify->atom == wmState && notify->state == XCB_PROPERTY_NEW_VALUE) {
                const long long now = monotonicNs();
                xcb_get_property_reply_t* reply
                    = xcb_get_property_reply(c, xcb_get_property(c, 0, window, wmState, wmState, 0, 2), nullptr);
                if (reply && xcb_get_property_value_length(reply) >= 4) {
                    const uint32_t state = *static_cast<uint32_t*>(xcb_get_property_value(reply));
                    std::printf("%s %lld\n", state == 3 ? "iconic" : "normal", now);
                    std::fflush(stdout);
                }
                std::free(reply);
            }
        }
        std::free(event);
    }
    xcb_disconnect(c);
    return 0;
}
