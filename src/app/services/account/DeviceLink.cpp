#include "app/services/account/DeviceLink.h"

#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace kestravin {

DeviceLink::DeviceLink(
    AccountClient& client, Clock& clock, Scheduler& scheduler, UrlOpener openUrl, InstallId installId, QObject* parent)
    : QObject(parent),
      m_client(client),
      m_clock(clock),
      m_scheduler(scheduler),
      m_openUrl(std::move(openUrl)),
      m_installId(std::move(installId))
{
}

void DeviceLink::setMessage(const QString& message)
{
    if (m_message != message) {
        m_message = message;
        Q_EMIT stateChanged();
    }
}

QUrl DeviceLink::confirmationPage(const QUrl& webURL, const QString& installId)
{
    if (installId.isEmpty())
        return webURL;
    // The page's own query stays byte for byte; the install item goes last.
    QUrl page = webURL;
    const QString existing = webURL.query(QUrl::FullyEncoded);
    const QString item = u"install="_s + QString::fromLatin1(QUrl::toPercentEncoding(installId));
    page.setQuery(existing.isEmpty() ? item : existing + u'&' + item, QUrl::StrictMode);
    return page.isValid() ? page : webURL;
}

void DeviceLink::connect()
{
    if (m_connecting)
        return;
    if (!m_client.environment().isConfigured()) {
        m_connectError = describe(DesktopAccessError::configuration);
        m_message = *m_connectError;
        Q_EMIT stateChanged();
        return;
    }
    m_client.renewEpoch();
    const quint64 epoch = m_client.epoch();
    m_connecting = true;
    m_code.clear();
    m_connectError.reset();
    Q_EMIT stateChanged();

    m_client.raw(u"/api/device/begin"_s, "POST"_ba, AccountBodies::empty(), std::nullopt,
        [self = QPointer(this), epoch](AccountReply reply) {
            if (!self || epoch != self->m_client.epoch())
                return;
            if (reply.failure) {
                self->fail(epoch, reply.failure->text);
                return;
            }
            AccountFailure failed;
            const auto connection = reply.decode<DeviceConnection>(failed);
            if (!connection) {
                self->fail(epoch, failed.text);
                return;
            }
            if (!self->m_client.environment().acceptsConnection(connection->webURL)) {
                self->fail(epoch, describe(DesktopAccessError::configuration));
                return;
            }
            self->m_code = connection->code;
            self->m_message = u"Confira o código e confirme a conexão no navegador."_s;
            Q_EMIT self->stateChanged();
            if (self->m_openUrl)
                self->m_openUrl(
                    confirmationPage(connection->webURL, self->m_installId ? self->m_installId() : QString()));
            self->poll(epoch, *connection);
        });
}

void DeviceLink::poll(quint64 epoch, DeviceConnection connection)
{
    if (double(m_clock.now().toMSecsSinceEpoch()) >= connection.expiresAt) {
        fail(epoch, u"A conexão expirou. Tente novamente."_s);
        return;
    }
    m_scheduler.runLater(pollInterval, this, [this, epoch, connection] {
        if (epoch != m_client.epoch())
            return;
        m_client.raw(u"/api/device/poll"_s, "POST"_ba, AccountBodies::devicePoll(connection.secret), std::nullopt,
            [self = QPointer(this), epoch, connection](AccountReply reply) {
                if (!self || epoch != self->m_client.epoch())
                    return;
                if (reply.failure) {
                    self->fail(epoch, reply.failure->text);
                    return;
                }
                AccountFailure failed;
                const auto poll = reply.decode<DevicePoll>(failed);
                if (!poll) {
                    self->fail(epoch, failed.text);
                    return;
                }
                if (poll->status != u"connected"_s || !poll->session) {
                    self->poll(epoch, connection);
                    return;
                }
                const DesktopAccountSession session = *poll->session;
                self->m_client.store().save(session, [self, epoch, session](std::optional<QString> error) {
                    if (!self || epoch != self->m_client.epoch())
                        return;
                    if (error) {
                        self->fail(epoch, *error);
                        return;
                    }
                    self->m_client.setSession(session);
                    Q_EMIT self->linked();
                    self->finish(epoch);
                });
            });
    });
}

void DeviceLink::fail(quint64 epoch, const QString& text)
{
    if (epoch != m_client.epoch())
        return;
    m_message = text;
    m_connectError = text;
    finish(epoch);
}

void DeviceLink::finish(quint64 epoch)
{
    if (epoch != m_client.epoch())
        return;
    m_connecting = false;
    m_code.clear();
    Q_EMIT stateChanged();
}

void DeviceLink::disconnect()
{
    m_client.request(u"/api/auth/logout"_s, "POST"_ba, AccountBodies::empty(), [self = QPointer(this)](AccountReply) {
        if (!self)
            return;
        // Offline or refused, the computer forgets the session all the same.
        self->m_client.forgetSession();
        self->m_connecting = false;
        self->m_code.clear();
        self->m_message = u"Conta desconectada. A agenda já baixada foi preservada."_s;
        Q_EMIT self->signedOut();
        Q_EMIT self->stateChanged();
    });
}

} // namespace kestravin
