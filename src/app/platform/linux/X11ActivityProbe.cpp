#include "X11ActivityProbe.h"

#include "app/platform/Workspace.h"

#include <xcb/screensaver.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace kestravin {

struct X11ActivityProbe::Private {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    bool screensaver = false;

    ~Private()
    {
        if (connection) {
            xcb_disconnect(connection);
        }
    }
};

X11ActivityProbe::X11ActivityProbe(const Workspace& workspace, const QString& displayName)
    : m_workspace(workspace), d(std::make_unique<Private>())
{
    const QByteArray name = displayName.toLocal8Bit();
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(name.isEmpty() ? nullptr : name.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    d->connection = connection;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem) {
        d->root = screens.data->root;
    }
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_screensaver_id);
    d->screensaver = extension && extension->present && d->root;
}

X11ActivityProbe::~X11ActivityProbe() = default;

std::optional<QString> X11ActivityProbe::frontmostAppID() const
{
    const auto front = m_workspace.frontmostApplication();
    if (!front || front->bundleIdentifier.isEmpty()) {
        return std::nullopt;
    }
    return front->bundleIdentifier;
}

std::optional<std::chrono::milliseconds> X11ActivityProbe::idleTime() const
{
    if (!d->screensaver) {
        return std::nullopt;
    }
    xcb_screensaver_query_info_reply_t* info
        = xcb_screensaver_query_info_reply(d->connection, xcb_screensaver_query_info(d->connection, d->root), nullptr);
    if (!info) {
        return std::nullopt;
    }
    // A running screen saver means nobody is looking, whatever the counter says.
    const bool saverOn = info->state == XCB_SCREENSAVER_STATE_ON;
    const std::chrono::milliseconds idle(info->ms_since_user_input);
    std::free(info);
    if (saverOn) {
        return std::chrono::milliseconds::max();
    }
    return idle;
}

} // namespace kestravin
