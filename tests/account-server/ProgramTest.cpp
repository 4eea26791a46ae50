// The kestravin-account program itself: its options, its banner and its data.

#include "AccountServerFixture.h"

#include <QProcess>

using namespace Qt::StringLiterals;

namespace kestravin::testing {
namespace {

TEST(ProgramTest, AnswersOnThePortItPrintsAndKeepsItsDataInTheFolderGiven)
{
    QTemporaryDir dir;
    QProcess program;
    program.start(QStringLiteral(KESTRAVIN_ACCOUNT_BINARY),
        { u"--listen"_s, u"127.0.0.1:0"_s, u"--data"_s, dir.filePath(u"data"_s) });
    QByteArray banner;
    ASSERT_TRUE(waitUntil([&] {
        banner += program.readAllStandardError();
        return banner.contains("\n");
    }));
    const auto match = QRegularExpression(u"API http://127\\.0\\.0\\.1:(\\d+) web http://127\\.0\\.0\\.1:\\d+/web"_s)
                           .match(QString::fromUtf8(banner));
    ASSERT_TRUE(match.hasMatch()) << banner.toStdString();
    EXPECT_FALSE(banner.contains("TLS"));

    const RawHttp http(quint16(match.captured(1).toUInt()));
    EXPECT_EQ(http.send("GET", u"/api/bootstrap"_s).status, 401);
    EXPECT_EQ(http.send("POST", u"/api/device/begin"_s, "{}").status, 200);
    EXPECT_TRUE(QFile::exists(dir.filePath(u"data/account.sqlite"_s)));
    ASSERT_TRUE(waitUntil([&] {
        banner += program.readAllStandardError();
        return banner.contains("POST /api/device/begin 200");
    }));
    program.terminate();
    EXPECT_TRUE(program.waitForFinished(5000));
}

TEST(ProgramTest, RefusesAnAddressItCannotUse)
{
    QTemporaryDir dir;
    for (const QString& listen : { u"127.0.0.1"_s, u"nowhere:80"_s, u"127.0.0.1:70000"_s }) {
        QProcess program;
        program.start(QStringLiteral(KESTRAVIN_ACCOUNT_BINARY), { u"--listen"_s, listen, u"--data"_s, dir.path() });
        ASSERT_TRUE(program.waitForFinished(10000)) << listen.toStdString();
        EXPECT_EQ(program.exitCode(), 2) << listen.toStdString();
        EXPECT_TRUE(program.readAllStandardError().contains("--listen")) << listen.toStdString();
    }
}

} // namespace
} // namespace kestravin::testing
