#include "app/platform/linux/PkexecRunner.h"

#include "EventLoop.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

// The runner against a stand-in pkexec that answers as the real one does after
// the person dismissed, refused or confirmed the dialog.
TEST(PkexecRunnerTest, ADismissedDialogIsACancellation)
{
    QTemporaryDir bin;
    ASSERT_TRUE(bin.isValid());

    struct Case {
        QByteArray script;
        bool success;
        QString message;
    };
    const QList<Case> cases = {
        { "echo 'Error executing command as another user: Request dismissed' >&2; exit 126", false, u"cancel"_s },
        { "echo 'Error executing command as another user: Not authorized' >&2; exit 127", false,
            u"Error executing command as another user: Not authorized"_s },
        { "exit 3", false, u"exit status 3"_s },
        { "exec \"$@\"", true, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script.toStdString());
        QFile pkexec(bin.filePath(u"pkexec"_s));
        ASSERT_TRUE(pkexec.open(QIODevice::WriteOnly | QIODevice::Truncate));
        pkexec.write("#!/bin/sh\n" + c.script + "\n");
        pkexec.close();
        pkexec.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile script(bin.filePath(u"install.sh"_s));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        script.write("echo installed\n");
        script.close();

        PkexecRunner runner(pkexec.fileName());
        std::optional<PrivilegedRunner::Result> result;
        runner.runScript(script.fileName(), {}, [&](PrivilegedRunner::Result r) { result = std::move(r); });
        ASSERT_TRUE(testing::waitUntil([&] { return result.has_value(); }, 10000));
        EXPECT_EQ(result->success, c.success);
        EXPECT_EQ(result->message, c.message);
    }
}

} // namespace
} // namespace kestravin
