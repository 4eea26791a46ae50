#include "support/XDisplay.h"

#include <QDeadlineTimer>
#include <QThread>

#include <xcb/xcb.h>

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

xcb_window_t windowProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property)
{
    xcb_get_property_reply_t* reply
        = xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, XCB_ATOM_WINDOW, 0, 1), nullptr);
    xcb_window_t value = 0;
    if (reply && xcb_get_property_value_length(reply) >= 4) {
        value = *static_cast<xcb_window_t*>(xcb_get_property_value(reply));
    }
    std::free(reply);
    return value;
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
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const QDeadlineTimer deadline(timeoutMs);
    bool ready = false;
    // A test fixture may wait by polling: the window manager announces itself
    // with a check window that points at itself.
    while (!ready && !deadline.hasExpired() && m_windowManager->state() == QProcess::Running) {
        const xcb_atom_t check = intern(c, "_NET_SUPPORTING_WM_CHECK");
        const xcb_atom_t clientList = intern(c, "_NET_CLIENT_LIST");
        if (check && clientList) {
            const xcb_window_t wm = windowProperty(c, root, check);
            ready = wm != 0 && windowProperty(c, wm, check) == wm;
        }
        if (!ready) {
            QThread::msleep(20);
        }
    }
    xcb_disconnect(c);
    return ready;
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
