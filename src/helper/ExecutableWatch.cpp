#include "ExecutableWatch.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace kestravin {

ExecutableWatch::ExecutableWatch(QString path, QObject* parent)
    : QObject(parent), m_path(std::move(path)), m_launchedFile(fileNumber(m_path))
{
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (check())
            Q_EMIT replaced();
    });
}

void ExecutableWatch::start(std::chrono::milliseconds interval)
{
    m_timer.setInterval(interval);
    m_timer.start();
}

bool ExecutableWatch::check() const
{
    if (!m_launchedFile)
        return false;
    const std::optional<FileIdentity> now = fileNumber(m_path);
    return now && *now != *m_launchedFile;
}

std::optional<ExecutableWatch::FileIdentity> ExecutableWatch::fileNumber(const QString& path)
{
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity { info.st_dev, info.st_ino };
}

QString ExecutableWatch::runningExecutable()
{
    return QFileInfo(u"/proc/self/exe"_s).symLinkTarget();
}

} // namespace kestravin
