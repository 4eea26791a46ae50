#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>

namespace kestravin {

// One release as the update feed lists it.
struct AppcastItem {
    // The build version, compared component by component ("1.10.0" > "1.9.2").
    QString version;
    // The version shown to people ("1.10").
    QString displayVersion;
    QUrl archiveUrl;
    qint64 length = 0;
    // Ed25519 signature of the whole archive (64 bytes, decoded).
    QByteArray edSignature;

    bool operator==(const AppcastItem&) const = default;
};

// How far a found update has come when it is shown.
enum class UpdateStage { notDownloaded, downloaded, installing };

struct UpdateState {
    UpdateStage stage = UpdateStage::notDownloaded;
    bool userInitiated = false;
};

// The answer to a found or a downloaded update.
enum class UpdateChoice { install, dismiss, skip };

// The answer to the first-run permission question.
struct UpdatePermission {
    bool automaticChecks = true;
    bool sendSystemProfile = false;
};

// What the updater reports to the application while it checks, downloads and
// installs. Every call arrives on the GUI thread; a reply or acknowledgement
// may be called later, once.
class UpdateUserDriver {
public:
    using Acknowledgement = std::function<void()>;
    using Cancellation = std::function<void()>;
    using ChoiceReply = std::function<void(UpdateChoice)>;

    virtual ~UpdateUserDriver() = default;

    virtual void showPermissionRequest(std::function<void(UpdatePermission)> reply) = 0;
    virtual void showUserInitiatedUpdateCheck(Cancellation cancellation) = 0;
    virtual void showUpdateFound(const AppcastItem& item, const UpdateState& state, ChoiceReply reply) = 0;
    virtual void showUpdateReleaseNotes(const QByteArray& notes) = 0;
    virtual void showUpdateReleaseNotesFailedToDownload(const QString& error) = 0;
    virtual void showUpdateNotFound(const QString& error, Acknowledgement acknowledgement) = 0;
    virtual void showUpdaterError(const QString& error, Acknowledgement acknowledgement) = 0;
    virtual void showDownloadInitiated(Cancellation cancellation) = 0;
    virtual void showDownloadDidReceiveExpectedContentLength(qint64 length) = 0;
    virtual void showDownloadDidReceiveData(qint64 length) = 0;
    virtual void showDownloadDidStartExtractingUpdate() = 0;
    virtual void showExtractionReceivedProgress(double progress) = 0;
    virtual void showReadyToInstallAndRelaunch(ChoiceReply reply) = 0;
    virtual void showInstallingUpdate(bool applicationTerminated, std::function<void()> retryTerminatingApplication)
        = 0;
    virtual void showUpdateInstalledAndRelaunched(bool relaunched, Acknowledgement acknowledgement) = 0;
    virtual void showUpdateInFocus() = 0;
    virtual void dismissUpdateInstallation() = 0;
};

// The updater itself: checks the feed, downloads, verifies, installs and
// relaunches, and tells its user driver about each step.
class UpdateDriver {
public:
    virtual ~UpdateDriver() = default;

    // Starts background checks; false (with the reason) when it cannot run.
    virtual bool start(UpdateUserDriver& userDriver, QString* error) = 0;
    virtual bool canCheckForUpdates() const = 0;
    // A check the user asked for.
    virtual void checkForUpdates() = 0;
};

} // namespace kestravin
