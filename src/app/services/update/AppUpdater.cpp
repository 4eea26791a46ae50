#include "app/services/update/AppUpdater.h"

#include "app/platform/SharedInstance.h"

#include <QUrl>

using namespace Qt::StringLiterals;

#ifndef KESTRAVIN_FEED_URL
#define KESTRAVIN_FEED_URL ""
#endif

namespace kestravin {

AppUpdater::AppUpdater(QString feedUrl, DriverFactory factory, QObject* parent)
    : QObject(parent), m_feedUrl(std::move(feedUrl)), m_factory(std::move(factory))
{
}

AppUpdater::~AppUpdater() = default;

AppUpdater& AppUpdater::shared()
{
    return SharedInstance<AppUpdater>::get();
}

QString AppUpdater::configuredFeedUrl()
{
    if (qEnvironmentVariableIsSet("KESTRAVIN_FEED_URL")) {
        return qEnvironmentVariable("KESTRAVIN_FEED_URL").trimmed();
    }
    return QString::fromUtf8(KESTRAVIN_FEED_URL).trimmed();
}

void AppUpdater::start()
{
    if (m_updater || m_feedUrl.isEmpty() || !m_factory) {
        return;
    }
    std::unique_ptr<UpdateDriver> updater = m_factory(QUrl(m_feedUrl));
    if (!updater) {
        return;
    }
    // Stored first: the updater may call back while it starts.
    m_updater = std::move(updater);
    QString error;
    if (!m_updater->start(*this, &error)) {
        m_updater.reset();
    }
}

void AppUpdater::installNow()
{
    if (!m_installNow) {
        return;
    }
    ChoiceReply reply = std::exchange(m_installNow, {});
    setPhase(Phase::of(Phase::Kind::installing));
    reply(UpdateChoice::install);
}

void AppUpdater::checkNow()
{
    if (!m_updater || !m_updater->canCheckForUpdates()) {
        return;
    }
    m_userInitiated = true;
    m_updater->checkForUpdates();
}

void AppUpdater::setPhase(Phase phase)
{
    if (phase == m_phase) {
        return;
    }
    m_phase = std::move(phase);
    Q_EMIT phaseChanged();
}

void AppUpdater::showPermissionRequest(std::function<void(UpdatePermission)> reply)
{
    reply(UpdatePermission { true, false });
}

void AppUpdater::showUserInitiatedUpdateCheck(Cancellation)
{
    setPhase(Phase::of(Phase::Kind::checking));
}

void AppUpdater::showUpdateFound(const AppcastItem& item, const UpdateState& state, ChoiceReply reply)
{
    m_foundVersion = item.displayVersion;
    m_userInitiated = state.userInitiated;
    if (state.stage == UpdateStage::notDownloaded) {
        setPhase(Phase::of(Phase::Kind::downloading));
    }
    reply(UpdateChoice::install);
}

void AppUpdater::showUpdateReleaseNotes(const QByteArray&)
{
}

void AppUpdater::showUpdateReleaseNotesFailedToDownload(const QString&)
{
}

void AppUpdater::showUpdateNotFound(const QString&, Acknowledgement acknowledgement)
{
    setPhase(Phase::of(Phase::Kind::upToDate));
    acknowledgement();
}

void AppUpdater::showUpdaterError(const QString&, Acknowledgement acknowledgement)
{
    setPhase(m_userInitiated ? Phase::failed(failureMessage.toString()) : Phase::of(Phase::Kind::idle));
    acknowledgement();
}

void AppUpdater::showDownloadInitiated(Cancellation)
{
    setPhase(Phase::of(Phase::Kind::downloading));
}

void AppUpdater::showDownloadDidReceiveExpectedContentLength(qint64)
{
}

void AppUpdater::showDownloadDidReceiveData(qint64)
{
}

void AppUpdater::showDownloadDidStartExtractingUpdate()
{
}

void AppUpdater::showExtractionReceivedProgress(double)
{
}

void AppUpdater::showReadyToInstallAndRelaunch(ChoiceReply reply)
{
    // A reply stored before is dropped uncalled.
    m_installNow = std::move(reply);
    setPhase(Phase::ready(m_foundVersion));
}

void AppUpdater::showInstallingUpdate(bool, std::function<void()>)
{
    setPhase(Phase::of(Phase::Kind::installing));
}

void AppUpdater::showUpdateInstalledAndRelaunched(bool, Acknowledgement acknowledgement)
{
    acknowledgement();
}

void AppUpdater::showUpdateInFocus()
{
}

void AppUpdater::dismissUpdateInstallation()
{
    m_installNow = {};
    m_userInitiated = false;
    if (m_phase.kind != Phase::Kind::upToDate && m_phase.kind != Phase::Kind::failed) {
        setPhase(Phase::of(Phase::Kind::idle));
    }
}

} // namespace kestravin
