#pragma once

#include "app/services/account/AccountClient.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace kestravin {

class Clock;
class Scheduler;

// Links this computer to an account by a device code: asks for a code, opens
// the web app's confirmation page and polls until the person confirmed there.
// Also the sign-out, which forgets the session but keeps the local hours.
class DeviceLink : public QObject {
    Q_OBJECT
public:
    using UrlOpener = std::function<void(const QUrl&)>;
    using InstallId = std::function<QString()>;

    static constexpr std::chrono::milliseconds pollInterval { 2000 };

    DeviceLink(AccountClient& client, Clock& clock, Scheduler& scheduler, UrlOpener openUrl, InstallId installId,
        QObject* parent = nullptr);

    bool connecting() const { return m_connecting; }
    // The code to show, empty when none.
    const QString& code() const { return m_code; }
    const QString& message() const { return m_message; }
    const std::optional<QString>& connectError() const { return m_connectError; }
    // The account service reports its sync outcome in the same line.
    void setMessage(const QString& message);

    // A second call while a sign-in runs does nothing.
    void connect();
    void disconnect();

    // The confirmation page with `install` appended to its query.
    static QUrl confirmationPage(const QUrl& webURL, const QString& installId);

Q_SIGNALS:
    void stateChanged();
    // The session is saved and set; the owner syncs now.
    void linked();
    // The session is forgotten; the owner clears what it downloaded.
    void signedOut();

private:
    void poll(quint64 epoch, DeviceConnection connection);
    void fail(quint64 epoch, const QString& text);
    void finish(quint64 epoch);

    AccountClient& m_client;
    Clock& m_clock;
    Scheduler& m_scheduler;
    UrlOpener m_openUrl;
    InstallId m_installId;
    bool m_connecting = false;
    QString m_code;
    QString m_message;
    std::optional<QString> m_connectError;
};

} // namespace kestravin
