#include "FakeTime.h"

namespace kestravin::testing {

class FakeTime::FakeTimer final : public Timer {
public:
    explicit FakeTimer(std::shared_ptr<bool> alive) : m_alive(std::move(alive)) { }
    ~FakeTimer() override { *m_alive = false; }
    void stop() override { *m_alive = false; }
    bool isActive() const override { return *m_alive; }

private:
    std::shared_ptr<bool> m_alive;
};

FakeTime::FakeTime(QDateTime start) : m_now(std::move(start))
{
}

void FakeTime::enqueue(qint64 dueMs, Entry entry)
{
    m_queue.emplace(std::make_pair(dueMs, m_sequence++), std::move(entry));
}

void FakeTime::runLater(std::chrono::milliseconds delay, QObject* context, Action action)
{
    Entry entry;
    entry.hasContext = context != nullptr;
    entry.context = context;
    entry.action = std::move(action);
    entry.alive = std::make_shared<bool>(true);
    enqueue(m_now.toMSecsSinceEpoch() + std::max<qint64>(delay.count(), 0), std::move(entry));
}

std::unique_ptr<Timer> FakeTime::startTimer(std::chrono::milliseconds interval, bool repeating, Action action)
{
    Entry entry;
    entry.interval = interval;
    entry.repeating = repeating;
    entry.action = std::move(action);
    entry.alive = std::make_shared<bool>(true);
    auto timer = std::make_unique<FakeTimer>(entry.alive);
    enqueue(m_now.toMSecsSinceEpoch() + interval.count(), std::move(entry));
    return timer;
}

void FakeTime::advance(std::chrono::milliseconds by)
{
    const qint64 target = m_now.toMSecsSinceEpoch() + by.count();
    while (!m_queue.empty() && m_queue.begin()->first.first <= target) {
        auto node = m_queue.extract(m_queue.begin());
        Entry entry = std::move(node.mapped());
        m_now = QDateTime::fromMSecsSinceEpoch(node.key().first, m_now.timeSpec());
        if (!*entry.alive || (entry.hasContext && !entry.context)) {
            continue;
        }
        if (entry.repeating) {
            Entry again = entry;
            enqueue(node.key().first + std::max<qint64>(entry.interval.count(), 1), std::move(again));
        } else {
            *entry.alive = false; // a one-shot timer is over once it fired
        }
        entry.action();
    }
    m_now = QDateTime::fromMSecsSinceEpoch(target, m_now.timeSpec());
}

std::vector<std::chrono::milliseconds> FakeTime::activeIntervals() const
{
    std::vector<std::chrono::milliseconds> intervals;
    for (const auto& [key, entry] : m_queue) {
        if (entry.repeating && *entry.alive) {
            intervals.push_back(entry.interval);
        }
    }
    return intervals;
}

} // namespace kestravin::testing
