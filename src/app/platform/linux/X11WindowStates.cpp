#include "app/platform/linux/X11WindowStates.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace kestravin::X11WindowStates {

namespace {

constexpr uint32_t netWmStateRemove = 0;
constexpr uint32_t netWmStateAdd = 1;
constexpr uint32_t sourcePager = 2;
constexpr uint32_t allDesktops = 0xFFFFFFFF;

xcb_connection_t* connection()
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootOf(xcb_connection_t* c)
{
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    return screen ? screen->root : xcb_window_t(XCB_WINDOW_NONE);
}

xcb_atom_t atom(xcb_connection_t* c, const QByteArray& name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.constData());
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// A client message to the root window, the way EWMH wants requests about a
// managed window to be sent.
void sendToRoot(xcb_connection_t* c, xcb_window_t window, xcb_atom_t type, const uint32_t (&data)[5])
{
    xcb_client_message_event_t event {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    for (int i = 0; i < 5; ++i) {
        event.data.data32[i] = data[i];
    }
    xcb_send_event(c, 0, rootOf(c), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&event));
}

} // namespace

bool keepAboveOnEveryDesktop(QWindow* window)
{
    xcb_connection_t* c = connection();
    if (c == nullptr || window == nullptr) {
        return false;
    }
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = atom(c, QByteArrayLiteral("_NET_WM_STATE"));
    const xcb_atom_t above = atom(c, QByteArrayLiteral("_NET_WM_STATE_ABOVE"));
    const xcb_atom_t sticky = atom(c, QByteArrayLiteral("_NET_WM_STATE_STICKY"));
    const xcb_atom_t desktop = atom(c, QByteArrayLiteral("_NET_WM_DESKTOP"));
    // Source 1: a normal application.
    sendToRoot(c, id, state, { netWmStateAdd, above, sticky, 1, 0 });
    sendToRoot(c, id, desktop, { allDesktops, 1, 0, 0, 0 });
    xcb_flush(c);
    return true;
}

bool requestActivation(QWindow* window)
{
    xcb_connection_t* c = connection();
    if (c == nullptr || window == nullptr) {
        return false;
    }
    const xcb_atom_t active = atom(c, QByteArrayLiteral("_NET_ACTIVE_WINDOW"));
    sendToRoot(c, static_cast<xcb_window_t>(window->winId()), active, { sourcePager, XCB_CURRENT_TIME, 0, 0, 0 });
    xcb_flush(c);
    return true;
}

bool setAbove(QWindow* window, bool above)
{
    xcb_connection_t* c = connection();
    if (c == nullptr || window == nullptr) {
        return false;
    }
    const xcb_atom_t state = atom(c, QByteArrayLiteral("_NET_WM_STATE"));
    const xcb_atom_t aboveAtom = atom(c, QByteArrayLiteral("_NET_WM_STATE_ABOVE"));
    sendToRoot(c, static_cast<xcb_window_t>(window->winId()), state,
        { above ? netWmStateAdd : netWmStateRemove, aboveAtom, 0, 1, 0 });
    xcb_flush(c);
    return true;
}

bool restackAbove(QWindow* window, unsigned int sibling)
{
    xcb_connection_t* c = connection();
    if (c == nullptr || window == nullptr) {
        return false;
    }
    const xcb_atom_t restack = atom(c, QByteArrayLiteral("_NET_RESTACK_WINDOW"));
    sendToRoot(c, static_cast<xcb_window_t>(window->winId()), restack,
        { sourcePager, static_cast<uint32_t>(sibling), XCB_STACK_MODE_ABOVE, 0, 0 });
    xcb_flush(c);
    return true;
}

bool compositingManagerRunning()
{
    xcb_connection_t* c = connection();
    if (c == nullptr) {
        return false;
    }
    const xcb_atom_t selection = atom(c, QByteArrayLiteral("_NET_WM_CM_S0"));
    if (selection == XCB_ATOM_NONE) {
        return false;
    }
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr), &std::free);
    return reply && reply->owner != XCB_WINDOW_NONE;
}

} // namespace kestravin::X11WindowStates

namespace kestravin {

bool X11WindowStateRequests::keepAboveOnEveryDesktop(QWindow* window)
{
    return X11WindowStates::keepAboveOnEveryDesktop(window);
}

bool X11WindowStateRequests::requestActivation(QWindow* window)
{
    return X11WindowStates::requestActivation(window);
}

bool X11WindowStateRequests::setAbove(QWindow* window, bool above)
{
    return X11WindowStates::setAbove(window, above);
}

bool X11WindowStateRequests::restackAbove(QWindow* window, unsigned int sibling)
{
    return X11WindowStates::restackAbove(window, sibling);
}

bool X11WindowStateRequests::compositingManagerRunning()
{
    return X11WindowStates::compositingManagerRunning();
}

} // namespace kestravin
