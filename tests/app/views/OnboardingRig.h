#pragma once

#include "ServiceRig.h"

#include "app/services/account/MissionTracker.h"
#include "app/services/catalog/InstalledApps.h"
#include "app/services/catalog/SiteIconStore.h"
#include "app/views/onboarding/OnboardingSteps.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimeZone>

namespace kestravin::testing {

// The services behind the wizard's screens: the blocking rig, an icon store
// that never reaches the network, an empty list of installed apps and a goals
// tracker on a throw-away settings file. Goals are saved nowhere.
struct OnboardingRig {
    ServiceRig rig;
    QTemporaryDir dir;
    SiteIconStore icons { SiteIconStore::Options {
        dir.filePath(QStringLiteral("icons")), [](const QString&, const QString&) { return QUrl(); }, 8000 } };
    InstalledApps installed { [this] { return QStringList { dir.filePath(QStringLiteral("applications")) }; },
        std::nullopt };
    QSettings settings { dir.filePath(QStringLiteral("defaults.ini")), QSettings::IniFormat };
    MissionTracker tracker { { &rig.account, nullptr, &rig.time, &rig.time, &settings, QTimeZone::utc(), {} } };

    OnboardingRig() { QDir(dir.path()).mkpath(QStringLiteral("applications")); }

    OnboardingStepServices services()
    {
        return { *rig.config, rig.account, icons, installed, *rig.installer,
            WeekScheduleEditor::Services { *rig.config, *rig.blocking, nullptr, rig.time, rig.time, nullptr },
            MissionsView::Services { &rig.account, &tracker, &installed, &rig.time,
                [](const QList<AccountMission>&, std::function<void(std::optional<AccountFailure>)> done) {
                    done(std::nullopt);
                } } };
    }
};

} // namespace kestravin::testing
