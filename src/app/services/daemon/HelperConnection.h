#pragma once

#include "app/platform/Scheduler.h"
#include "contract/BrowserHelperControl.h"
#include "contract/HelperScheduleConfig.h"
#include "contract/SiteAccessGrant.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTime>
#include <QObject>

#include <functional>
#include <optional>

class QDBusError;
class QDBusServiceWatcher;

namespace kestravin {

// The application's only client of the daemon on the system bus. It keeps one
// bus connection of its own (created on first use, dropped after a time-out
// or when the bus goes away), guards the calls whose callers cannot wait for
// ever with a time-out, and lets the access-changing calls through only to a
// daemon of exactly our version. Every completion runs on the GUI thread, and
// each guarded call completes exactly once.
class HelperConnection : public QObject {
    Q_OBJECT
public:
    // (success, message); an empty message means none.
    using Completion = std::function<void(bool success, QString message)>;
    // Opens a new private connection to the daemon's bus under `name`.
    using BusFactory = std::function<QDBusConnection(const QString& name)>;

    static constexpr std::chrono::milliseconds statusTimeout { 4000 };
    static constexpr std::chrono::milliseconds activationTimeout { 10000 };
    static constexpr std::chrono::milliseconds browserControlTimeout { 4000 };
    static constexpr std::chrono::milliseconds accessTimeout { 5000 };

    HelperConnection(BusFactory busFactory, Scheduler& scheduler, QObject* parent = nullptr);
    ~HelperConnection() override;

    static HelperConnection& shared();
    // Connections to the real system bus.
    static BusFactory systemBusFactory();

    // Version query, 4 s: (true) for exactly our version, else the mismatch text.
    void checkHelperStatus(Completion completion);
    // Writes the block section now, 10 s.
    void activateBlocking(const QStringList& sites, Completion completion);
    // Writes the block section and has the daemon keep it until `endsAt`, 10 s.
    void activateBlockingUntil(const QStringList& sites, const QDateTime& endsAt, Completion completion);
    // A fresh block state for a decision that must not wait for ever, 10 s:
    // (answered, active, message).
    void queryBlockingActive(std::function<void(bool answered, bool active, QString message)> completion);

    // Calls without a time-out: a daemon that cannot be reached never completes them.
    void deactivateBlocking(Completion completion);
    void isBlockingActive(std::function<void(bool active)> completion);
    void updateSchedule(const HelperScheduleConfig& config, Completion completion);
    void getHelperVersion(std::function<void(std::optional<QString> version)> completion);

    // Access-changing calls, gated on the daemon's version.
    void updateBrowserControl(
        const BrowserHelperControl& control, const HelperScheduleConfig& configuration, Completion completion);
    void grantScheduledAccess(const QString& platform, const QDateTime& expiresAt,
        const HelperScheduleConfig& expectedConfiguration, Completion completion);
    void setSiteAccess(
        const QList<SiteAccessGrant>& grants, const HelperScheduleConfig& expectedConfiguration, Completion completion);

    // Drops the cached connection; the next call opens a new one.
    void invalidateConnection();

    // Follows the daemon's name on its bus through a connection of its own,
    // so that a daemon that stops or comes back is noticed without asking it
    // anything. Cheap once following; false while the bus cannot be reached
    // (call again later).
    bool followDaemon();

    // How many connections have been opened so far (for diagnostics and tests).
    int connectionsOpened() const { return m_connectionsOpened; }

Q_SIGNALS:
    // The daemon took its name on the bus, or gave it up (it stopped or crashed).
    void daemonAppeared();
    void daemonVanished();

private:
    struct GatedMessages {
        QString timeout;
        QString proxyError;
        QString noProxy;
    };

    std::optional<QDBusConnection> getConnection();
    QDBusMessage methodCall(const QString& method) const;
    // Sends `message`; `onReply` or `onError` runs on the GUI thread.
    void send(QDBusConnection& connection, const QDBusMessage& message,
        std::function<void(const QDBusMessage&)> onReply, std::function<void(const QDBusError&)> onError);
    void guardedCall(const QDBusMessage& message, std::chrono::milliseconds timeout, Completion completion,
        std::function<void(const QDBusMessage&, const Completion&)> handleReply);
    void gatedCall(
        QDBusMessage message, std::chrono::milliseconds timeout, const GatedMessages& messages, Completion completion);

    BusFactory m_busFactory;
    Scheduler& m_scheduler;
    std::optional<QDBusConnection> m_connection;
    QString m_connectionName;
    int m_connectionsOpened = 0;
    QDBusServiceWatcher* m_daemonWatcher = nullptr;
    QString m_watchConnectionName;
};

} // namespace kestravin
