#include "app/shell/UpdaterViews.h"

namespace kestravin {

using Kind = AppUpdater::Phase::Kind;

AppUpdaterPhaseSource::AppUpdaterPhaseSource(AppUpdater& updater, QObject* parent)
    : UpdatePhaseSource(parent), m_updater(updater)
{
    connect(&m_updater, &AppUpdater::phaseChanged, this, &UpdatePhaseSource::phaseChanged);
}

UpdatePhase AppUpdaterPhaseSource::phase() const
{
    switch (m_updater.phase().kind) {
    case Kind::ready:
        return UpdatePhase::ready;
    case Kind::failed:
        return UpdatePhase::failed;
    case Kind::idle:
        return UpdatePhase::idle;
    case Kind::checking:
        return UpdatePhase::checking;
    case Kind::downloading:
        return UpdatePhase::downloading;
    case Kind::upToDate:
        return UpdatePhase::upToDate;
    case Kind::installing:
        return UpdatePhase::installing;
    }
    return UpdatePhase::idle;
}

QString AppUpdaterPhaseSource::readyVersion() const
{
    return m_updater.phase().kind == Kind::ready ? m_updater.phase().text : QString();
}

AppUpdaterSettings::AppUpdaterSettings(AppUpdater& updater, QString version, QObject* parent)
    : SettingsUpdater(parent), m_updater(updater), m_version(std::move(version))
{
    connect(&m_updater, &AppUpdater::phaseChanged, this, &SettingsUpdater::changed);
}

SettingsUpdater::Phase AppUpdaterSettings::phase() const
{
    switch (m_updater.phase().kind) {
    case Kind::ready:
    case Kind::installing:
        return Phase::readyToInstall;
    case Kind::failed:
        return Phase::failed;
    case Kind::idle:
        return Phase::idle;
    case Kind::checking:
        return Phase::checking;
    case Kind::downloading:
        return Phase::downloading;
    case Kind::upToDate:
        return Phase::upToDate;
    }
    return Phase::idle;
}

QString AppUpdaterSettings::availableVersion() const
{
    return m_updater.phase().kind == Kind::ready ? m_updater.phase().text : QString();
}

QString AppUpdaterSettings::message() const
{
    return m_updater.phase().kind == Kind::failed ? m_updater.phase().text : QString();
}

} // namespace kestravin
