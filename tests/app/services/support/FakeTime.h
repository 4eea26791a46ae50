#pragma once

#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"

#include <QPointer>

#include <map>
#include <memory>

namespace kestravin::testing {

// A clock and scheduler whose time moves only when the test advances it.
// Work falls due in time order; work of the same instant runs in the order it
// was scheduled.
class FakeTime final : public Clock, public Scheduler {
public:
    explicit FakeTime(QDateTime start = QDateTime(QDate(2026, 3, 2), QTime(10, 0), Qt::UTC));

    QDateTime now() const override { return m_now; }
    void runLater(std::chrono::milliseconds delay, QObject* context, Action action) override;
    std::unique_ptr<Timer> startTimer(std::chrono::milliseconds interval, bool repeating, Action action) override;

    // Moves time forward, running every piece of work that falls due.
    void advance(std::chrono::milliseconds by);
    void setNow(const QDateTime& now) { m_now = now; }
    // Pieces of work that are waiting (timers count once).
    int pending() const { return int(m_queue.size()); }
    // Active repeating timers and their intervals, for idle-cost checks.
    std::vector<std::chrono::milliseconds> activeIntervals() const;

private:
    struct Entry {
        std::chrono::milliseconds interval { 0 };
        bool repeating = false;
        bool hasContext = false;
        QPointer<QObject> context;
        Action action;
        std::shared_ptr<bool> alive;
    };
    class FakeTimer;

    void enqueue(qint64 dueMs, Entry entry);

    QDateTime m_now;
    qint64 m_sequence = 0;
    std::multimap<std::pair<qint64, qint64>, Entry> m_queue; // (due ms since epoch, sequence)
};

} // namespace kestravin::testing
