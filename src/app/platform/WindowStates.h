#pragma once

class QWindow;

namespace kestravin {

// What the covering panels ask of the window manager for this application's
// own top-level windows, beyond Qt's window flags: staying above other windows
// (full-screen ones included) on every desktop and being brought to the front
// as a pager would. Each request answers whether it could be sent.
class WindowStates {
public:
    virtual ~WindowStates() = default;

    // Above the others and on every desktop.
    virtual bool keepAboveOnEveryDesktop(QWindow* window) = 0;
    // Brought to the front with the focus, also where the window manager
    // refuses an application's own request.
    virtual bool requestActivation(QWindow* window) = 0;
    virtual bool setAbove(QWindow* window, bool above) = 0;
    // Stacked directly above the client window `sibling`.
    virtual bool restackAbove(QWindow* window, unsigned int sibling) = 0;
    // Whether translucent windows show what lies below them.
    virtual bool compositingManagerRunning() = 0;

    // The application's window states: what the shell installed at start-up,
    // or, before that and in tests that install none, requests that do
    // nothing and answer false.
    static WindowStates& current();
    static void install(WindowStates* states);
};

} // namespace kestravin
