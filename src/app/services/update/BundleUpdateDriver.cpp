#include "app/services/update/BundleUpdateDriver.h"

#include "app/services/update/Appcast.h"
#include "app/services/update/BundleSwap.h"
#include "app/services/update/InstallLocation.h"
#include "app/services/update/UpdateArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

using namespace Qt::StringLiterals;

#ifndef KESTRAVIN_UPDATE_PUBLIC_KEY
#define KESTRAVIN_UPDATE_PUBLIC_KEY ""
#endif

namespace kestravin {

namespace {

Q_LOGGING_CATEGORY(lcUpdate, "com.kestravin.app.Update")

constexpr int transferTimeoutMs = 60000;

std::function<void()>& releaseInstance()
{
    static std::function<void()> release;
    return release;
}

std::function<void()>& reclaimInstance()
{
    static std::function<void()> reclaim;
    return reclaim;
}

} // namespace

BundleUpdateDriver::BundleUpdateDriver(Config config, QObject* parent)
    : QObject(parent), m_config(std::move(config)), m_network(new QNetworkAccessManager(this))
{
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    m_network->setTransferTimeout(transferTimeoutMs);
    if (!m_config.scheduler) {
        m_config.scheduler = &Scheduler::system();
    }
}

BundleUpdateDriver::~BundleUpdateDriver()
{
    if (m_reply) {
        m_reply->abort();
    }
}

QByteArray BundleUpdateDriver::builtInPublicKey()
{
    return QByteArray::fromBase64(QByteArray(KESTRAVIN_UPDATE_PUBLIC_KEY));
}

std::unique_ptr<UpdateDriver> BundleUpdateDriver::forRunningBundle(const QUrl& feedUrl)
{
    const auto bundle = InstallLocation::runningBundle();
    if (!bundle) {
        return nullptr;
    }
    Config config;
    config.feedUrl = feedUrl;
    config.bundlePath = *bundle;
    config.currentVersion = QCoreApplication::applicationVersion();
    config.publicKey = builtInPublicKey();
    config.relaunch = [](const QString& program, QString* error) {
        if (releaseInstance()) {
            releaseInstance()();
        }
        QProcess process;
        process.setProgram(program);
        process.setWorkingDirectory(QFileInfo(program).path());
        if (!process.startDetached()) {
            *error = process.errorString();
            if (reclaimInstance()) {
                reclaimInstance()();
            }
            return false;
        }
        return true;
    };
    config.quit = [] { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); };
    return std::make_unique<BundleUpdateDriver>(std::move(config));
}

void BundleUpdateDriver::setInstanceHandOff(std::function<void()> release, std::function<void()> reclaim)
{
    releaseInstance() = std::move(release);
    reclaimInstance() = std::move(reclaim);
}

bool BundleUpdateDriver::start(UpdateUserDriver& userDriver, QString* error)
{
    const auto refuse = [error](const QString& reason) {
        if (error) {
            *error = reason;
        }
        return false;
    };
    const QString scheme = m_config.feedUrl.scheme();
    if (!m_config.feedUrl.isValid() || (scheme != u"https"_s && scheme != u"http"_s)) {
        return refuse(u"the feed address is not an http(s) address"_s);
    }
    if (m_config.publicKey.size() != 32) {
        return refuse(u"the build carries no public key for updates"_s);
    }
    if (!QFileInfo(m_config.bundlePath + u'/' + InstallLocation::bundleMarker.toString()).isFile()) {
        return refuse(u"not running from a bundle"_s);
    }
    BundleSwap::recover(m_config.bundlePath);
    m_user = &userDriver;
    m_user->showPermissionRequest(
        [this](UpdatePermission permission) { m_automaticChecks = permission.automaticChecks; });
    if (m_automaticChecks) {
        m_config.scheduler->runLater(std::chrono::duration_cast<std::chrono::milliseconds>(firstCheckDelay), this,
            [this] { beginSession(false); });
        m_timer = m_config.scheduler->startTimer(std::chrono::duration_cast<std::chrono::milliseconds>(checkInterval),
            true, [this] { beginSession(false); });
    }
    return true;
}

bool BundleUpdateDriver::canCheckForUpdates() const
{
    return m_user && !m_busy;
}

void BundleUpdateDriver::checkForUpdates()
{
    if (!canCheckForUpdates()) {
        return;
    }
    beginSession(true);
}

void BundleUpdateDriver::beginSession(bool userInitiated)
{
    if (!m_user || m_busy) {
        return;
    }
    m_busy = true;
    m_userInitiated = userInitiated;
    if (userInitiated) {
        m_user->showUserInitiatedUpdateCheck([this] {
            if (m_reply) {
                m_reply->abort();
            }
        });
    }
    QNetworkRequest request(m_config.feedUrl);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    m_feed.clear();
    m_feedTooLarge = false;
    QNetworkReply* reply = m_network->get(request);
    m_reply = reply;
    const auto refuseWhenTooLarge = [this, reply](qint64 size) {
        if (size > maximumFeedBytes && !m_feedTooLarge) {
            m_feedTooLarge = true;
            m_feed.clear();
            reply->abort();
        }
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, refuseWhenTooLarge] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid()) {
            refuseWhenTooLarge(length.toLongLong());
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply, refuseWhenTooLarge] {
        if (m_feedTooLarge) {
            return;
        }
        m_feed += reply->readAll();
        refuseWhenTooLarge(m_feed.size());
    });
    connect(reply, &QNetworkReply::finished, this, &BundleUpdateDriver::feedArrived);
}

void BundleUpdateDriver::feedArrived()
{
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    if (m_feedTooLarge) {
        fail(u"the feed is larger than %1 bytes"_s.arg(maximumFeedBytes));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        fail(u"the feed could not be read: %1"_s.arg(reply->errorString()));
        return;
    }
    m_feed += reply->readAll();
    if (m_feed.size() > maximumFeedBytes) {
        fail(u"the feed is larger than %1 bytes"_s.arg(maximumFeedBytes));
        return;
    }
    QString error;
    const QByteArray feed = std::exchange(m_feed, {});
    const auto items = Appcast::parse(feed, &error);
    if (!items) {
        fail(u"the feed is not valid: %1"_s.arg(error));
        return;
    }
    const auto newest = Appcast::newestUpdate(*items, m_config.currentVersion);
    if (!newest) {
        if (m_userInitiated) {
            m_user->showUpdateNotFound(u"no newer version"_s, [this] { endSession(); });
        } else {
            endSession();
        }
        return;
    }
    if (m_ready && Appcast::compareVersions(newest->version, m_ready->version) <= 0) {
        // Already unpacked and waiting for "install".
        m_item = m_ready;
        m_user->showUpdateFound(*m_item, { UpdateStage::downloaded, m_userInitiated }, [this](UpdateChoice choice) {
            if (choice != UpdateChoice::install) {
                endSession();
                return;
            }
            m_user->showReadyToInstallAndRelaunch([this](UpdateChoice answer) {
                if (answer == UpdateChoice::install) {
                    install();
                } else {
                    endSession();
                }
            });
        });
        return;
    }
    m_item = newest;
    m_user->showUpdateFound(*m_item, { UpdateStage::notDownloaded, m_userInitiated }, [this](UpdateChoice choice) {
        if (choice == UpdateChoice::install) {
            download(*m_item);
        } else {
            endSession();
        }
    });
}

QString BundleUpdateDriver::downloadPath() const
{
    const QFileInfo bundle(QDir::cleanPath(m_config.bundlePath));
    return bundle.path() + u"/."_s + bundle.fileName() + u"-"_s + m_item->version + u".tar.xz.download"_s;
}

void BundleUpdateDriver::dropDownload()
{
    if (m_download.isOpen()) {
        m_download.close();
    }
    if (!m_download.fileName().isEmpty()) {
        QFile::remove(m_download.fileName());
    }
}

void BundleUpdateDriver::download(const AppcastItem& item)
{
    // A version in its file name must stay a plain name.
    if (item.version.contains(u'/') || item.version.contains(u".."_s)) {
        fail(u"the feed names an unusable version"_s);
        return;
    }
    m_download.setFileName(downloadPath());
    if (!m_download.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        fail(u"cannot write beside the bundle: %1"_s.arg(m_download.errorString()));
        return;
    }
    m_received = 0;
    m_downloadError.clear();
    m_user->showDownloadInitiated([this] {
        if (m_reply) {
            m_reply->abort();
        }
    });
    m_user->showDownloadDidReceiveExpectedContentLength(item.length);
    QNetworkRequest request(item.archiveUrl);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        const QByteArray chunk = m_reply->readAll();
        m_received += chunk.size();
        if (m_received > m_item->length) {
            m_downloadError = u"the archive is longer than the feed says"_s;
            m_reply->abort();
            return;
        }
        if (m_download.write(chunk) != chunk.size()) {
            m_downloadError = u"cannot write the download: %1"_s.arg(m_download.errorString());
            m_reply->abort();
            return;
        }
        m_user->showDownloadDidReceiveData(chunk.size());
    });
    connect(m_reply, &QNetworkReply::finished, this, &BundleUpdateDriver::downloadFinished);
}

void BundleUpdateDriver::downloadFinished()
{
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    if (reply->error() == QNetworkReply::NoError) {
        const QByteArray rest = reply->readAll();
        m_received += rest.size();
        if (m_received > m_item->length) {
            m_downloadError = u"the archive is longer than the feed says"_s;
        } else if (m_download.write(rest) != rest.size()) {
            m_downloadError = u"cannot write the download"_s;
        }
    }
    if (!m_download.flush()) {
        m_downloadError = u"cannot write the download"_s;
    }
    m_download.close();
    if (m_downloadError.isEmpty() && reply->error() != QNetworkReply::NoError) {
        m_downloadError = u"the download failed: %1"_s.arg(reply->errorString());
    }
    if (!m_downloadError.isEmpty()) {
        fail(m_downloadError);
        return;
    }
    m_user->showDownloadDidStartExtractingUpdate();
    const QString archive = m_download.fileName();
    const QString partial = BundleSwap::partialFolder(m_config.bundlePath);
    QDir(partial).removeRecursively();
    QDir(BundleSwap::stagingFolder(m_config.bundlePath)).removeRecursively();
    const AppcastItem item = *m_item;
    const QByteArray key = m_config.publicKey;
    auto* watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher] {
        watcher->deleteLater();
        unpacked(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([archive, partial, item, key] {
        return UpdateArchive::verifyAndExtract(archive, item.length, key, item.edSignature, partial);
    }));
}

void BundleUpdateDriver::unpacked(const QString& unpackError)
{
    dropDownload();
    const QString partial = BundleSwap::partialFolder(m_config.bundlePath);
    QString error = unpackError;
    if (error.isEmpty()) {
        const QString bundle = partial + u"/Kestravin"_s;
        if (!QFileInfo(bundle + u'/' + InstallLocation::bundleMarker.toString()).isFile()
            || !QFileInfo(bundle + u'/' + InstallLocation::executableName.toString()).isExecutable()) {
            error = u"the archive holds no bundle"_s;
        } else if (!QDir().rename(partial, BundleSwap::stagingFolder(m_config.bundlePath))) {
            error = u"cannot keep the unpacked update"_s;
        }
    }
    if (!error.isEmpty()) {
        QDir(partial).removeRecursively();
        fail(error);
        return;
    }
    m_user->showExtractionReceivedProgress(1.0);
    m_ready = m_item;
    m_user->showReadyToInstallAndRelaunch([this](UpdateChoice choice) {
        if (choice == UpdateChoice::install) {
            install();
        } else {
            endSession();
        }
    });
}

void BundleUpdateDriver::install()
{
    m_user->showInstallingUpdate(false, {});
    QString error;
    if (!BundleSwap::swap(m_config.bundlePath, &error)) {
        m_ready.reset();
        QDir(BundleSwap::stagingFolder(m_config.bundlePath)).removeRecursively();
        fail(u"the update could not be put in place: %1"_s.arg(error));
        return;
    }
    m_ready.reset();
    const QString program = QDir::cleanPath(m_config.bundlePath) + u'/' + InstallLocation::executableName.toString();
    if (!m_config.relaunch || !m_config.relaunch(program, &error)) {
        // The new bundle is in place; the next start runs it.
        fail(u"the new version did not start: %1"_s.arg(error));
        return;
    }
    m_user->showUpdateInstalledAndRelaunched(true, [] {});
    if (m_config.quit) {
        m_config.quit();
    }
}

void BundleUpdateDriver::fail(const QString& error)
{
    qCWarning(lcUpdate).noquote() << error;
    dropDownload();
    m_user->showUpdaterError(error, [this] { endSession(); });
}

void BundleUpdateDriver::endSession()
{
    if (!m_busy) {
        return;
    }
    m_busy = false;
    m_userInitiated = false;
    m_user->dismissUpdateInstallation();
}

} // namespace kestravin
