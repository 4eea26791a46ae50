#include "EventLoop.h"

#include "app/services/account/SessionStore.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace kestravin;
using namespace kestravin::testing;
using namespace Qt::StringLiterals;

namespace {

// What secret-tool finds for the session's service in the running keyring.
QByteArray searchKeyring()
{
    QProcess search;
    search.start(u"secret-tool"_s, { u"search"_s, u"--all"_s, u"server"_s, KeychainSessionStore::service });
    search.waitForFinished(10000);
    return search.readAllStandardOutput() + search.readAllStandardError();
}

} // namespace

// Runs inside its own D-Bus session with an unlocked gnome-keyring in a
// throw-away home (run-with-keyring.sh); never against a person's keyring.
TEST(KeyringSessionTest, SavesReadsAndDeletesTheSession)
{
    if (qEnvironmentVariable("KESTRAVIN_KEYRING_TEST") != u"1"_s)
        GTEST_SKIP() << "needs the private keyring of run-with-keyring.sh";

    KeychainSessionStore store(u"http://127.0.0.1:9"_s);
    const DesktopAccountSession session { u"access"_s, u"refresh"_s, 1767225600123.0 };

    std::optional<std::optional<QString>> saved;
    store.save(session, [&](std::optional<QString> error) { saved = error; });
    ASSERT_TRUE(waitUntil([&] { return saved.has_value(); }, 15000));
    ASSERT_FALSE(saved->has_value()) << saved->value().toStdString();
    EXPECT_TRUE(searchKeyring().contains("com.kestravin.account")) << searchKeyring().toStdString();

    std::optional<std::optional<DesktopAccountSession>> read;
    store.read([&](SessionRead stored) { read = stored.session; });
    ASSERT_TRUE(waitUntil([&] { return read.has_value(); }, 15000));
    EXPECT_EQ(*read, session);

    // A second save replaces the item instead of adding one.
    const DesktopAccountSession refreshed { u"access-2"_s, u"refresh-2"_s, 1767225700000.0 };
    saved.reset();
    store.save(refreshed, [&](std::optional<QString> error) { saved = error; });
    ASSERT_TRUE(waitUntil([&] { return saved.has_value(); }, 15000));
    EXPECT_EQ(searchKeyring().count("attribute.server = com.kestravin.account"), 1) << searchKeyring().toStdString();

    std::optional<std::optional<QString>> removed;
    store.remove([&](std::optional<QString> error) { removed = error; });
    ASSERT_TRUE(waitUntil([&] { return removed.has_value(); }, 15000));
    EXPECT_FALSE(removed->has_value());
    EXPECT_FALSE(searchKeyring().contains("com.kestravin.account"));

    read.reset();
    store.read([&](SessionRead stored) { read = stored.session; });
    ASSERT_TRUE(waitUntil([&] { return read.has_value(); }, 15000));
    EXPECT_FALSE(read->has_value());
}
