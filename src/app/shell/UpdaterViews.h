#pragma once

#include "app/services/update/AppUpdater.h"
#include "app/views/menubar/UpdatePhaseSource.h"
#include "app/views/settings/SettingsUpdater.h"

namespace kestravin {

// The updater's phase as the popover's update notice reads it.
class AppUpdaterPhaseSource final : public UpdatePhaseSource {
    Q_OBJECT
public:
    explicit AppUpdaterPhaseSource(AppUpdater& updater, QObject* parent = nullptr);
    UpdatePhase phase() const override;
    QString readyVersion() const override;
    void installNow() override { m_updater.installNow(); }

private:
    AppUpdater& m_updater;
};

// The updater as the about page of the settings reads and drives it.
class AppUpdaterSettings final : public SettingsUpdater {
    Q_OBJECT
public:
    AppUpdaterSettings(AppUpdater& updater, QString version, QObject* parent = nullptr);
    QString version() const override { return m_version; }
    Phase phase() const override;
    QString availableVersion() const override;
    QString message() const override;
    void checkNow() override { m_updater.checkNow(); }
    void installNow() override { m_updater.installNow(); }

private:
    AppUpdater& m_updater;
    QString m_version;
};

} // namespace kestravin
