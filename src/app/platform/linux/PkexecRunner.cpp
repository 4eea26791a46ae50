#include "app/platform/linux/PkexecRunner.h"

#include <QProcess>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestravin {

PkexecRunner::PkexecRunner(QString pkexec, QObject* parent) : QObject(parent), m_pkexec(std::move(pkexec))
{
}

void PkexecRunner::runScript(const QString& scriptPath, const QStringList& arguments, Completion completion)
{
    auto* process = new QProcess(this);
    QStringList args { u"/bin/bash"_s, scriptPath };
    args += arguments;
    QString program = m_pkexec;
    if (::geteuid() == 0 && program == u"pkexec") {
        program = args.takeFirst();
    }
    auto shared = std::make_shared<Completion>(std::move(completion));
    auto finish = [process, shared](Result result) {
        process->deleteLater();
        if (*shared) {
            auto done = std::move(*shared);
            *shared = nullptr;
            done(std::move(result));
        }
    };
    connect(process, &QProcess::finished, this, [process, finish](int exitCode, QProcess::ExitStatus exitStatus) {
        Result result;
        result.output = QString::fromUtf8(process->readAllStandardOutput()).trimmed();
        const QString errors = QString::fromUtf8(process->readAllStandardError()).trimmed();
        result.success = exitStatus == QProcess::NormalExit && exitCode == 0;
        if (!result.success) {
            // pkexec: 126 = the user dismissed the dialog, 127 = not authorized.
            // A dismissed dialog is a cancellation, which callers tell apart
            // by the word "cancel", not a failure to report.
            if (exitStatus == QProcess::NormalExit && exitCode == dismissedExitCode) {
                result.message = u"cancel"_s;
            } else {
                result.message = !errors.isEmpty()       ? errors
                    : exitStatus == QProcess::NormalExit ? u"exit status %1"_s.arg(exitCode)
                                                         : u"script crashed"_s;
            }
        }
        finish(std::move(result));
    });
    connect(process, &QProcess::errorOccurred, this, [process, finish](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            finish(Result { false, {}, process->errorString() });
        }
    });
    process->start(program, args);
}

} // namespace kestravin
