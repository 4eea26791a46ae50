#pragma once

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

namespace kestravin {

// A started timer; destroying it stops it.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// Delayed and repeating work of the services. Everything runs on the GUI
// thread's event loop; tests substitute a scheduler whose time they advance.
class Scheduler {
public:
    using Action = std::function<void()>;

    virtual ~Scheduler() = default;

    // Runs `action` once after `delay`, unless `context` has been destroyed by
    // then (the weak hold of delayed work).
    virtual void runLater(std::chrono::milliseconds delay, QObject* context, Action action) = 0;

    // Starts a timer that runs `action` after each `interval` (or once when
    // not repeating) for as long as the returned Timer lives and is not stopped.
    virtual std::unique_ptr<Timer> startTimer(std::chrono::milliseconds interval, bool repeating, Action action) = 0;

    // The event-loop scheduler built on QTimer.
    static Scheduler& system();
};

} // namespace kestravin
