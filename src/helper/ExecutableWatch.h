#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

#include <sys/types.h>

namespace kestravin {

// Notices that the daemon's own executable file was replaced (an update
// installs the new one by rename, so the path then names another file) and
// asks the process to end so that systemd starts the new executable. Changes
// to the same file (touch, chmod) and a missing file (while an installer
// works) are not a replacement.
class ExecutableWatch : public QObject {
    Q_OBJECT

public:
    struct FileIdentity {
        dev_t device = 0;
        ino_t inode = 0;
        bool operator==(const FileIdentity&) const = default;
    };

    static constexpr std::chrono::milliseconds defaultInterval { 30000 };

    // Takes the identity of `path` now; without one the watch never fires.
    explicit ExecutableWatch(QString path, QObject* parent = nullptr);

    void start(std::chrono::milliseconds interval = defaultInterval);
    // One look at the file; true when it was replaced.
    bool check() const;

    const std::optional<FileIdentity>& launchedFile() const { return m_launchedFile; }
    static std::optional<FileIdentity> fileNumber(const QString& path);
    // The running executable, as the kernel names it.
    static QString runningExecutable();

Q_SIGNALS:
    void replaced();

private:
    QString m_path;
    std::optional<FileIdentity> m_launchedFile;
    QTimer m_timer;
};

} // namespace kestravin
