#pragma once

#include <QObject>
#include <QString>

namespace kestravin {

// What the about page needs of the application's updater: its version, the
// phase it is in, and the two actions. The updater of the portable bundle
// implements it; a build without an updater uses NoUpdater.
class SettingsUpdater : public QObject {
    Q_OBJECT
public:
    enum class Phase {
        // No updater in this build (a .deb install, or none wired yet).
        unavailable,
        idle,
        checking,
        upToDate,
        // A newer version was found; `availableVersion` names it.
        available,
        downloading,
        readyToInstall,
        failed,
    };

    using QObject::QObject;

    virtual QString version() const = 0;
    virtual Phase phase() const = 0;
    virtual QString availableVersion() const { return {}; }
    // The reason of a failed phase, or of an unavailable updater.
    virtual QString message() const { return {}; }
    virtual void checkNow() = 0;
    virtual void installNow() = 0;

Q_SIGNALS:
    void changed();
};

// The stand-in for a build that has no updater: it reports so and does nothing.
class NoUpdater final : public SettingsUpdater {
    Q_OBJECT
public:
    explicit NoUpdater(QString version, QObject* parent = nullptr);

    QString version() const override { return m_version; }
    Phase phase() const override { return Phase::unavailable; }
    QString message() const override;
    void checkNow() override { }
    void installNow() override { }

private:
    QString m_version;
};

} // namespace kestravin
