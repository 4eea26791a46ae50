#include "app/platform/linux/X11Workspace.h"

#include <QAbstractEventDispatcher>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QSet>
#include <QSocketNotifier>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <map>

using namespace Qt::StringLiterals;

namespace kestravin {

Q_LOGGING_CATEGORY(lcWorkspace, "com.kestravin.app.Workspace")

namespace {

// ICCCM WM_STATE values.
constexpr uint32_t iconicState = 3;

template <typename T> struct FreeDeleter {
    void operator()(T* p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter<T>>;

XcbReply<xcb_get_property_reply_t> takeProperty(xcb_connection_t* c, xcb_get_property_cookie_t cookie)
{
    return XcbReply<xcb_get_property_reply_t>(xcb_get_property_reply(c, cookie, nullptr));
}

QByteArray propertyBytes(const xcb_get_property_reply_t* reply)
{
    if (!reply || reply->format != 8) {
        return {};
    }
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply)), xcb_get_property_value_length(reply));
}

QString executableOf(uint32_t pid)
{
    if (pid == 0) {
        return {};
    }
    QString target = QFile::symLinkTarget(u"/proc/%1/exe"_s.arg(pid));
    if (target.endsWith(u" (deleted)"_s)) {
        target.chop(10);
    }
    return target;
}

QIcon iconFor(const QString& iconName)
{
    if (iconName.isEmpty()) {
        return {};
    }
    if (QFileInfo(iconName).isAbsolute()) {
        return QIcon(iconName);
    }
    return QIcon::fromTheme(iconName);
}

} // namespace

struct X11Workspace::Private {
    Private(X11Workspace* owner, DesktopEntryIndex index, Options opts)
        : q(owner), entries(std::move(index)), options(std::move(opts))
    {
    }

    X11Workspace* q;
    DesktopEntryIndex entries;
    Options options;
    QString reason;

    xcb_connection_t* connection = nullptr;
    xcb_ewmh_connection_t ewmh {};
    bool ewmhReady = false;
    int screenNumber = 0;
    xcb_window_t root = 0;
    xcb_atom_t wmStateAtom = 0;
    xcb_atom_t wmChangeStateAtom = 0;
    xcb_atom_t gtkAppIdAtom = 0;
    QSocketNotifier* notifier = nullptr;
    QMetaObject::Connection aboutToBlock;
    QMetaObject::Connection awake;

    struct Group {
        RunningApp app;
        QString key;
        QList<xcb_window_t> windows;
        xcb_window_t lastActive = 0;
    };
    std::map<quint64, Group> groups; // keyed by id, which grows with appearance
    QHash<QString, quint64> groupByKey;
    QHash<xcb_window_t, quint64> groupOfWindow;
    quint64 nextId = 1;
    quint64 frontmost = 0;
    xcb_window_t activeWindow = 0;

    bool clientListDirty = false;
    bool activeDirty = false;
    bool processing = false;
    Counters counters;

    ~Private()
    {
        QObject::disconnect(aboutToBlock);
        QObject::disconnect(awake);
        delete notifier;
        if (ewmhReady) {
            xcb_ewmh_connection_wipe(&ewmh);
        }
        if (connection) {
            xcb_disconnect(connection);
        }
    }

    void fail(const QString& why)
    {
        reason = why;
        qCWarning(lcWorkspace).noquote() << u"X11Workspace: app blocking is unavailable: "_s + why;
    }

    xcb_atom_t intern(const char* name) const
    {
        const auto cookie = xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name);
        XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr));
        return reply ? reply->atom : 0;
    }

    bool open()
    {
        QString display = options.displayName;
        if (display.isEmpty()) {
            display = qEnvironmentVariable("DISPLAY");
        }
        if (display.isEmpty()) {
            fail(qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                    ? u"there is no X display (DISPLAY is not set)"_s
                    : u"this is a Wayland session without X11 (DISPLAY is not set); other apps' windows are out of reach"_s);
            return false;
        }
        connection = xcb_connect(display.toLocal8Bit().constData(), &screenNumber);
        if (xcb_connection_has_error(connection)) {
            fail(u"cannot open the X display %1"_s.arg(display));
            return false;
        }
        xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(connection, &ewmh);
        if (!xcb_ewmh_init_atoms_replies(&ewmh, cookies, nullptr)) {
            fail(u"cannot read the EWMH atoms of the X display %1"_s.arg(display));
            return false;
        }
        ewmhReady = true;
        if (screenNumber < 0 || screenNumber >= ewmh.nb_screens) {
            fail(u"the X display %1 has no screen %2"_s.arg(display).arg(screenNumber));
            return false;
        }
        root = ewmh.screens[screenNumber]->root;
        wmStateAtom = intern("WM_STATE");
        wmChangeStateAtom = intern("WM_CHANGE_STATE");
        gtkAppIdAtom = intern("_GTK_APPLICATION_ID");

        xcb_ewmh_get_atoms_reply_t supported;
        if (!xcb_ewmh_get_supported_reply(&ewmh, xcb_ewmh_get_supported(&ewmh, screenNumber), &supported, nullptr)) {
            fail(u"the window manager on %1 does not publish EWMH hints"_s.arg(display));
            return false;
        }
        bool hasClientList = false;
        bool hasActive = false;
        for (uint32_t i = 0; i < supported.atoms_len; ++i) {
            hasClientList = hasClientList || supported.atoms[i] == ewmh._NET_CLIENT_LIST;
            hasActive = hasActive || supported.atoms[i] == ewmh._NET_ACTIVE_WINDOW;
        }
        xcb_ewmh_get_atoms_reply_wipe(&supported);
        if (!hasClientList || !hasActive) {
            fail(u"the window manager on %1 publishes no client list or active window"_s.arg(display));
            return false;
        }

        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);

        notifier = new QSocketNotifier(xcb_get_file_descriptor(connection), QSocketNotifier::Read);
        QObject::connect(notifier, &QSocketNotifier::activated, q, [this] { readEvents(false); });
        // Replies read while waiting for something else leave events in xcb's
        // queue, where the socket notifier no longer sees them: they are taken
        // at each turn of the event loop, whether it is about to wait or was
        // asked not to (a loop driven by processEvents never waits).
        if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
            aboutToBlock = QObject::connect(
                dispatcher, &QAbstractEventDispatcher::aboutToBlock, q, [this] { readEvents(true); });
            awake = QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, q, [this] { readEvents(true); });
        }

        // Apps already running are not launches: take them in silently.
        updateClientList(false);
        updateActiveWindow(false);
        return true;
    }

    void readEvents(bool queuedOnly)
    {
        if (processing || !connection || !reason.isEmpty()) {
            return;
        }
        processing = true;
        QList<std::function<void()>> emissions;
        for (;;) {
            xcb_generic_event_t* event
                = queuedOnly ? xcb_poll_for_queued_event(connection) : xcb_poll_for_event(connection);
            if (!event) {
                if (!clientListDirty && !activeDirty) {
                    break;
                }
                // One read of each changed property per batch of events,
                // however many notifications the batch held.
                if (clientListDirty) {
                    clientListDirty = false;
                    emissions += updateClientList(true);
                }
                if (activeDirty) {
                    activeDirty = false;
                    emissions += updateActiveWindow(true);
                }
                queuedOnly = true;
                continue;
            }
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
                const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
                if (notify->window == root && notify->atom == ewmh._NET_CLIENT_LIST) {
                    clientListDirty = true;
                } else if (notify->window == root && notify->atom == ewmh._NET_ACTIVE_WINDOW) {
                    activeDirty = true;
                }
            }
            std::free(event);
        }
        processing = false;
        if (xcb_connection_has_error(connection)) {
            notifier->setEnabled(false);
            fail(u"the connection to the X display was lost"_s);
        }
        // Signals go out once the state is whole, so that a receiver that
        // hides or activates sees every window of the batch.
        for (const auto& emitOne : std::as_const(emissions)) {
            emitOne();
        }
    }

    struct WindowFacts {
        QString identity;
        QString name;
        QString iconName;
        QString fallbackKey;
        bool regular = true;
    };

    WindowFacts describe(xcb_window_t window, const xcb_get_property_reply_t* wmClass,
        const xcb_get_property_reply_t* gtkId, uint32_t pid, const xcb_ewmh_get_atoms_reply_t* types)
    {
        WindowFacts facts;
        if (types) {
            for (uint32_t i = 0; i < types->atoms_len; ++i) {
                const xcb_atom_t t = types->atoms[i];
                if (t == ewmh._NET_WM_WINDOW_TYPE_DOCK || t == ewmh._NET_WM_WINDOW_TYPE_DESKTOP
                    || t == ewmh._NET_WM_WINDOW_TYPE_SPLASH || t == ewmh._NET_WM_WINDOW_TYPE_NOTIFICATION
                    || t == ewmh._NET_WM_WINDOW_TYPE_TOOLBAR || t == ewmh._NET_WM_WINDOW_TYPE_MENU) {
                    facts.regular = false;
                }
            }
        }
        const QByteArray classBytes = propertyBytes(wmClass);
        const QList<QByteArray> classParts = classBytes.split('\0');
        const QString instance = QString::fromLocal8Bit(classParts.value(0));
        const QString className = QString::fromLocal8Bit(classParts.value(1));
        const QString appId = QString::fromUtf8(propertyBytes(gtkId)).trimmed();

        const DesktopEntry* entry = nullptr;
        if (pid != 0 && pid == uint32_t(::getpid()) && !options.ownIdentity.isEmpty()) {
            entry = entries.entry(options.ownIdentity);
            facts.identity = options.ownIdentity;
        } else {
            for (int attempt = 0; attempt < 2 && !entry; ++attempt) {
                entry = entries.entry(appId);
                if (!entry && (!instance.isEmpty() || !className.isEmpty())) {
                    entry = entries.matchWindowClass(instance, className);
                }
                if (!entry) {
                    entry = entries.matchExecutable(executableOf(pid));
                }
                // An app installed since the last read has a new entry.
                if (entry || !entries.reloadIfChanged()) {
                    break;
                }
            }
            // A GTK application ID names its desktop file even when we
            // cannot see the file.
            facts.identity = entry ? entry->id : appId;
        }
        if (entry) {
            facts.name = entry->name;
            facts.iconName = entry->iconName;
        }
        if (!className.isEmpty()) {
            facts.fallbackKey = u"class:"_s + className;
        } else if (pid != 0) {
            facts.fallbackKey = u"pid:"_s + QString::number(pid);
        } else {
            facts.fallbackKey = u"window:"_s + QString::number(window);
        }
        return facts;
    }

    QList<std::function<void()>> updateClientList(bool notify)
    {
        QList<std::function<void()>> emissions;
        ++counters.clientListReads;
        xcb_ewmh_get_windows_reply_t list;
        QList<xcb_window_t> current;
        if (xcb_ewmh_get_client_list_reply(&ewmh, xcb_ewmh_get_client_list(&ewmh, screenNumber), &list, nullptr)) {
            current.reserve(int(list.windows_len));
            for (uint32_t i = 0; i < list.windows_len; ++i) {
                current.append(list.windows[i]);
            }
            xcb_ewmh_get_windows_reply_wipe(&list);
        }
        QSet<xcb_window_t> present(current.cbegin(), current.cend());

        // Windows that left the list; an app whose last window left is gone.
        for (auto it = groupOfWindow.begin(); it != groupOfWindow.end();) {
            if (present.contains(it.key())) {
                ++it;
                continue;
            }
            const auto groupIt = groups.find(it.value());
            if (groupIt != groups.end()) {
                groupIt->second.windows.removeAll(it.key());
                if (groupIt->second.windows.isEmpty()) {
                    const RunningApp app = groupIt->second.app;
                    groupByKey.remove(groupIt->second.key);
                    groups.erase(groupIt);
                    if (frontmost == app.id) {
                        frontmost = 0;
                    }
                    if (notify) {
                        emissions.append([this, app] { Q_EMIT q->applicationTerminated(app); });
                    }
                }
            }
            it = groupOfWindow.erase(it);
        }

        // New windows: ask for all their properties at once, then read the
        // answers, so that a burst of windows costs one round trip.
        QList<xcb_window_t> fresh;
        for (const xcb_window_t w : std::as_const(current)) {
            if (!groupOfWindow.contains(w)) {
                fresh.append(w);
            }
        }
        if (fresh.isEmpty()) {
            return emissions;
        }
        counters.windowReads += int(fresh.size());
        struct Pending {
            xcb_get_property_cookie_t wmClass, gtkId, pid, types;
        };
        QList<Pending> pending;
        pending.reserve(fresh.size());
        for (const xcb_window_t w : std::as_const(fresh)) {
            pending.append({ xcb_get_property(connection, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
                xcb_get_property(connection, 0, w, gtkAppIdAtom, XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                xcb_ewmh_get_wm_pid(&ewmh, w), xcb_ewmh_get_wm_window_type(&ewmh, w) });
        }
        for (int i = 0; i < fresh.size(); ++i) {
            const xcb_window_t w = fresh.at(i);
            const auto wmClass = takeProperty(connection, pending.at(i).wmClass);
            const auto gtkId = takeProperty(connection, pending.at(i).gtkId);
            uint32_t pid = 0;
            xcb_ewmh_get_wm_pid_reply(&ewmh, pending.at(i).pid, &pid, nullptr);
            xcb_ewmh_get_atoms_reply_t types;
            const bool hasTypes = xcb_ewmh_get_wm_window_type_reply(&ewmh, pending.at(i).types, &types, nullptr);
            const WindowFacts facts = describe(w, wmClass.get(), gtkId.get(), pid, hasTypes ? &types : nullptr);
            if (hasTypes) {
                xcb_ewmh_get_atoms_reply_wipe(&types);
            }

            const QString key = facts.identity.isEmpty() ? facts.fallbackKey : u"id:"_s + facts.identity;
            auto known = groupByKey.constFind(key);
            if (known == groupByKey.constEnd()) {
                Group group;
                group.app.id = nextId++;
                group.app.bundleIdentifier = facts.identity;
                group.app.name = facts.name;
                group.app.icon = iconFor(facts.iconName);
                group.app.regular = facts.regular;
                group.key = key;
                group.windows.append(w);
                const RunningApp app = group.app;
                groups.emplace(app.id, std::move(group));
                groupByKey.insert(key, app.id);
                groupOfWindow.insert(w, app.id);
                if (notify) {
                    emissions.append([this, app] { Q_EMIT q->applicationLaunched(app); });
                }
            } else {
                Group& group = groups.at(*known);
                group.windows.append(w);
                group.app.regular = group.app.regular || facts.regular;
                groupOfWindow.insert(w, group.app.id);
            }
        }
        // The window manager may announce the active window before it lists
        // it; now that we know its app, let the activation count.
        if (frontmost == 0 && activeWindow != 0 && fresh.contains(activeWindow)) {
            activeDirty = true;
        }
        return emissions;
    }

    QList<std::function<void()>> updateActiveWindow(bool notify)
    {
        QList<std::function<void()>> emissions;
        xcb_window_t active = 0;
        if (!xcb_ewmh_get_active_window_reply(
                &ewmh, xcb_ewmh_get_active_window(&ewmh, screenNumber), &active, nullptr)) {
            active = 0;
        }
        activeWindow = active;
        const quint64 group = groupOfWindow.value(active, 0);
        if (group != 0) {
            groups.at(group).lastActive = active;
        }
        if (group == frontmost) {
            return emissions;
        }
        frontmost = group;
        if (group != 0 && notify) {
            const RunningApp app = groups.at(group).app;
            emissions.append([this, app] { Q_EMIT q->applicationActivated(app); });
        }
        return emissions;
    }

    const Group* find(const RunningApp& app) const
    {
        const auto it = groups.find(app.id);
        return it == groups.end() ? nullptr : &it->second;
    }
};

X11Workspace::X11Workspace(DesktopEntryIndex entries, Options options, QObject* parent)
    : Workspace(parent), d(std::make_unique<Private>(this, std::move(entries), std::move(options)))
{
    d->open();
}

X11Workspace::~X11Workspace() = default;

bool X11Workspace::isAvailable() const
{
    return d->reason.isEmpty();
}

QString X11Workspace::unavailableReason() const
{
    return d->reason;
}

QList<RunningApp> X11Workspace::runningApplications() const
{
    QList<RunningApp> apps;
    apps.reserve(qsizetype(d->groups.size()));
    for (const auto& [id, group] : d->groups) {
        apps.append(group.app);
    }
    return apps;
}

std::optional<RunningApp> X11Workspace::frontmostApplication() const
{
    const auto it = d->groups.find(d->frontmost);
    if (it == d->groups.end()) {
        return std::nullopt;
    }
    return it->second.app;
}

void X11Workspace::hide(const RunningApp& app)
{
    const auto* group = d->find(app);
    if (!group || !isAvailable()) {
        return;
    }
    // ICCCM's way for anyone to ask the window manager to iconify a window.
    for (const xcb_window_t w : group->windows) {
        const uint32_t data[] = { iconicState };
        xcb_ewmh_send_client_message(d->connection, w, d->root, d->wmChangeStateAtom, sizeof(data), data);
    }
    xcb_flush(d->connection);
}

void X11Workspace::unhide(const RunningApp& app)
{
    const auto* group = d->find(app);
    if (!group || !isAvailable()) {
        return;
    }
    // Mapping an iconic window asks the window manager to restore it.
    for (const xcb_window_t w : group->windows) {
        xcb_map_window(d->connection, w);
    }
    xcb_flush(d->connection);
}

void X11Workspace::activate(const RunningApp& app)
{
    const auto* group = d->find(app);
    if (!group || group->windows.isEmpty() || !isAvailable()) {
        return;
    }
    const xcb_window_t target = group->windows.contains(group->lastActive) ? group->lastActive : group->windows.last();
    // Source "pager": a request on the user's behalf, which window managers
    // honour without their focus-stealing rules.
    xcb_ewmh_request_change_active_window(
        &d->ewmh, d->screenNumber, target, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, XCB_CURRENT_TIME, d->activeWindow);
    xcb_flush(d->connection);
}

bool X11Workspace::isHidden(const RunningApp& app) const
{
    const auto* group = d->find(app);
    if (!group || group->windows.isEmpty() || !isAvailable()) {
        return false;
    }
    QList<xcb_get_property_cookie_t> cookies;
    for (const xcb_window_t w : group->windows) {
        cookies.append(xcb_get_property(d->connection, 0, w, d->wmStateAtom, d->wmStateAtom, 0, 2));
    }
    bool allIconic = true;
    for (const auto& cookie : std::as_const(cookies)) {
        const auto reply = takeProperty(d->connection, cookie);
        const bool iconic = reply && reply->format == 32 && xcb_get_property_value_length(reply.get()) >= 4
            && *static_cast<const uint32_t*>(xcb_get_property_value(reply.get())) == iconicState;
        allIconic = allIconic && iconic;
    }
    return allIconic;
}

bool X11Workspace::isTerminated(const RunningApp& app) const
{
    return d->find(app) == nullptr;
}

std::optional<quint32> X11Workspace::activeWindow() const
{
    if (!isAvailable()) {
        return std::nullopt;
    }
    // Read afresh: a request made just now may not have been announced yet.
    xcb_window_t active = 0;
    if (!xcb_ewmh_get_active_window_reply(
            &d->ewmh, xcb_ewmh_get_active_window(&d->ewmh, d->screenNumber), &active, nullptr)
        || active == 0) {
        return std::nullopt;
    }
    return quint32(active);
}

std::optional<X11Workspace::ClientWindow> X11Workspace::clientWindow(quint32 window) const
{
    if (!isAvailable()) {
        return std::nullopt;
    }
    xcb_connection_t* c = d->connection;
    const auto attributesCookie = xcb_get_window_attributes(c, window);
    const auto geometryCookie = xcb_get_geometry(c, window);
    const auto translateCookie = xcb_translate_coordinates(c, window, d->root, 0, 0);
    const auto pidCookie = xcb_ewmh_get_wm_pid(&d->ewmh, window);
    const auto stateCookie = xcb_ewmh_get_wm_state(&d->ewmh, window);
    const auto typeCookie = xcb_ewmh_get_wm_window_type(&d->ewmh, window);
    const auto classCookie = xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256);

    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, attributesCookie, nullptr));
    XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, geometryCookie, nullptr));
    XcbReply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(c, translateCookie, nullptr));
    ClientWindow info;
    info.id = window;
    uint32_t pid = 0;
    if (xcb_ewmh_get_wm_pid_reply(&d->ewmh, pidCookie, &pid, nullptr)) {
        info.pid = pid;
    }
    bool hidden = false;
    xcb_ewmh_get_atoms_reply_t states;
    if (xcb_ewmh_get_wm_state_reply(&d->ewmh, stateCookie, &states, nullptr)) {
        for (uint32_t i = 0; i < states.atoms_len; ++i) {
            hidden = hidden || states.atoms[i] == d->ewmh._NET_WM_STATE_HIDDEN;
        }
        xcb_ewmh_get_atoms_reply_wipe(&states);
    }
    xcb_ewmh_get_atoms_reply_t types;
    if (xcb_ewmh_get_wm_window_type_reply(&d->ewmh, typeCookie, &types, nullptr)) {
        for (uint32_t i = 0; i < types.atoms_len; ++i) {
            const xcb_atom_t t = types.atoms[i];
            info.normal
                = info.normal && t != d->ewmh._NET_WM_WINDOW_TYPE_DOCK && t != d->ewmh._NET_WM_WINDOW_TYPE_DESKTOP;
        }
        xcb_ewmh_get_atoms_reply_wipe(&types);
    }
    const auto wmClass = takeProperty(c, classCookie);
    // The class names the program ("Chromium", "firefox-esr"); the instance
    // may name only the window ("Navigator").
    info.windowClass = QString::fromLocal8Bit(propertyBytes(wmClass.get()).split('\0').value(1)).toLower();
    if (!attributes || !geometry || !origin) {
        return std::nullopt;
    }
    info.frame = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
    info.onScreen = attributes->map_state == XCB_MAP_STATE_VIEWABLE && !hidden;
    return info;
}

QString X11Workspace::windowTitle(quint32 window) const
{
    if (!isAvailable()) {
        return {};
    }
    xcb_connection_t* c = d->connection;
    const auto netName = xcb_get_property(c, 0, window, d->ewmh._NET_WM_NAME, d->ewmh.UTF8_STRING, 0, 1024);
    const auto name = xcb_get_property(c, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024);
    const QByteArray utf8 = propertyBytes(takeProperty(c, netName).get());
    const QByteArray plain = propertyBytes(takeProperty(c, name).get());
    return utf8.isEmpty() ? QString::fromLocal8Bit(plain) : QString::fromUtf8(utf8);
}

QList<X11Workspace::ClientWindow> X11Workspace::clientWindows() const
{
    QList<ClientWindow> windows;
    if (!isAvailable()) {
        return windows;
    }
    xcb_ewmh_get_windows_reply_t list;
    if (xcb_ewmh_get_client_list_stacking_reply(
            &d->ewmh, xcb_ewmh_get_client_list_stacking(&d->ewmh, d->screenNumber), &list, nullptr)) {
        for (uint32_t i = 0; i < list.windows_len; ++i) {
            if (const auto info = clientWindow(list.windows[i])) {
                windows.append(*info);
            }
        }
        xcb_ewmh_get_windows_reply_wipe(&list);
    }
    return windows;
}

void X11Workspace::activateWindow(quint32 window)
{
    if (!isAvailable()) {
        return;
    }
    xcb_ewmh_request_change_active_window(
        &d->ewmh, d->screenNumber, window, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, XCB_CURRENT_TIME, d->activeWindow);
    xcb_flush(d->connection);
}

X11Workspace::Counters X11Workspace::counters() const
{
    return d->counters;
}

} // namespace kestravin
