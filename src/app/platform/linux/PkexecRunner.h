#pragma once

#include "app/platform/PrivilegedRunner.h"

#include <QObject>

namespace kestravin {

// Runs scripts through `pkexec /bin/bash`, or through bash directly when the
// application already runs as root (pkexec would refuse to ask anyone).
class PkexecRunner final : public QObject, public PrivilegedRunner {
    Q_OBJECT
public:
    explicit PkexecRunner(QObject* parent = nullptr);
    void runScript(const QString& scriptPath, const QStringList& arguments, Completion completion) override;
};

} // namespace kestravin
