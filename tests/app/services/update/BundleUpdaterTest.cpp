#include "TestFiles.h"
#include "UpdateFixtures.h"

#include "app/services/update/AppUpdater.h"
#include "app/services/update/Appcast.h"
#include "app/services/update/BundleSwap.h"
#include "app/services/update/BundleUpdateDriver.h"
#include "app/services/update/UpdateArchive.h"
#include "app/services/update/UpdateSignature.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;
using namespace kestravin::testing;
using Kind = AppUpdater::Phase::Kind;

namespace {

QByteArray signature(const QByteArray& secret, const QByteArray& bytes)
{
    return UpdateSignature::sign(secret, reinterpret_cast<const uchar*>(bytes.constData()), std::size_t(bytes.size()));
}

// Holds timers without running them: the tests start checks themselves.
class HeldScheduler : public Scheduler {
public:
    struct HeldTimer : Timer {
        void stop() override { active = false; }
        bool isActive() const override { return active; }
        bool active = true;
    };
    std::vector<std::chrono::milliseconds> delays;
    std::vector<std::chrono::milliseconds> intervals;
    void runLater(std::chrono::milliseconds delay, QObject*, Action) override { delays.push_back(delay); }
    std::unique_ptr<Timer> startTimer(std::chrono::milliseconds interval, bool repeating, Action) override
    {
        EXPECT_TRUE(repeating);
        intervals.push_back(interval);
        return std::make_unique<HeldTimer>();
    }
};

// Passes every call on to the application's updater and records the steps.
class RecordingUserDriver : public UpdateUserDriver {
public:
    explicit RecordingUserDriver(AppUpdater& next) : m_next(next) { }
    QStringList steps;
    qint64 expectedLength = 0;
    qint64 received = 0;
    QString lastError;

    void showPermissionRequest(std::function<void(UpdatePermission)> reply) override
    {
        steps << u"permission"_s;
        m_next.showPermissionRequest(std::move(reply));
    }
    void showUserInitiatedUpdateCheck(Cancellation c) override { m_next.showUserInitiatedUpdateCheck(std::move(c)); }
    void showUpdateFound(const AppcastItem& item, const UpdateState& state, ChoiceReply reply) override
    {
        steps << u"found "_s + item.version;
        m_next.showUpdateFound(item, state, std::move(reply));
    }
    void showUpdateReleaseNotes(const QByteArray& notes) override { m_next.showUpdateReleaseNotes(notes); }
    void showUpdateReleaseNotesFailedToDownload(const QString& e) override
    {
        m_next.showUpdateReleaseNotesFailedToDownload(e);
    }
    void showUpdateNotFound(const QString& e, Acknowledgement a) override
    {
        steps << u"not found"_s;
        m_next.showUpdateNotFound(e, std::move(a));
    }
    void showUpdaterError(const QString& e, Acknowledgement a) override
    {
        steps << u"error"_s;
        lastError = e;
        m_next.showUpdaterError(e, std::move(a));
    }
    void showDownloadInitiated(Cancellation c) override { m_next.showDownloadInitiated(std::move(c)); }
    void showDownloadDidReceiveExpectedContentLength(qint64 length) override
    {
        expectedLength = length;
        m_next.showDownloadDidReceiveExpectedContentLength(length);
    }
    void showDownloadDidReceiveData(qint64 length) override
    {
        received += length;
        m_next.showDownloadDidReceiveData(length);
    }
    void showDownloadDidStartExtractingUpdate() override
    {
        steps << u"extracting"_s;
        m_next.showDownloadDidStartExtractingUpdate();
    }
    void showExtractionReceivedProgress(double p) override { m_next.showExtractionReceivedProgress(p); }
    void showReadyToInstallAndRelaunch(ChoiceReply reply) override
    {
        steps << u"ready"_s;
        m_next.showReadyToInstallAndRelaunch(std::move(reply));
    }
    void showInstallingUpdate(bool terminated, std::function<void()> retry) override
    {
        steps << u"installing"_s;
        m_next.showInstallingUpdate(terminated, std::move(retry));
    }
    void showUpdateInstalledAndRelaunched(bool relaunched, Acknowledgement a) override
    {
        steps << u"relaunched"_s;
        m_next.showUpdateInstalledAndRelaunched(relaunched, std::move(a));
    }
    void showUpdateInFocus() override { m_next.showUpdateInFocus(); }
    void dismissUpdateInstallation() override
    {
        steps << u"dismiss"_s;
        m_next.dismissUpdateInstallation();
    }

private:
    AppUpdater& m_next;
};

// The updater's driver with the recorder in between.
class RecordedDriver : public UpdateDriver {
public:
    RecordedDriver(std::unique_ptr<BundleUpdateDriver> driver, RecordingUserDriver& recorder)
        : m_driver(std::move(driver)), m_recorder(recorder)
    {
    }
    bool start(UpdateUserDriver&, QString* error) override { return m_driver->start(m_recorder, error); }
    bool canCheckForUpdates() const override { return m_driver->canCheckForUpdates(); }
    void checkForUpdates() override { m_driver->checkForUpdates(); }

private:
    std::unique_ptr<BundleUpdateDriver> m_driver;
    RecordingUserDriver& m_recorder;
};

bool waitFor(const std::function<bool()>& condition, int ms = 20000)
{
    QDeadlineTimer deadline(ms);
    while (!condition() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return condition();
}

class BundleUpdater : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        keys = UpdateSignature::generateKeyPair();
        parent = root.path() + u"/Applications"_s;
        bundle = parent + u"/Kestravin"_s;
        writeFile(
            bundle + u"/kestravin"_s, "#!/bin/sh\necho old\n", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        writeFile(bundle + u"/bundle.ini"_s, "[bundle]\nversion=1.0.0\n");
        writeFile(bundle + u"/packaging/notes.txt"_s, "old");
    }

    // Publishes `archive` as version 2.0.0 with the given feed fields.
    void publish(const QByteArray& archive, qint64 length, const QByteArray& sig, qsizetype cutAfter = -1)
    {
        server.setRoute(u"/Kestravin-2.0.0.tar.xz"_s, { archive, cutAfter });
        server.setRoute(u"/appcast.xml"_s,
            { makeFeed({ { u"1.0.0"_s, u"1.0"_s, server.url(u"/Kestravin-1.0.0.tar.xz"_s), 10, sig },
                { u"2.0.0"_s, u"2.0"_s, server.url(u"/Kestravin-2.0.0.tar.xz"_s), length, sig } }) });
    }

    void publishSigned(const QByteArray& archive)
    {
        publish(archive, archive.size(), signature(keys.secretKey, archive));
    }

    std::unique_ptr<AppUpdater> makeUpdater()
    {
        auto updater = std::make_unique<AppUpdater>(server.url(u"/appcast.xml"_s).toString(), [this](const QUrl& feed) {
            BundleUpdateDriver::Config config;
            config.feedUrl = feed;
            config.bundlePath = bundle;
            config.currentVersion = u"1.0.0"_s;
            config.publicKey = keys.publicKey;
            config.scheduler = &scheduler;
            config.relaunch = [this](const QString& program, QString* error) {
                relaunched << program;
                if (!relaunchWorks) {
                    *error = u"no such file"_s;
                }
                return relaunchWorks;
            };
            config.quit = [this] { ++quits; };
            return std::make_unique<RecordedDriver>(std::make_unique<BundleUpdateDriver>(config), *recorder);
        });
        recorder = std::make_unique<RecordingUserDriver>(*updater);
        updater->start();
        return updater;
    }

    QStringList parentEntries() const
    {
        return QDir(parent).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    void expectBundleUnchanged()
    {
        EXPECT_EQ(readFile(bundle + u"/kestravin"_s), "#!/bin/sh\necho old\n");
        EXPECT_EQ(readFile(bundle + u"/packaging/notes.txt"_s), "old");
        EXPECT_EQ(parentEntries(), QStringList { u"Kestravin"_s });
        EXPECT_TRUE(relaunched.isEmpty());
        EXPECT_EQ(quits, 0);
    }

    QTemporaryDir root;
    UpdateSignature::KeyPair keys;
    QString parent;
    QString bundle;
    FeedServer server;
    HeldScheduler scheduler;
    std::unique_ptr<RecordingUserDriver> recorder;
    QStringList relaunched;
    bool relaunchWorks = true;
    int quits = 0;
};

} // namespace

TEST_F(BundleUpdater, FindsDownloadsVerifiesInstallsAndRelaunches)
{
    const QByteArray archive = makeArchive(bundleEntries("new", u"2.0.0"_s));
    publishSigned(archive);
    auto updater = makeUpdater();
    ASSERT_TRUE(updater->isStarted());
    // Checked at start and every 24 h.
    EXPECT_EQ(scheduler.delays, std::vector { std::chrono::milliseconds(BundleUpdateDriver::firstCheckDelay) });
    EXPECT_EQ(scheduler.intervals, std::vector { std::chrono::milliseconds(BundleUpdateDriver::checkInterval) });

    updater->checkNow();
    ASSERT_TRUE(waitFor([&] { return updater->phase().kind == Kind::ready || updater->phase().kind == Kind::failed; }))
        << qPrintable(recorder->steps.join(u", "_s));
    ASSERT_EQ(updater->phase(), AppUpdater::Phase::ready(u"2.0"_s)) << qPrintable(recorder->lastError);
    EXPECT_EQ(recorder->expectedLength, archive.size());
    EXPECT_EQ(recorder->received, archive.size());
    // Nothing is installed before the user says so; the new bundle waits
    // unpacked beside it, and the download is gone.
    EXPECT_EQ(readFile(bundle + u"/kestravin"_s), "#!/bin/sh\necho old\n");
    EXPECT_EQ(parentEntries(), (QStringList { u".Kestravin-update"_s, u"Kestravin"_s }));
    EXPECT_TRUE(relaunched.isEmpty());
    EXPECT_EQ(server.hits(u"/Kestravin-1.0.0.tar.xz"_s), 0);

    updater->installNow();
    EXPECT_EQ(relaunched, QStringList { bundle + u"/kestravin"_s });
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(readFile(bundle + u"/kestravin"_s), "#!/bin/sh\necho new\n");
    EXPECT_TRUE(QFileInfo(bundle + u"/kestravin"_s).isExecutable());
    EXPECT_EQ(readFile(bundle + u"/notes"_s), "new");
    EXPECT_EQ(parentEntries(), QStringList { u"Kestravin"_s });
    EXPECT_EQ(recorder->steps,
        (QStringList {
            u"permission"_s, u"found 2.0.0"_s, u"extracting"_s, u"ready"_s, u"installing"_s, u"relaunched"_s }));
}

TEST_F(BundleUpdater, ReportsUpToDateWhenTheFeedHasNothingNewer)
{
    server.setRoute(u"/appcast.xml"_s,
        { makeFeed({ { u"1.0.0"_s, u"1.0"_s, server.url(u"/old.tar.xz"_s), 10, QByteArray(64, 'x') } }) });
    auto updater = makeUpdater();
    updater->checkNow();
    ASSERT_TRUE(waitFor([&] { return updater->phase().kind == Kind::upToDate; }));
    EXPECT_TRUE(waitFor([&] { return updater->canCheckNow(); }));
    expectBundleUnchanged();
}

TEST_F(BundleUpdater, AFeedOverItsSizeLimitIsRefusedUnparsed)
{
    // A valid feed with a newer version, made too large by the white space
    // that XML allows after the root element.
    const QByteArray feed
        = makeFeed({ { u"2.0.0"_s, u"2.0"_s, server.url(u"/new.tar.xz"_s), 10, QByteArray(64, 'x') } });
    for (const bool tooLarge : { false, true }) {
        SCOPED_TRACE(tooLarge);
        const qsizetype padding = BundleUpdateDriver::maximumFeedBytes - feed.size() + (tooLarge ? 1 : 0);
        server.setRoute(u"/appcast.xml"_s, { feed + QByteArray(padding, '\n') });
        auto updater = makeUpdater();
        updater->checkNow();
        ASSERT_TRUE(waitFor(
            [&] { return recorder->steps.contains(u"error"_s) || recorder->steps.contains(u"found 2.0.0"_s); }));
        EXPECT_EQ(recorder->steps.contains(u"error"_s), tooLarge) << qPrintable(recorder->steps.join(u", "_s));
        if (tooLarge) {
            EXPECT_TRUE(recorder->lastError.contains(u"larger than"_s)) << qPrintable(recorder->lastError);
        }
    }
}

TEST_F(BundleUpdater, RefusesBadArchivesAndLeavesTheBundleAlone)
{
    using EntryKind = ArchiveEntry::Kind;
    const QByteArray good = makeArchive(bundleEntries("new", u"2.0.0"_s));
    const auto withExtra = [](ArchiveEntry extra) {
        auto entries = bundleEntries("new", u"2.0.0"_s);
        entries.push_back(std::move(extra));
        return makeArchive(entries);
    };
    const QString outside = root.path() + u"/escaped"_s;
    struct Case {
        const char* name;
        QByteArray archive;
        qint64 lengthChange;
        bool foreignKey;
        qsizetype cutAfter;
    };
    const std::vector<Case> cases = {
        { "bad signature", good, 0, true, -1 },
        { "longer than the feed says", good, -1, false, -1 },
        { "shorter than the feed says", good, +1, false, -1 },
        { "truncated download", good, 0, false, good.size() / 2 },
        { "dot-dot path", withExtra({ u"Kestravin/../../escaped"_s, EntryKind::file, "x", {}, 0644 }), 0, false, -1 },
        { "absolute path", withExtra({ outside, EntryKind::file, "x", {}, 0644 }), 0, false, -1 },
        { "link leaving the folder",
            withExtra({ u"Kestravin/out"_s, EntryKind::symlink, {}, u"../../escaped"_s, 0777 }), 0, false, -1 },
        { "absolute link", withExtra({ u"Kestravin/out"_s, EntryKind::symlink, {}, outside, 0777 }), 0, false, -1 },
        { "hard link outside", withExtra({ u"Kestravin/hard"_s, EntryKind::hardlink, {}, u"../escaped"_s, 0644 }), 0,
            false, -1 },
        { "entry beside the folder", withExtra({ u"Other/file"_s, EntryKind::file, "x", {}, 0644 }), 0, false, -1 },
        { "no bundle inside", makeArchive({ { u"Kestravin/readme"_s, EntryKind::file, "x", {}, 0644 } }), 0, false,
            -1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray secret = c.foreignKey ? UpdateSignature::generateKeyPair().secretKey : keys.secretKey;
        publish(c.archive, c.archive.size() + c.lengthChange, signature(secret, c.archive), c.cutAfter);
        auto updater = makeUpdater();
        updater->checkNow();
        ASSERT_TRUE(waitFor([&] { return updater->phase().kind == Kind::failed; }))
            << int(updater->phase().kind) << " " << qPrintable(recorder->steps.join(u", "_s));
        EXPECT_EQ(updater->phase().text, AppUpdater::failureMessage.toString());
        EXPECT_TRUE(waitFor([&] { return updater->canCheckNow(); }));
        EXPECT_FALSE(QFileInfo::exists(outside) || QFileInfo(outside).isSymLink());
        expectBundleUnchanged();
    }
}

TEST_F(BundleUpdater, AFailedRelaunchIsReportedAndTheNewBundleStays)
{
    publishSigned(makeArchive(bundleEntries("new", u"2.0.0"_s)));
    relaunchWorks = false;
    auto updater = makeUpdater();
    updater->checkNow();
    ASSERT_TRUE(waitFor([&] { return updater->phase().kind == Kind::ready; }));
    updater->installNow();
    EXPECT_EQ(updater->phase().kind, Kind::failed);
    EXPECT_EQ(quits, 0);
    EXPECT_EQ(readFile(bundle + u"/kestravin"_s), "#!/bin/sh\necho new\n");
}

TEST_F(BundleUpdater, DoesNotStartOutsideABundleOrWithoutAKey)
{
    QFile::remove(bundle + u"/bundle.ini"_s);
    auto updater = makeUpdater();
    EXPECT_FALSE(updater->isStarted());

    writeFile(bundle + u"/bundle.ini"_s, "[bundle]\n");
    keys.publicKey.clear();
    auto keyless = makeUpdater();
    EXPECT_FALSE(keyless->isStarted());
}

TEST(BundleSwap, AnInterruptedSwapIsFinishedOrRolledBack)
{
    struct Case {
        const char* name;
        bool bundle;
        bool staged;
        bool old;
        QByteArray expected;
    };
    const Case cases[] = {
        { "cut between the renames: finished", false, true, true, "new" },
        { "only the old one left: rolled back", false, false, true, "old" },
        { "swap done, leftovers removed", true, true, true, "current" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir root;
        const QString bundle = root.path() + u"/Kestravin"_s;
        if (c.bundle) {
            writeFile(bundle + u"/kestravin"_s, "current");
        }
        if (c.staged) {
            writeFile(BundleSwap::stagedBundle(bundle) + u"/kestravin"_s, "new");
        }
        if (c.old) {
            writeFile(BundleSwap::oldFolder(bundle) + u"/kestravin"_s, "old");
        }
        writeFile(BundleSwap::partialFolder(bundle) + u"/Kestravin/kestravin"_s, "half");
        writeFile(root.path() + u"/.Kestravin-2.0.0.tar.xz.download"_s, "part");
        BundleSwap::recover(bundle);
        EXPECT_EQ(readFile(bundle + u"/kestravin"_s), c.expected);
        EXPECT_EQ(QDir(root.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList { u"Kestravin"_s });
    }
}

TEST(BundleSwap, SwapsWithAndWithoutTheExchange)
{
    for (const bool exchange : { true, false }) {
        SCOPED_TRACE(exchange);
        QTemporaryDir root;
        const QString bundle = root.path() + u"/Kestravin"_s;
        writeFile(bundle + u"/kestravin"_s, "old");
        QString error;
        EXPECT_FALSE(BundleSwap::swap(bundle, &error, exchange)); // nothing staged
        EXPECT_EQ(readFile(bundle + u"/kestravin"_s), "old");
        writeFile(BundleSwap::stagedBundle(bundle) + u"/kestravin"_s, "new");
        ASSERT_TRUE(BundleSwap::swap(bundle, &error, exchange)) << qPrintable(error);
        EXPECT_EQ(readFile(bundle + u"/kestravin"_s), "new");
        EXPECT_EQ(QDir(root.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList { u"Kestravin"_s });
    }
}

TEST(Appcast, ReadsUsableItemsAndOrdersVersionsByNumber)
{
    const struct {
        const char* a;
        const char* b;
        int order;
    } versions[] = {
        { "1.10", "1.9", 1 },
        { "1.2", "1.2.0", 0 },
        { "2.0.1", "2.0", 1 },
        { "1.0", "1.0.1", -1 },
        { "10", "9.9.9", 1 },
        { "1.2b3", "1.2", 0 },
    };
    for (const auto& v : versions) {
        EXPECT_EQ(Appcast::compareVersions(QString::fromUtf8(v.a), QString::fromUtf8(v.b)), v.order)
            << v.a << " vs " << v.b;
    }

    const QByteArray sig(64, 's');
    const QUrl url(u"https://example.invalid/k.tar.xz"_s);
    QByteArray feed = makeFeed({ { u"1.9.0"_s, u"1.9"_s, url, 100, sig }, { u"1.10.0"_s, u"1.10"_s, url, 200, sig },
        { u"3.0.0"_s, u"3.0"_s, url, 300, QByteArray(10, 's') } /* unusable signature */,
        { u"4.0.0"_s, u"4.0"_s, QUrl(u"file:///etc/passwd"_s), 300, sig } /* not http(s) */ });
    const auto items = Appcast::parse(feed);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 2u);
    const auto newest = Appcast::newestUpdate(*items, u"1.8"_s);
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->displayVersion, u"1.10"_s);
    EXPECT_EQ(newest->length, 200);
    EXPECT_EQ(newest->edSignature, sig);
    EXPECT_FALSE(Appcast::newestUpdate(*items, u"1.10"_s));

    QString error;
    EXPECT_FALSE(Appcast::parse("<html><body>moved</body></html>", &error));
    EXPECT_FALSE(Appcast::parse("<rss><channel><item>", &error));
}

TEST(SigningTool, SignaturesItMakesVerifyWithItsPublicKey)
{
    QTemporaryDir dir;
    const QString tool = QStringLiteral(KESTRAVIN_SIGN_TOOL);
    const auto run = [&](const QStringList& arguments) {
        QProcess process;
        process.start(tool, arguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 0) << qPrintable(QString::fromUtf8(process.readAllStandardError()));
        return process.readAllStandardOutput().trimmed();
    };
    const QString key = dir.filePath(u"key"_s);
    const QByteArray publicKey = QByteArray::fromBase64(run({ u"keygen"_s, key }));
    // Only its owner may read the secret key.
    EXPECT_EQ(QFile::permissions(key) & ~(QFile::ReadUser | QFile::WriteUser), QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(QByteArray::fromBase64(run({ u"public"_s, key })), publicKey);

    const QByteArray archive = makeArchive(bundleEntries("new", u"2.0.0"_s));
    const QString path = dir.filePath(u"Kestravin.tar.xz"_s);
    writeFile(path, archive);
    const QByteArray signed_ = QByteArray::fromBase64(run({ u"sign"_s, key, path }));
    EXPECT_EQ(UpdateArchive::verify(path, archive.size(), publicKey, signed_), QString());

    // The printed feed item reads back as the same release.
    const QByteArray item = run({ u"item"_s, key, path, u"https://example.invalid/K.tar.xz"_s, u"2.0.0"_s, u"2.0"_s });
    const QByteArray feed = "<rss version=\"2.0\" xmlns:kestravin=\"" + Appcast::xmlNamespace.toString().toUtf8()
        + "\"><channel>" + item.mid(item.indexOf("<item>")) + "</channel></rss>";
    const auto items = Appcast::parse(feed);
    ASSERT_TRUE(items && items->size() == 1);
    EXPECT_EQ(items->front().length, archive.size());
    EXPECT_EQ(items->front().edSignature, signed_);
    EXPECT_EQ(items->front().displayVersion, u"2.0"_s);
}
