#pragma once

#include <QObject>

namespace kestravin {

// Whether a screen reader speaks the desktop. Windows that would close or move
// on their own hold still while one runs, so the reader is not cut off.
class ScreenReader : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~ScreenReader() override = default;

    virtual bool isRunning() const = 0;

    // The desktop's reader, followed as it is switched on and off.
    static ScreenReader& system();

Q_SIGNALS:
    void runningChanged(bool running);
};

// A reader whose state the caller sets (tests, screenshots).
class FixedScreenReader : public ScreenReader {
    Q_OBJECT
public:
    explicit FixedScreenReader(bool running = false, QObject* parent = nullptr)
        : ScreenReader(parent), m_running(running)
    {
    }
    bool isRunning() const override { return m_running; }
    void setRunning(bool running)
    {
        if (running != m_running) {
            m_running = running;
            Q_EMIT runningChanged(running);
        }
    }

private:
    bool m_running;
};

} // namespace kestravin
