#include "app/services/daemon/HelperConnection.h"

#include "app/platform/Diagnostics.h"
#include "contract/HelperConstants.h"

#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>

#include <climits>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

// Our own timers decide when a call is given up; the bus must not give up first.
constexpr int noBusTimeout = INT_MAX;

const QString noAnswerMessage = u"O ajudante de bloqueio não respondeu."_s;
const QString cannotConnectMessage = u"Cannot connect to helper"_s;
const QString outdatedHelperMessage = u"Atualize o helper do Kestravin."_s;
const QString scheduleCheckFailedMessage = u"Não foi possível validar a agenda."_s;

// Reads the (b success, s message) reply of the daemon.
std::optional<std::pair<bool, QString>> resultOf(const QDBusMessage& reply)
{
    const QVariantList args = reply.arguments();
    if (args.isEmpty() || args.at(0).metaType().id() != QMetaType::Bool) {
        return std::nullopt;
    }
    QString message;
    if (args.size() > 1 && args.at(1).metaType().id() == QMetaType::QString) {
        message = args.at(1).toString();
    }
    return std::make_pair(args.at(0).toBool(), message);
}

void printProxyError(const QDBusError& error)
{
    printDiagnostic(u"HelperConnection: Remote object proxy error: "_s + error.name() + u": "_s + error.message());
}

} // namespace

HelperConnection::HelperConnection(BusFactory busFactory, Scheduler& scheduler, QObject* parent)
    : QObject(parent), m_busFactory(std::move(busFactory)), m_scheduler(scheduler)
{
}

HelperConnection::~HelperConnection()
{
    invalidateConnection();
    if (m_daemonWatcher) {
        delete m_daemonWatcher;
        QDBusConnection::disconnectFromBus(m_watchConnectionName);
    }
}

HelperConnection& HelperConnection::shared()
{
    // Lives until the process ends, like every shared service.
    static auto* instance = new HelperConnection(systemBusFactory(), Scheduler::system());
    return *instance;
}

HelperConnection::BusFactory HelperConnection::systemBusFactory()
{
    return [](const QString& name) { return QDBusConnection::connectToBus(QDBusConnection::SystemBus, name); };
}

std::optional<QDBusConnection> HelperConnection::getConnection()
{
    if (m_connection && !m_connection->isConnected()) {
        // The bus went away (the system bus restarted, or the daemon's bus in a
        // test); the next call gets a fresh connection. The diagnostic keeps
        // the wording that log readers already search for.
        invalidateConnection();
        printDiagnostic(u"HelperConnection: XPC connection invalidated"_s);
    }
    if (!m_connection) {
        ++m_connectionsOpened;
        const QString name = u"kestravin-helper-client-%1-%2"_s.arg(quintptr(this), 0, 16).arg(m_connectionsOpened);
        QDBusConnection connection = m_busFactory(name);
        if (!connection.isConnected()) {
            QDBusConnection::disconnectFromBus(name);
            return std::nullopt;
        }
        m_connection = connection;
        m_connectionName = name;
    }
    return m_connection;
}

void HelperConnection::invalidateConnection()
{
    if (m_connection) {
        m_connection.reset();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }
}

bool HelperConnection::followDaemon()
{
    if (m_daemonWatcher) {
        if (m_daemonWatcher->connection().isConnected()) {
            return true;
        }
        // The bus itself went away; a new one may be up by now.
        delete m_daemonWatcher;
        m_daemonWatcher = nullptr;
        QDBusConnection::disconnectFromBus(m_watchConnectionName);
    }
    m_watchConnectionName = u"kestravin-helper-watch-%1"_s.arg(quintptr(this), 0, 16);
    QDBusConnection connection = m_busFactory(m_watchConnectionName);
    if (!connection.isConnected()) {
        QDBusConnection::disconnectFromBus(m_watchConnectionName);
        return false;
    }
    m_daemonWatcher = new QDBusServiceWatcher(HelperConstants::machServiceName, connection,
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration, this);
    connect(m_daemonWatcher, &QDBusServiceWatcher::serviceRegistered, this, &HelperConnection::daemonAppeared);
    connect(m_daemonWatcher, &QDBusServiceWatcher::serviceUnregistered, this, &HelperConnection::daemonVanished);
    return true;
}

QDBusMessage HelperConnection::methodCall(const QString& method) const
{
    return QDBusMessage::createMethodCall(HelperConstants::machServiceName, HelperConstants::helperObjectPath,
        HelperConstants::helperInterfaceName, method);
}

void HelperConnection::send(QDBusConnection& connection, const QDBusMessage& message,
    std::function<void(const QDBusMessage&)> onReply, std::function<void(const QDBusError&)> onError)
{
    auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(message, noBusTimeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [onReply = std::move(onReply), onError = std::move(onError)](QDBusPendingCallWatcher* call) {
            call->deleteLater();
            if (call->isError()) {
                onError(call->error());
            } else {
                onReply(call->reply());
            }
        });
}

void HelperConnection::guardedCall(const QDBusMessage& message, std::chrono::milliseconds timeout,
    Completion completion, std::function<void(const QDBusMessage&, const Completion&)> handleReply)
{
    // Whatever comes first (reply, error, time-out) completes the call; the
    // rest find it done.
    auto done = std::make_shared<bool>(false);
    Completion finish = [done, completion = std::move(completion)](bool success, QString text) {
        if (*done) {
            return;
        }
        *done = true;
        completion(success, std::move(text));
    };
    m_scheduler.runLater(timeout, this, [this, done, finish] {
        if (*done) {
            return;
        }
        // A daemon that hangs is reached through a fresh connection next
        // time, also by calls that the completion itself makes.
        invalidateConnection();
        finish(false, noAnswerMessage);
    });
    auto connection = getConnection();
    if (!connection) {
        finish(false, cannotConnectMessage);
        return;
    }
    send(
        *connection, message,
        [done, finish, handleReply = std::move(handleReply)](const QDBusMessage& reply) {
            if (!*done) {
                handleReply(reply, finish);
            }
        },
        [finish](const QDBusError& error) { finish(false, noAnswerMessage + u" "_s + error.message()); });
}

void HelperConnection::checkHelperStatus(Completion completion)
{
    guardedCall(methodCall(u"getHelperVersion"_s), statusTimeout, std::move(completion),
        [](const QDBusMessage& reply, const Completion& finish) {
            const QString version = reply.arguments().value(0).toString();
            if (version == HelperConstants::helperVersion) {
                finish(true, {});
            } else {
                finish(false,
                    u"Helper version mismatch: installed="_s + version + u", expected="_s
                        + HelperConstants::helperVersion);
            }
        });
}

namespace {
void finishWithResult(const QDBusMessage& reply, const HelperConnection::Completion& finish)
{
    const auto result = resultOf(reply);
    if (!result) {
        finish(false, noAnswerMessage + u" Invalid reply."_s);
        return;
    }
    finish(result->first, result->second);
}
} // namespace

void HelperConnection::activateBlocking(const QStringList& sites, Completion completion)
{
    QDBusMessage message = methodCall(u"activateBlocking"_s);
    message << sites;
    guardedCall(message, activationTimeout, std::move(completion), finishWithResult);
}

void HelperConnection::activateBlockingUntil(const QStringList& sites, const QDateTime& endsAt, Completion completion)
{
    QDBusMessage message = methodCall(u"activateBlockingUntil"_s);
    message << sites << double(endsAt.toMSecsSinceEpoch()) / 1000.0;
    guardedCall(message, activationTimeout, std::move(completion), finishWithResult);
}

void HelperConnection::queryBlockingActive(std::function<void(bool answered, bool active, QString message)> completion)
{
    auto active = std::make_shared<bool>(false);
    guardedCall(
        methodCall(u"isBlockingActive"_s), activationTimeout,
        [active, completion = std::move(completion)](
            bool answered, QString text) { completion(answered, answered && *active, std::move(text)); },
        [active](const QDBusMessage& reply, const Completion& finish) {
            const QVariant value = reply.arguments().value(0);
            if (value.metaType().id() != QMetaType::Bool) {
                finish(false, noAnswerMessage + u" Invalid reply."_s);
                return;
            }
            *active = value.toBool();
            finish(true, {});
        });
}

void HelperConnection::deactivateBlocking(Completion completion)
{
    auto connection = getConnection();
    if (!connection) {
        completion(false, cannotConnectMessage);
        return;
    }
    send(
        *connection, methodCall(u"deactivateBlocking"_s),
        [completion](const QDBusMessage& reply) {
            const auto result = resultOf(reply);
            completion(result && result->first, result ? result->second : QString());
        },
        printProxyError);
}

void HelperConnection::isBlockingActive(std::function<void(bool active)> completion)
{
    auto connection = getConnection();
    if (!connection) {
        completion(false);
        return;
    }
    send(
        *connection, methodCall(u"isBlockingActive"_s),
        [completion](const QDBusMessage& reply) { completion(reply.arguments().value(0).toBool()); }, printProxyError);
}

void HelperConnection::updateSchedule(const HelperScheduleConfig& config, Completion completion)
{
    auto connection = getConnection();
    if (!connection) {
        completion(false, cannotConnectMessage);
        return;
    }
    const QByteArray data = config.toJsonBytes();
    if (data.isEmpty()) {
        completion(false, u"Failed to encode schedule configuration"_s);
        return;
    }
    QDBusMessage message = methodCall(u"updateSchedule"_s);
    message << data << config.blockedSites;
    send(
        *connection, message,
        [completion](const QDBusMessage& reply) {
            const auto result = resultOf(reply);
            completion(result && result->first, result ? result->second : QString());
        },
        printProxyError);
}

void HelperConnection::getHelperVersion(std::function<void(std::optional<QString>)> completion)
{
    auto connection = getConnection();
    if (!connection) {
        completion(std::nullopt);
        return;
    }
    send(
        *connection, methodCall(u"getHelperVersion"_s),
        [completion](const QDBusMessage& reply) {
            const QVariant value = reply.arguments().value(0);
            completion(value.metaType().id() == QMetaType::QString ? std::optional(value.toString()) : std::nullopt);
        },
        printProxyError);
}

void HelperConnection::gatedCall(
    QDBusMessage message, std::chrono::milliseconds timeout, const GatedMessages& messages, Completion completion)
{
    auto finished = std::make_shared<bool>(false);
    // Completions always come from the event loop, never from inside the call.
    auto finish = [this, finished, completion = std::move(completion)](bool success, QString text) {
        QMetaObject::invokeMethod(
            this,
            [finished, completion, success, text] {
                if (*finished) {
                    return;
                }
                *finished = true;
                completion(success, text);
            },
            Qt::QueuedConnection);
    };
    m_scheduler.runLater(timeout, this, [finish, text = messages.timeout] { finish(false, text); });
    auto connection = getConnection();
    if (!connection) {
        finish(false, messages.noProxy);
        return;
    }
    send(
        *connection, methodCall(u"getHelperVersion"_s),
        [this, finished, finish, message = std::move(message), proxyError = messages.proxyError](
            const QDBusMessage& reply) {
            if (*finished) {
                return;
            }
            if (reply.arguments().value(0).toString() != HelperConstants::helperVersion) {
                finish(false, outdatedHelperMessage);
                return;
            }
            auto current = getConnection();
            if (!current) {
                finish(false, proxyError);
                return;
            }
            send(
                *current, message,
                [finish](const QDBusMessage& operationReply) {
                    const auto result = resultOf(operationReply);
                    finish(result && result->first, result ? result->second : QString());
                },
                [finish, proxyError](const QDBusError&) { finish(false, proxyError); });
        },
        [finish, proxyError = messages.proxyError](const QDBusError&) { finish(false, proxyError); });
}

void HelperConnection::updateBrowserControl(
    const BrowserHelperControl& control, const HelperScheduleConfig& configuration, Completion completion)
{
    const QByteArray controlData = control.toJsonBytes();
    const QByteArray configurationData = configuration.toJsonBytes();
    if (controlData.isEmpty() || configurationData.isEmpty()) {
        completion(false, scheduleCheckFailedMessage);
        return;
    }
    QDBusMessage message = methodCall(u"updateBrowserControl"_s);
    message << controlData << configurationData;
    gatedCall(message, browserControlTimeout,
        { u"O helper não respondeu."_s, outdatedHelperMessage, u"Helper indisponível."_s }, std::move(completion));
}

void HelperConnection::grantScheduledAccess(const QString& platform, const QDateTime& expiresAt,
    const HelperScheduleConfig& expectedConfiguration, Completion completion)
{
    const QByteArray configurationData = expectedConfiguration.toJsonBytes();
    if (configurationData.isEmpty()) {
        completion(false, scheduleCheckFailedMessage);
        return;
    }
    const double expiry = expiresAt.isValid() ? double(expiresAt.toMSecsSinceEpoch()) / 1000.0
                                              : std::numeric_limits<double>::quiet_NaN();
    QDBusMessage message = methodCall(u"grantScheduledAccess"_s);
    message << platform << expiry << configurationData;
    gatedCall(message, accessTimeout,
        { u"O helper não respondeu. Permita o bloqueio neste computador de novo."_s,
            u"Atualize o helper para usar exceções com IA."_s, u"Não foi possível conectar ao helper."_s },
        std::move(completion));
}

void HelperConnection::setSiteAccess(
    const QList<SiteAccessGrant>& grants, const HelperScheduleConfig& expectedConfiguration, Completion completion)
{
    const QByteArray grantData = SiteAccessGrant::listToJsonBytes(grants);
    const QByteArray configurationData = expectedConfiguration.toJsonBytes();
    if (grantData.isEmpty() || configurationData.isEmpty()) {
        completion(false, scheduleCheckFailedMessage);
        return;
    }
    QDBusMessage message = methodCall(u"setSiteAccess"_s);
    message << grantData << configurationData;
    gatedCall(message, accessTimeout,
        { u"O helper não respondeu."_s, outdatedHelperMessage, u"Não foi possível conectar ao helper."_s },
        std::move(completion));
}

} // namespace kestravin
