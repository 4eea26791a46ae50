#pragma once

#include "app/services/update/UpdateDriver.h"

#include <QObject>
#include <QString>

#include <memory>

namespace kestravin {

// The application's side of the updater: answers the updater at once,
// without dialogs, and publishes a small phase that the popover's update
// notice and the about page show, with their two actions (install now,
// check now).
class AppUpdater : public QObject, public UpdateUserDriver {
    Q_OBJECT
public:
    struct Phase {
        enum class Kind { ready, failed, idle, checking, downloading, upToDate, installing };
        Kind kind = Kind::idle;
        // The display version of `ready`, the message of `failed`.
        QString text;

        static Phase ready(const QString& version) { return { Kind::ready, version }; }
        static Phase failed(const QString& message) { return { Kind::failed, message }; }
        static Phase of(Kind kind) { return { kind, {} }; }
        bool operator==(const Phase&) const = default;
    };

    static constexpr QStringView failureMessage = u"Não foi possível atualizar agora. Tente de novo mais tarde.";

    // Makes the updater for a feed address.
    using DriverFactory = std::function<std::unique_ptr<UpdateDriver>(const QUrl& feedUrl)>;

    AppUpdater(QString feedUrl, DriverFactory factory, QObject* parent = nullptr);
    ~AppUpdater() override;

    // The application's updater: the build's feed and the bundle's driver.
    static AppUpdater& shared();

    // The build's feed address, replaced by KESTRAVIN_FEED_URL when that is set.
    static QString configuredFeedUrl();

    // Creates and starts the updater once; without a feed address it does
    // nothing, and a failed start is dropped silently (a later call retries).
    void start();
    // Takes the pending install reply once and answers it with "install".
    void installNow();
    // A check the user asked for, when the updater can check.
    void checkNow();

    Phase phase() const { return m_phase; }
    bool isStarted() const { return m_updater != nullptr; }
    bool canCheckNow() const { return m_updater && m_updater->canCheckForUpdates(); }
    bool hasPendingInstall() const { return static_cast<bool>(m_installNow); }
    QString foundVersion() const { return m_foundVersion; }
    bool userInitiated() const { return m_userInitiated; }

    // UpdateUserDriver
    void showPermissionRequest(std::function<void(UpdatePermission)> reply) override;
    void showUserInitiatedUpdateCheck(Cancellation cancellation) override;
    void showUpdateFound(const AppcastItem& item, const UpdateState& state, ChoiceReply reply) override;
    void showUpdateReleaseNotes(const QByteArray& notes) override;
    void showUpdateReleaseNotesFailedToDownload(const QString& error) override;
    void showUpdateNotFound(const QString& error, Acknowledgement acknowledgement) override;
    void showUpdaterError(const QString& error, Acknowledgement acknowledgement) override;
    void showDownloadInitiated(Cancellation cancellation) override;
    void showDownloadDidReceiveExpectedContentLength(qint64 length) override;
    void showDownloadDidReceiveData(qint64 length) override;
    void showDownloadDidStartExtractingUpdate() override;
    void showExtractionReceivedProgress(double progress) override;
    void showReadyToInstallAndRelaunch(ChoiceReply reply) override;
    void showInstallingUpdate(bool applicationTerminated, std::function<void()> retryTerminatingApplication) override;
    void showUpdateInstalledAndRelaunched(bool relaunched, Acknowledgement acknowledgement) override;
    void showUpdateInFocus() override;
    void dismissUpdateInstallation() override;

Q_SIGNALS:
    void phaseChanged();

private:
    void setPhase(Phase phase);

    QString m_feedUrl;
    DriverFactory m_factory;
    Phase m_phase;
    std::unique_ptr<UpdateDriver> m_updater;
    ChoiceReply m_installNow;
    QString m_foundVersion;
    bool m_userInitiated = false;
};

} // namespace kestravin
