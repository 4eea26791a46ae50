#pragma once

#include "app/services/bridge/BrowserBridgeAccount.h"
#include "app/services/bridge/DesktopBrowserBridge.h"

#include "FakeTime.h"

#include <QJsonObject>
#include <QTemporaryDir>

#include <memory>

namespace kestravin::testing {

// The account as a test scripts it.
class FakeBridgeAccount final : public BrowserBridgeAccount {
public:
    bool session = false;
    std::optional<BrowserBridgePolicy::AccountView> synced;
    std::optional<QString> focusSource;
    // What a focus start answers; none = success.
    std::optional<QString> startError;
    QList<int> focusStarts;
    int syncs = 0;

    bool hasSession() const override { return session; }
    std::optional<BrowserBridgePolicy::AccountView> syncedAccount() const override { return synced; }
    std::optional<QString> snapshotFocusSource() const override { return focusSource; }
    void startFocus(int minutes, std::function<void(std::optional<QString>)> done) override
    {
        focusStarts.append(minutes);
        done(startError);
    }
    void syncNow(std::function<void()> done) override
    {
        ++syncs;
        done();
    }
};

// A bridge on a temporary exchange folder with a fake clock, a daemon that
// records its calls (and answers when the test says so), a scripted account
// and a recorder of the schedule manager's mirror.
class BridgeRig {
public:
    struct Push {
        BrowserHelperControl control;
        HelperScheduleConfig expected;
        double sentAtMs = 0;
        DesktopBrowserBridge::DaemonCompletion done;
    };

    // `syncOn` is stored as the switch before the bridge reads it.
    explicit BridgeRig(bool syncOn = true, QDateTime start = QDateTime(QDate(2026, 3, 2), QTime(10, 0), Qt::UTC));

    DesktopBrowserBridge& bridge() { return *m_bridge; }
    // A new bridge on the same folder (reads session.json again).
    DesktopBrowserBridge& recreate();

    QString path(const QString& name) const;
    void write(const QString& name, const QByteArray& bytes) const;
    // A receipt of `client` for the current state.json's revision and focus.
    void receipt(const QString& client, double receivedAtMs);
    QJsonObject state() const;
    double nowMs() const { return double(time.now().toMSecsSinceEpoch()); }
    // Advances the clock by one tick interval (the timer runs the tick).
    void second();
    // The switch as stored.
    bool storedSwitch() const;
    // Answers the oldest unanswered push.
    void answer(bool success, const QString& message = {});

    QTemporaryDir dir;
    FakeTime time;
    FakeBridgeAccount account;
    Configuration configuration;
    bool supportsBrowserSync = true;
    QList<Push> pushes;
    qsizetype answered = 0;
    QList<QDateTime> sessionEnds;
    QList<QString> remainingTimes;

private:
    std::unique_ptr<DesktopBrowserBridge> m_bridge;
};

} // namespace kestravin::testing
