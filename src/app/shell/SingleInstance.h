#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QObject>
#include <QStringList>

namespace kestravin {

// One application per session: the first process owns "com.kestravin.app" on
// the session bus and exports com.kestravin.App (Activate, Open); a later
// start hands its arguments over and ends. Quit asks it to end.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    static constexpr QStringView serviceName = u"com.kestravin.app";
    static constexpr QStringView objectPath = u"/com/kestravin/app";
    static constexpr QStringView interfaceName = u"com.kestravin.App";

    explicit SingleInstance(QDBusConnection bus, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the name and exports the object; false when another process owns
    // the name (or the bus refused).
    bool claim();
    // Lets the name go (before a relaunch, so that the new process takes it).
    void release();

    // Asks the instance that owns the name to quit; no answer is awaited.
    static void askToQuit(QDBusConnection bus);

    // Hands `arguments` (the command line without the program) to the
    // running instance: "Open" with them when there are any, "Activate"
    // otherwise. False when no instance answered.
    static bool handOver(QDBusConnection bus, const QStringList& arguments, QString* error = nullptr);

Q_SIGNALS:
    // Another start without arguments: the reopen.
    void activateRequested();
    // Another start with arguments, raw as given (possibly deep links).
    void openRequested(const QStringList& arguments);
    // Another copy (the move into ~/Applications) asks this one to end.
    void quitRequested();

private:
    QDBusConnection m_bus;
    bool m_claimed = false;
};

class SingleInstanceAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.kestravin.App")
public:
    explicit SingleInstanceAdaptor(SingleInstance* instance);

public Q_SLOTS:
    void Activate();
    void Open(const QStringList& arguments);
    void Quit();

private:
    SingleInstance* m_instance;
};

} // namespace kestravin
