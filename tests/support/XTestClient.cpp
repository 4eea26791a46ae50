#include "support/XTestClient.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcessEnvironment>
#include <QTimer>

#include <sys/prctl.h>

#include <csignal>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace kestravin::test {

XTestClient::~XTestClient()
{
    kill();
}

QString XTestClient::programPath()
{
    return QStringLiteral(KESTRAVIN_X_TEST_CLIENT);
}

bool XTestClient::start(const QString& display, const QStringList& arguments, QString* error)
{
    m_process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, display);
    m_process->setProcessEnvironment(env);
    m_process->setStandardErrorFile(QProcess::nullDevice());
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process->start(programPath(), arguments);
    QByteArray line;
    if (!m_process->waitForStarted(5000) || !readLine(&line, 10000) || !line.startsWith("mapped ")) {
        *error = u"the test client did not map its window: "_s + QString::fromLocal8Bit(line);
        return false;
    }
    const QList<QByteArray> parts = line.trimmed().split(' ');
    m_window = parts.value(1).toUInt();
    m_mappedAt = parts.value(2).toLongLong();
    return m_window != 0;
}

void XTestClient::kill()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(3000);
    }
    m_process.reset();
}

qint64 XTestClient::waitForState(const QString& state, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    const QByteArray prefix = state.toLatin1() + ' ';
    QByteArray line;
    while (readLine(&line, int(deadline.remainingTime()))) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size()).trimmed().toLongLong();
        }
    }
    return -1;
}

bool XTestClient::readLine(QByteArray* line, int timeoutMs)
{
    const QDeadlineTimer deadline(std::max(timeoutMs, 0));
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\n');
        if (end >= 0) {
            *line = m_buffer.left(end + 1);
            m_buffer.remove(0, end + 1);
            return true;
        }
        if (!m_process) {
            return false;
        }
        // What the client already wrote counts even when the time is up, so
        // that a zero time-out asks "has it reported this yet?".
        if (m_process->bytesAvailable() == 0 && m_process->state() == QProcess::Running) {
            m_process->waitForReadyRead(0);
        }
        if (m_process->bytesAvailable() > 0) {
            m_buffer += m_process->readAllStandardOutput();
            continue;
        }
        if (deadline.hasExpired() || m_process->state() == QProcess::NotRunning) {
            return false;
        }
        // Run the event loop while waiting, so that the code under test (which
        // lives on it) reacts to the client meanwhile.
        QEventLoop loop;
        QObject::connect(m_process.get(), &QProcess::readyReadStandardOutput, &loop, &QEventLoop::quit);
        QObject::connect(m_process.get(), &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(deadline.remainingTime(), &loop, &QEventLoop::quit);
        if (m_process->bytesAvailable() == 0) {
            loop.exec();
        }
        m_buffer += m_process->readAllStandardOutput();
    }
}

bool writeDesktopEntry(const QString& dir, const QString& id, const QString& body)
{
    QFile file(dir + u'/' + id + u".desktop"_s);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write((u"[Desktop Entry]\nType=Application\n"_s + body).toUtf8()) >= 0;
}

XTestClient* XTestClients::launch(const QString& display, const QStringList& arguments)
{
    auto client = std::make_unique<XTestClient>();
    QString error;
    EXPECT_TRUE(client->start(display, arguments, &error)) << error.toStdString();
    m_clients.push_back(std::move(client));
    return m_clients.back().get();
}

} // namespace kestravin::test
