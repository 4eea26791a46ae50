#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QMutex>
#include <QStringList>

namespace kestravin::testing {

// A scripted stand-in for the daemon on a private bus: it answers every method
// of com.kestravin.Helper, records what it was sent, and can withhold its
// replies or claim another version.
class FakeHelperDaemon final : public QDBusVirtualObject {
    Q_OBJECT
public:
    struct Call {
        QString method;
        QVariantList arguments;
    };

    explicit FakeHelperDaemon(const QString& busAddress);
    ~FakeHelperDaemon() override;

    bool isRegistered() const { return m_registered; }
    // Leaves the bus, as a daemon that stopped.
    void stop();

    void setVersion(const QString& version);
    void setBlockingActive(bool active);
    bool blockingActive() const;
    // The (success, message) of the calls that change blocking or the schedule.
    void setResult(bool success, const QString& message);
    // While set, requests (only those to `onlyMethods` when it is not empty)
    // are kept unanswered until releaseHeld().
    void setHoldReplies(bool hold, const QStringList& onlyMethods = {});
    void releaseHeld();

    QList<Call> calls() const;
    QStringList methods() const;
    int count(const QString& method) const;

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    void reply(const QDBusMessage& message);

    QString m_connectionName;
    QDBusConnection m_connection;
    bool m_registered = false;
    mutable QMutex m_mutex;
    QString m_version = QStringLiteral("1.7.0");
    bool m_active = false;
    bool m_success = true;
    QString m_message;
    bool m_hold = false;
    QStringList m_holdMethods;
    QList<QDBusMessage> m_held;
    QList<Call> m_calls;
};

} // namespace kestravin::testing
