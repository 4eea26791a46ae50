#pragma once

#include "app/platform/ActivityProbe.h"

#include <memory>

namespace kestravin {

class Workspace;

// The app in front from the X11 workspace (_NET_ACTIVE_WINDOW, resolved to
// its desktop entry) and the idle time from the X screensaver extension,
// read on one X connection of its own. Without a display, or without the
// extension, the idle time is unknown.
class X11ActivityProbe final : public ActivityProbe {
public:
    // `displayName` empty means $DISPLAY.
    X11ActivityProbe(const Workspace& workspace, const QString& displayName = {});
    ~X11ActivityProbe() override;

    std::optional<QString> frontmostAppID() const override;
    std::optional<std::chrono::milliseconds> idleTime() const override;

private:
    struct Private;
    const Workspace& m_workspace;
    std::unique_ptr<Private> d;
};

} // namespace kestravin
