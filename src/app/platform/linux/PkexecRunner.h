#pragma once

#include "app/platform/PrivilegedRunner.h"

#include <QObject>

namespace kestravin {

// Runs scripts through `pkexec /bin/bash`, or through bash directly when the
// application already runs as root (pkexec would refuse to ask anyone).
class PkexecRunner final : public QObject, public PrivilegedRunner {
    Q_OBJECT
public:
    // pkexec's exit status when the authentication dialog was dismissed.
    static constexpr int dismissedExitCode = 126;

    // `pkexec` is the program that asks for the rights (tests pass a stand-in).
    explicit PkexecRunner(QString pkexec = QStringLiteral("pkexec"), QObject* parent = nullptr);
    void runScript(const QString& scriptPath, const QStringList& arguments, Completion completion) override;

private:
    QString m_pkexec;
};

} // namespace kestravin
