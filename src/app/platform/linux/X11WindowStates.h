#pragma once

#include "app/platform/WindowStates.h"

class QWindow;

namespace kestravin {

// EWMH requests for this application's own top-level windows, for what Qt's
// window flags do not say: staying above other windows (full-screen ones
// included) on every desktop, and being brought to the front as a pager
// would. Each call does nothing outside an X11 session.
namespace X11WindowStates {

// Asks the window manager to keep the mapped `window` above the others and on
// every desktop (_NET_WM_STATE_ABOVE, _NET_WM_STATE_STICKY, _NET_WM_DESKTOP
// 0xFFFFFFFF). Returns false when there is no X11 connection.
bool keepAboveOnEveryDesktop(QWindow* window);

// A _NET_ACTIVE_WINDOW request with source "pager": window managers that
// refuse an application's own request to take the focus honour this one.
bool requestActivation(QWindow* window);

// Adds or removes _NET_WM_STATE_ABOVE on the mapped `window`.
bool setAbove(QWindow* window, bool above);

// Asks the window manager to stack `window` directly above the client window
// `sibling` (_NET_RESTACK_WINDOW, source "pager").
bool restackAbove(QWindow* window, unsigned int sibling);

// Whether a compositing manager runs on the default screen: without one,
// translucent windows show black where they are transparent.
bool compositingManagerRunning();

} // namespace X11WindowStates

// The platform's window states on X11: each request is the function of the
// same name above.
class X11WindowStateRequests final : public WindowStates {
public:
    bool keepAboveOnEveryDesktop(QWindow* window) override;
    bool requestActivation(QWindow* window) override;
    bool setAbove(QWindow* window, bool above) override;
    bool restackAbove(QWindow* window, unsigned int sibling) override;
    bool compositingManagerRunning() override;
};

} // namespace kestravin
