#include "AccessibleSession.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include <sys/prctl.h>

#include <csignal>

using namespace Qt::StringLiterals;

namespace kestravin::test {

namespace {

QString launcherPath()
{
    for (const QString& path : { u"/usr/libexec/at-spi-bus-launcher"_s, u"/usr/lib/at-spi2-core/at-spi-bus-launcher"_s,
             u"/usr/lib/at-spi2/at-spi-bus-launcher"_s }) {
        if (QFileInfo(path).isExecutable()) {
            return path;
        }
    }
    return {};
}

} // namespace

AccessibleSession::AccessibleSession()
    : m_session(std::make_unique<kestravin::testing::PrivateBus>(kestravin::testing::PrivateBus::Type::session))
{
}

AccessibleSession::~AccessibleSession()
{
    if (m_launcher.state() != QProcess::NotRunning) {
        // The launcher takes its bus daemon and the registry down with it.
        m_launcher.terminate();
        if (!m_launcher.waitForFinished(3000)) {
            m_launcher.kill();
            m_launcher.waitForFinished(3000);
        }
    }
}

bool AccessibleSession::start(QString* error)
{
    if (!m_session->isRunning()) {
        *error = u"no private session bus: "_s + m_session->error();
        return false;
    }
    const QString launcher = launcherPath();
    if (launcher.isEmpty()) {
        *error = u"at-spi-bus-launcher is not installed (package at-spi2-core)"_s;
        return false;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_session->address());
    // The launcher would otherwise also publish the bus on the real display.
    environment.remove(u"DISPLAY"_s);
    // It listens at $XDG_RUNTIME_DIR/at-spi/bus: one folder per session, so
    // that tests running side by side do not take each other's bus.
    if (!m_runtimeDir.isValid()) {
        *error = u"no temporary folder for the accessibility bus"_s;
        return false;
    }
    environment.insert(u"XDG_RUNTIME_DIR"_s, m_runtimeDir.path());
    m_launcher.setProcessEnvironment(environment);
    m_launcher.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_launcher.setStandardOutputFile(QProcess::nullDevice());
    m_launcher.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_launcher.start(launcher, { u"--launch-immediately"_s });
    if (!m_launcher.waitForStarted(5000)) {
        *error = u"cannot start at-spi-bus-launcher: "_s + m_launcher.errorString();
        return false;
    }

    // Named after its bus: connection names are shared by the whole process,
    // and a test may run several sessions.
    QDBusConnection session = m_session->connect(u"kestravin-a11y-probe "_s + m_session->address());
    const QDBusMessage ask
        = QDBusMessage::createMethodCall(u"org.a11y.Bus"_s, u"/org/a11y/bus"_s, u"org.a11y.Bus"_s, u"GetAddress"_s);
    const QDeadlineTimer deadline(15000);
    while (m_a11yAddress.isEmpty() && !deadline.hasExpired()) {
        const QDBusMessage reply = session.call(ask, QDBus::Block, 2000);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            m_a11yAddress = reply.arguments().constFirst().toString();
        } else {
            QThread::msleep(50);
        }
    }
    if (m_a11yAddress.isEmpty()) {
        *error = u"the accessibility bus did not come up"_s;
        return false;
    }

    if (!m_display.start(error)) {
        return false;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_session->address().toLocal8Bit());
    qputenv("DISPLAY", m_display.name().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    return true;
}

} // namespace kestravin::test

// Every program with an AccessibleSession runs Qt on X, whose xcb platform
// loads the keymap through libxkbcommon-x11; that strndup()s atom names out of
// an X reply that holds them without a terminating NUL, and ASan's strndup
// check reads past the reply for that. The environment's ASAN_OPTIONS still win
// for every other flag.
extern "C" const char* __asan_default_options()
{
    return "intercept_strndup=0";
}
