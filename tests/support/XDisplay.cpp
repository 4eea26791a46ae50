#include "support/XDisplay.h"

#include <QDeadlineTimer>
#include <QThread>

#include <xcb/xcb.h>

#include <sys/prctl.h>

#include <csignal>

#include <cstdlib>
#include <cstring>

using namespace Qt::StringLiterals;

namespace kestravin::test {
namespace {

xcb_atom_t intern(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply
        = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

// A test that crashes or is killed by its time-out must not leave its
// server and window manager behind.
void endWithParent(QProcess& process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

void endProcess(std::unique_ptr<QProcess>& process)
{
    if (!process) {
        return;
    }
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(3000)) {
            process->kill();
            process->waitForFinished(3000);
        }
    }
    process.reset();
}

} // namespace

XDisplay::~XDisplay()
{
    stop();
}

bool XDisplay::start(QString* error)
{
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::SeparateChannels);
    m_server->setStandardErrorFile(QProcess::nullDevice());
    endWithParent(*m_server);
    // -displayfd 1: the server picks a free display number and writes it to
    // our pipe once it accepts connections.
    m_server->start(
        u"Xvfb"_s, { u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1280x800x24"_s, u"-nolisten"_s, u"tcp"_s });
    if (!m_server->waitForStarted(5000)) {
        *error = u"cannot start Xvfb: "_s + m_server->errorString();
        return false;
    }
    QByteArray number;
    const QDeadlineTimer deadline(15000);
    while (!number.contains('\n') && !deadline.hasExpired()) {
        if (m_server->state() == QProcess::NotRunning) {
            break;
        }
        m_server->waitForReadyRead(200);
        number += m_server->readAllStandardOutput();
    }
    if (!number.contains('\n')) {
        *error = u"Xvfb gave no display number"_s;
        return false;
    }
    m_name = u":"_s + QString::fromLatin1(number.trimmed());

    m_windowManager = std::make_unique<QProcess>();
    m_windowManager->setProcessEnvironment(environment());
    m_windowManager->setStandardOutputFile(QProcess::nullDevice());
    m_windowManager->setStandardErrorFile(QProcess::nullDevice());
    endWithParent(*m_windowManager);
    m_windowManager->start(u"openbox"_s, { u"--sm-disable"_s });
    if (!m_windowManager->waitForStarted(5000)) {
        *error = u"cannot start openbox: "_s + m_windowManager->errorString();
        return false;
    }
    if (!waitForWindowManager(15000)) {
        *error = u"openbox did not take over "_s + m_name;
        return false;
    }
    return true;
}

bool XDisplay::waitForWindowManager(int timeoutMs) const
{
    xcb_connection_t* c = xcb_connect(m_name.toLocal8Bit().constData(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return false;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const QDeadlineTimer deadline(timeoutMs);
    // openbox announces itself before it handles map requests, and a request
    // that comes during its start-up may go unanswered. So map a probe window
    // (again, if need be) until openbox lists it as a client: from then on it
    // manages windows. A test fixture may wait by polling.
    const xcb_window_t probe = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
        screen->root_visual, 0, nullptr);
    bool managed = false;
    QDeadlineTimer retry(0);
    while (!managed && !deadline.hasExpired() && m_windowManager->state() == QProcess::Running) {
        if (retry.hasExpired()) {
            xcb_unmap_window(c, probe);
            xcb_map_window(c, probe);
            xcb_flush(c);
            retry.setRemainingTime(500);
        }
        QThread::msleep(20);
        const xcb_atom_t clientList = intern(c, "_NET_CLIENT_LIST");
        if (clientList) {
            xcb_get_property_reply_t* reply = xcb_get_property_reply(
                c, xcb_get_property(c, 0, screen->root, clientList, XCB_ATOM_WINDOW, 0, 1024), nullptr);
            if (reply) {
                const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
                const int count = xcb_get_property_value_length(reply) / 4;
                for (int i = 0; i < count; ++i) {
                    managed = managed || windows[i] == probe;
                }
            }
            std::free(reply);
        }
    }
    xcb_destroy_window(c, probe);
    xcb_flush(c);
    // Wait for the probe to leave the list, so that tests start from an empty
    // desktop.
    bool gone = false;
    while (managed && !gone && !deadline.hasExpired()) {
        const xcb_atom_t clientList = intern(c, "_NET_CLIENT_LIST");
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, screen->root, clientList, XCB_ATOM_WINDOW, 0, 1024), nullptr);
        gone = !reply || xcb_get_property_value_length(reply) == 0;
        std::free(reply);
        if (!gone) {
            QThread::msleep(10);
        }
    }
    xcb_disconnect(c);
    return managed && gone;
}

void XDisplay::stop()
{
    endProcess(m_windowManager);
    endProcess(m_server);
}

QProcessEnvironment XDisplay::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, m_name);
    env.remove(u"WAYLAND_DISPLAY"_s);
    return env;
}

} // namespace kestravin::test
