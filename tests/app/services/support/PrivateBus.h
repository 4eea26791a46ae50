#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace kestravin::testing {

// A dbus-daemon of its own for one test, listening in a private temporary
// folder. Everyone may own names and call anyone: the tests play the daemon,
// the notification service and the application on it.
class PrivateBus {
public:
    enum class Type { system, session };

    explicit PrivateBus(Type type = Type::system);
    ~PrivateBus();

    bool isRunning() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }
    QString error() const { return m_error; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    QString m_address;
    QString m_error;
};

} // namespace kestravin::testing
