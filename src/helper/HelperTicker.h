#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace kestravin {

// The repeating timer of the daemon's schedule poll, behind a seam so that
// tests drive the ticks themselves.
class HelperTicker {
public:
    virtual ~HelperTicker() = default;
    virtual void start(std::chrono::milliseconds interval, std::function<void()> tick) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// The production ticker: a QTimer on the thread that starts it.
class QTimerTicker final : public HelperTicker {
public:
    void start(std::chrono::milliseconds interval, std::function<void()> tick) override;
    void stop() override;
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
    QMetaObject::Connection m_connection;
};

} // namespace kestravin
