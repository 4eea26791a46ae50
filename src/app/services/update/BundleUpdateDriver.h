#pragma once

#include "app/platform/Scheduler.h"
#include "app/services/update/UpdateDriver.h"

#include <QFile>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace kestravin {

// The updater of the portable bundle: reads the feed at start, every 24 h and
// when the user asks; downloads a newer archive beside the bundle with
// progress, checks its length and Ed25519 signature, unpacks it into a
// sibling folder, and on "install" swaps the folders by rename, relaunches
// from the bundle folder and quits. A failed update never touches the
// running bundle.
class BundleUpdateDriver : public QObject, public UpdateDriver {
    Q_OBJECT
public:
    static constexpr std::chrono::hours checkInterval { 24 };
    static constexpr std::chrono::seconds firstCheckDelay { 5 };
    // A feed lists a few versions in a few kilobytes; a larger answer is
    // refused as it streams in instead of being held in memory.
    static constexpr qint64 maximumFeedBytes = 1024 * 1024;

    struct Config {
        QUrl feedUrl;
        // The running bundle folder (holds bundle.ini and the executable).
        QString bundlePath;
        QString currentVersion;
        QByteArray publicKey;
        Scheduler* scheduler = nullptr;
        // Starts `program` as a new process; false with the reason otherwise.
        std::function<bool(const QString& program, QString* error)> relaunch;
        // Ends the running process.
        std::function<void()> quit;
    };

    explicit BundleUpdateDriver(Config config, QObject* parent = nullptr);
    ~BundleUpdateDriver() override;

    // The build's public key (base64 in the build configuration).
    static QByteArray builtInPublicKey();
    // The driver for this process's bundle, or null when it runs from none.
    static std::unique_ptr<UpdateDriver> forRunningBundle(const QUrl& feedUrl);

    // Called around the relaunch of the running process: the single instance's
    // bus name is let go before the new process starts, and taken back when
    // it did not start.
    static void setInstanceHandOff(std::function<void()> release, std::function<void()> reclaim);

    bool start(UpdateUserDriver& userDriver, QString* error) override;
    bool canCheckForUpdates() const override;
    void checkForUpdates() override;

private:
    void beginSession(bool userInitiated);
    void feedArrived();
    void download(const AppcastItem& item);
    void downloadFinished();
    void unpacked(const QString& error);
    void install();
    void fail(const QString& error);
    void endSession();
    QString downloadPath() const;
    void dropDownload();

    Config m_config;
    UpdateUserDriver* m_user = nullptr;
    bool m_automaticChecks = true;
    bool m_busy = false;
    bool m_userInitiated = false;
    std::unique_ptr<Timer> m_timer;
    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_feed;
    bool m_feedTooLarge = false;
    std::optional<AppcastItem> m_item;
    // The version that waits, unpacked, for "install".
    std::optional<AppcastItem> m_ready;
    QFile m_download;
    qint64 m_received = 0;
    QString m_downloadError;
};

} // namespace kestravin
