#pragma once

#include <QIcon>
#include <QMetaType>
#include <QString>

namespace kestravin {

// One running application as the workspace sees it. On X11 that is the group of
// client windows that share one identity; `id` tells two runs of the same app
// apart, so a terminated run never answers for a new one.
struct RunningApp {
    quint64 id = 0;
    // The desktop-file ID without ".desktop" ("org.mozilla.firefox"); empty
    // when no desktop entry could be matched.
    QString bundleIdentifier;
    // The entry's display name; empty when there is none.
    QString name;
    QIcon icon;
    // An ordinary app with windows of its own, as opposed to docks, desktops
    // and other helper windows.
    bool regular = true;

    bool operator==(const RunningApp& other) const { return id == other.id; }
};

} // namespace kestravin

Q_DECLARE_METATYPE(kestravin::RunningApp)
