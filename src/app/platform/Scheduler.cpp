#include "app/platform/Scheduler.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace kestravin {

namespace {

// QTimer takes an int of milliseconds; longer delays are run in legs.
constexpr std::chrono::milliseconds longestLeg { INT_MAX / 2 };

void runAfter(std::chrono::milliseconds delay, QObject* receiver, Scheduler::Action action)
{
    const auto leg = std::min(delay, longestLeg);
    auto rest = delay - leg;
    QTimer::singleShot(leg, Qt::PreciseTimer, receiver, [receiver, rest, action = std::move(action)]() mutable {
        if (rest.count() > 0) {
            runAfter(rest, receiver, std::move(action));
            return;
        }
        action();
    });
}

class QtTimer final : public Timer {
public:
    QtTimer(std::chrono::milliseconds interval, bool repeating, Scheduler::Action action)
    {
        m_timer.setSingleShot(!repeating);
        m_timer.setTimerType(interval < std::chrono::seconds(10) ? Qt::PreciseTimer : Qt::CoarseTimer);
        m_timer.setInterval(std::min(interval, longestLeg));
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, std::move(action));
        m_timer.start();
    }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

class QtScheduler final : public Scheduler {
public:
    void runLater(std::chrono::milliseconds delay, QObject* context, Action action) override
    {
        // Without a context the work is tied to the application object.
        QObject* receiver = context ? context : QCoreApplication::instance();
        runAfter(std::max(delay, std::chrono::milliseconds(0)), receiver, std::move(action));
    }
    std::unique_ptr<Timer> startTimer(std::chrono::milliseconds interval, bool repeating, Action action) override
    {
        return std::make_unique<QtTimer>(interval, repeating, std::move(action));
    }
};

} // namespace

Scheduler& Scheduler::system()
{
    static QtScheduler scheduler;
    return scheduler;
}

} // namespace kestravin
