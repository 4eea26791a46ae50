#include "app/services/DesktopBrowserShield.h"

#include "app/models/StrictUrl.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <QSettings>

#include <deque>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {

Q_LOGGING_CATEGORY(lcShield, "com.kestravin.app.BrowserShield")

namespace {

constexpr int addressFieldLimit = 240;
constexpr auto addressFieldDeadline = 300ms;
constexpr int addressFieldChildren = 40;
constexpr int pageUrlLimit = 300;
constexpr auto pageUrlDeadline = 200ms;
constexpr int stripLimit = 300;
constexpr auto stripDeadline = 200ms;
constexpr int stripChildren = 60;
constexpr qint64 logLimit = 50000;
constexpr auto closeGuard = 1000ms;
constexpr auto closeDelay = 150ms;
// Activation of another window is confirmed by the window manager; these
// bound the wait before a key is sent.
constexpr auto activationPoll = 50ms;
constexpr int activationPolls = 10;

const QStringList& addressKeywords()
{
    static const QStringList words
        = { u"address"_s, u"endereço"_s, u"adresse"_s, u"url"_s, u"dirección"_s, u"indirizzo"_s, u"smart search"_s };
    return words;
}

const QSet<QString>& clearSchemes()
{
    static const QSet<QString> schemes
        = { u"http"_s, u"https"_s, u"chrome"_s, u"about"_s, u"edge"_s, u"brave"_s, u"vivaldi"_s, u"opera"_s, u"arc"_s,
              u"favorites"_s, u"file"_s, u"chrome-extension"_s, u"view-source"_s, u"devtools"_s };
    return schemes;
}

QString titleHead(const QString& title)
{
    QString head = title;
    qsizetype cut = head.indexOf(u" - "_s);
    if (cut >= 0) {
        head = head.first(cut);
    }
    cut = head.indexOf(u" — "_s);
    if (cut >= 0) {
        head = head.first(cut);
    }
    return head;
}

// The scheme of an address as the generic syntax splits it: letters, digits,
// "+", "-", "." before the first ":".
std::optional<QString> schemeOf(const QString& address)
{
    const qsizetype colon = address.indexOf(u':');
    if (colon <= 0) {
        return std::nullopt;
    }
    const QString scheme = address.first(colon);
    if (!scheme.at(0).isLetter()) {
        return std::nullopt;
    }
    for (const QChar c : scheme) {
        if (c.unicode() >= 0x80 || !(c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.')) {
            return std::nullopt;
        }
    }
    return scheme.toLower();
}

QString pathOf(const QString& address)
{
    const QString full = address.contains(u"://"_s) ? address : u"https://"_s + address;
    const auto parts = StrictUrl::parse(full);
    return parts ? parts->path : QString();
}

// Queues the first children of `element` one level deeper, for the
// breadth-first searches of a window's tree.
void queueChildren(
    AccessibilityTree& tree, std::deque<std::pair<AxElement, int>>& queue, const AxElement& element, int depth)
{
    const auto children = tree.children(element, addressFieldChildren);
    if (children.ok()) {
        for (const AxElement& child : children.value->elements.first(
                 std::min<qsizetype>(addressFieldChildren, children.value->elements.size()))) {
            queue.emplace_back(child, depth + 1);
        }
    }
}
} // namespace

const QString DesktopBrowserShield::enabledKey = u"desktopBrowserShield"_s;
const QString DesktopBrowserShield::observedKey = u"desktopObservedAttempts"_s;
const QString DesktopBrowserShield::verifiedKey = u"desktopVerifiedBlocks"_s;
const QString DesktopBrowserShield::messageIndexKey = u"desktopShieldMessageIndex"_s;

const QSet<QString>& DesktopBrowserShield::browsers()
{
    static const QSet<QString> ids = { // Desktop-file IDs of the browsers built for Linux.
        u"chromium"_s, u"chromium-browser"_s, u"org.chromium.Chromium"_s, u"google-chrome"_s, u"google-chrome-beta"_s,
        u"google-chrome-unstable"_s, u"com.google.Chrome"_s, u"microsoft-edge"_s, u"microsoft-edge-beta"_s,
        u"microsoft-edge-dev"_s, u"com.microsoft.Edge"_s, u"brave-browser"_s, u"com.brave.Browser"_s, u"firefox"_s,
        u"firefox-esr"_s, u"org.mozilla.firefox"_s, u"vivaldi-stable"_s, u"com.vivaldi.Vivaldi"_s, u"opera"_s,
        u"com.opera.Opera"_s,
        // The other platforms' identifiers, as data.
        u"com.google.Chrome.beta"_s, u"com.google.Chrome.canary"_s, u"com.microsoft.edgemac"_s, u"com.apple.Safari"_s,
        u"company.thebrowser.Browser"_s, u"company.thebrowser.dia"_s, u"com.operasoftware.Opera"_s
    };
    return ids;
}

const QStringList& DesktopBrowserShield::messages()
{
    static const QStringList list
        = { u"Esse clique pode esperar."_s, u"Este tempo merece sua atenção."_s, u"Volte para o que importa agora."_s,
              u"Guarde essa curiosidade para depois."_s, u"Mais um passo no que importa."_s };
    return list;
}

DesktopBrowserShield::DesktopBrowserShield(AccessibilityTree& tree, BrowserWindows& windows, KeySender& keys,
    ShieldPanelHost& panel, Clock& clock, Scheduler& scheduler, Environment environment, Collaborators collaborators,
    QObject* parent)
    : QObject(parent),
      m_tree(tree),
      m_windows(windows),
      m_keys(keys),
      m_panel(panel),
      m_clock(clock),
      m_scheduler(scheduler),
      m_env(std::move(environment)),
      m_collaborators(std::move(collaborators))
{
    const QVariant stored = settings()->value(enabledKey);
    // INI files keep no types: "true" and "false" are the stored Booleans.
    if (stored.typeId() == QMetaType::Bool) {
        m_enabled = stored.toBool();
    } else if (stored.typeId() == QMetaType::QString
        && (stored.toString() == u"true"_s || stored.toString() == u"false"_s)) {
        m_enabled = stored.toString() == u"true"_s;
    }
    m_hasPermission = m_windows.isAvailable() && m_tree.isEnabled();
}

DesktopBrowserShield::~DesktopBrowserShield() = default;

std::unique_ptr<QSettings> DesktopBrowserShield::settings() const
{
    if (m_env.settingsFile.isEmpty()) {
        return std::make_unique<QSettings>(u"Kestravin"_s, u"Kestravin"_s);
    }
    return std::make_unique<QSettings>(m_env.settingsFile, QSettings::IniFormat);
}

void DesktopBrowserShield::start()
{
    if (m_timer) {
        return;
    }
    QPointer<DesktopBrowserShield> self(this);
    m_timer = m_scheduler.startTimer(500ms, true, [self] {
        if (self) {
            self->observe();
        }
    });
    m_activation = connect(&m_windows, &BrowserWindows::applicationActivated, this, [this](const FrontApp& app) {
        if (app.pid == m_windows.ownPid()) {
            return;
        }
        if (browsers().contains(app.identity)) {
            observe();
        } else {
            m_previousApp = app.app;
        }
    });
}

void DesktopBrowserShield::stop()
{
    m_timer.reset();
    dismiss();
    disconnect(m_activation);
}

void DesktopBrowserShield::setEnabled(bool on)
{
    if (m_enabled != on) {
        m_enabled = on;
        Q_EMIT enabledChanged();
    }
    settings()->setValue(enabledKey, on);
    if (on) {
        setPermission(m_windows.isAvailable() && m_tree.enable());
    } else {
        dismiss();
        m_attempts.previous.reset();
    }
}

void DesktopBrowserShield::requestPermission()
{
    const bool granted = m_windows.isAvailable() && m_tree.enable();
    setPermission(granted);
    if (!m_windows.isAvailable()) {
        setDetail(u"A tela da Orla precisa de uma sessão X11: "_s + m_windows.unavailableReason());
    } else if (!granted) {
        setDetail(u"Não foi possível ligar a acessibilidade do sistema."_s);
    } else {
        setDetail(u"Acessibilidade ligada. Feche e abra de novo os navegadores que já estavam abertos."_s);
    }
}

void DesktopBrowserShield::setPermission(bool value)
{
    if (m_hasPermission != value) {
        m_hasPermission = value;
        Q_EMIT hasPermissionChanged();
    }
}

void DesktopBrowserShield::setDetail(const QString& text)
{
    if (m_detail != text) {
        m_detail = text;
        Q_EMIT detailChanged();
    }
}

std::optional<QString> DesktopBrowserShield::readHosts() const
{
    // Read as bytes and decoded leniently: one stray byte in someone's
    // comment must not switch the shield off. Markers and entries are ASCII.
    QFile file(m_env.hostsFile);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return QString::fromUtf8(bytes);
}

void DesktopBrowserShield::leave()
{
    dismiss();
    m_attempts.previous.reset();
}

void DesktopBrowserShield::observe()
{
    if (!m_enabled) {
        return;
    }
    QElapsedTimer timer;
    timer.start();
    pass();
    m_lastPassMs = timer.elapsed();
}

void DesktopBrowserShield::pass()
{
    if (!m_windows.isAvailable()) {
        setPermission(false);
        note(u"sem sessão X11: "_s + m_windows.unavailableReason());
        setDetail(u"A tela da Orla precisa de uma sessão X11."_s);
        dismiss();
        return;
    }
    setPermission(m_tree.isEnabled());
    if (!m_hasPermission) {
        note(u"sem a permissão de Acessibilidade"_s);
        dismiss();
        return;
    }
    const auto hosts = readHosts();
    if (!hosts) {
        return;
    }
    if (m_shownHost && !BrowserShieldPolicy::blockedHost(*m_shownHost, *hosts)) {
        lifted(*hosts);
        return;
    }
    auto front = m_windows.frontmost();
    if (front && front->pid == m_windows.ownPid() && m_shownWindow && m_panel.exists()) {
        // The panel holds the keyboard over the covered window (it took it
        // when shown, and window managers hand it back when a browser pop-up
        // closes): the covered browser stands for the front app, so that a
        // closed or cleared page still takes the panel away.
        front = FrontApp { m_shownWindow->app, m_shownWindow->pid, m_shownWindow->identity };
    }
    if (!front || front->pid == m_windows.ownPid()) {
        qCDebug(lcShield) << "pass: no other application in front";
        return;
    }
    const QString identity = front->identity;
    if (!browsers().contains(identity)) {
        glue();
        return;
    }
    const auto application = m_tree.application(front->pid);
    if (!application) {
        // A browser we cannot read (another process namespace, tree off since
        // its start) is said, never passed over in silence.
        note(identity + u": navegador sem árvore de acessibilidade legível"_s);
        setDetail(
            u"A tela da Orla não consegue ler %1. Feche e abra o navegador de novo; navegadores em sandbox "
            u"(Flatpak, Snap) não podem ser lidos."_s.arg(front->app.name.isEmpty() ? identity : front->app.name));
        glue();
        return;
    }
    setDetail(QString());
    const auto focused = m_tree.focusedWindow(*application);
    if (!focused.ok()) {
        note(identity + u": sem janela em foco"_s);
        glue();
        return;
    }
    const AxElement window = *focused.value;
    const bool same = m_shownWindow && m_shownWindow->pid == front->pid && m_shownWindow->window == window;
    const Reading reading = read(window, *hosts, same);

    if (reading.kind != Reading::Kind::Blocked) {
        qCDebug(lcShield) << "pass: reading" << (reading.kind == Reading::Kind::Clear ? "clear" : "unsure") << "same"
                          << same;
        note(identity + u": site fora do bloqueio do sistema"_s);
        if (!same) {
            glue();
            return;
        }
        if (reading.kind == Reading::Kind::Clear) {
            ++m_clearReads;
            if (m_clearReads > 1) {
                leave();
                return;
            }
        } else {
            m_clearReads = 0;
        }
        raise();
        return;
    }

    m_clearReads = 0;
    m_shownAddress = reading.address;
    note(identity + u": tela da Orla em "_s + reading.host);
    const QString key = QString::number(front->pid) + u':' + QString::number(qHash(window)) + u':' + reading.host + u':'
        + pathOf(reading.address);
    const auto frame = frameOf(window);
    if (m_attempts.previous == key && m_panel.exists()) {
        if (frame && *frame != m_panel.frame()) {
            m_panel.setFrame(*frame);
        }
        raise();
        return;
    }
    m_attempts.previous = key;
    {
        auto store = settings();
        store->setValue(observedKey, store->value(observedKey, 0).toLongLong() + 1);
        store->setValue(verifiedKey, store->value(verifiedKey, 0).toLongLong() + 1);
    }
    QString service = BrowserShieldPolicy::platform(reading.host).value_or(QString());
    if (service.isEmpty() && m_collaborators.catalogueId) {
        service = m_collaborators.catalogueId(reading.host).value_or(QString());
    }
    if (service.isEmpty()) {
        service = u"site"_s;
    }
    if (m_collaborators.capture) {
        m_collaborators.capture(u"blocked_attempt"_s, { { u"surface"_s, u"mac_site"_s }, { u"service"_s, service } });
    }
    int index = 0;
    {
        auto store = settings();
        // A negative index (only an outside edit stores one) counts from 0.
        const qint64 stored = std::max<qint64>(0, store->value(messageIndexKey, 0).toLongLong());
        index = int(stored % messages().size());
        store->setValue(messageIndexKey, index + 1);
    }
    show(reading.host, reading.address, messages().at(index), frame, *front, window);
}

DesktopBrowserShield::Reading DesktopBrowserShield::read(
    const AxElement& window, const QString& hosts, bool confirmClear)
{
    std::optional<QString> typed;
    if (const auto field = addressField(window)) {
        const auto states = m_tree.states(*field);
        if (!(states.ok() && states.value->focused)) {
            const auto value = m_tree.text(*field);
            if (value.ok() && BrowserShieldPolicy::host(*value.value)) {
                typed = *value.value;
            }
        }
    }
    std::optional<QString> title;
    if (const auto name = m_tree.name(window); name.ok()) {
        title = *name.value;
    }
    std::optional<QString> head;
    if (title) {
        head = titleHead(*title);
    }

    auto blocked = [&](const QString& candidate) -> std::optional<Reading> {
        if (const auto host = BrowserShieldPolicy::blockedHost(candidate, hosts)) {
            if (confirmClear) {
                noteBlocked(window, title);
            }
            return Reading { Reading::Kind::Blocked, *host, candidate };
        }
        return std::nullopt;
    };

    // A window has no document address of its own here: the address bar,
    // the title and the page's document stand for it.
    for (const auto& candidate : { typed, head }) {
        if (candidate) {
            if (auto reading = blocked(*candidate)) {
                return *reading;
            }
        }
    }
    const auto page = pageUrl(window);
    if (page) {
        if (auto reading = blocked(*page)) {
            return *reading;
        }
    }
    if (!confirmClear) {
        return {};
    }
    if (page) {
        const auto scheme = schemeOf(*page);
        if (scheme && clearSchemes().contains(*scheme)) {
            return Reading { Reading::Kind::Clear, {}, {} };
        }
    }
    if (!m_blockedTab) {
        return {};
    }
    if (m_blockedTab->tab && m_tree.role(*m_blockedTab->tab).error == AxError::Gone) {
        return Reading { Reading::Kind::Clear, {}, {} };
    }
    if (!typed || !title || m_blockedTitles.contains(*title)) {
        return {};
    }
    if (leftBy(*m_blockedTab, tabStrip(window))) {
        return Reading { Reading::Kind::Clear, {}, {} };
    }
    return {};
}

AxRole DesktopBrowserShield::roleOf(const AxElement& element)
{
    // An element keeps its role for its life, and every read of another
    // process's tree is a round trip: the searches share what they learnt.
    if (const auto known = m_roles.constFind(element); known != m_roles.constEnd()) {
        return *known;
    }
    const auto read = m_tree.role(element);
    if (!read.ok()) {
        return AxRole::Other;
    }
    if (m_roles.size() >= 4000) {
        m_roles.clear();
    }
    m_roles.insert(element, *read.value);
    return *read.value;
}

std::optional<AxElement> DesktopBrowserShield::addressField(const AxElement& window)
{
    for (const auto& [cachedWindow, field] : std::as_const(m_addressFields)) {
        if (cachedWindow == window) {
            if (m_tree.role(field).ok()) {
                return field;
            }
            break;
        }
    }
    const QDateTime deadline = m_clock.now().addMSecs(addressFieldDeadline.count() * m_env.searchBudgetScale);
    std::deque<std::pair<AxElement, int>> queue { { window, 0 } };
    int taken = 0;
    while (!queue.empty() && taken < addressFieldLimit) {
        if (m_clock.now() > deadline) {
            return std::nullopt;
        }
        const auto [element, depth] = queue.front();
        queue.pop_front();
        ++taken;
        const AxRole role = roleOf(element);
        if (role == AxRole::WebArea) {
            continue;
        }
        if (role == AxRole::TextField || role == AxRole::ComboBox) {
            bool found = m_tree.identifier(element).value == u"WEB_BROWSER_ADDRESS_AND_SEARCH_FIELD"_s;
            if (!found) {
                const QString words = (m_tree.description(element).value.value_or(QString()) + u' '
                    + m_tree.name(element).value.value_or(QString()))
                                          .toLower();
                found = std::any_of(addressKeywords().cbegin(), addressKeywords().cend(),
                    [&words](const QString& keyword) { return words.contains(keyword); });
            }
            if (found) {
                QList<QPair<AxElement, AxElement>> cache { { window, element } };
                for (const auto& entry : std::as_const(m_addressFields)) {
                    if (cache.size() >= 8) {
                        break;
                    }
                    if (!(entry.first == window)) {
                        cache.append(entry);
                    }
                }
                m_addressFields = cache;
                return element;
            }
        }
        if (depth < 12) {
            queueChildren(m_tree, queue, element, depth);
        }
    }
    return std::nullopt;
}

std::optional<QString> DesktopBrowserShield::pageUrl(const AxElement& window)
{
    const QDateTime deadline = m_clock.now().addMSecs(pageUrlDeadline.count() * m_env.searchBudgetScale);
    std::deque<std::pair<AxElement, int>> queue { { window, 0 } };
    int taken = 0;
    while (!queue.empty() && taken < pageUrlLimit) {
        if (m_clock.now() > deadline) {
            return std::nullopt;
        }
        const auto [element, depth] = queue.front();
        queue.pop_front();
        ++taken;
        if (roleOf(element) == AxRole::WebArea) {
            // Background tabs keep their documents in the tree.
            const auto states = m_tree.states(element);
            if (states.ok() && !states.value->showing) {
                continue;
            }
            const auto url = m_tree.documentUrl(element);
            if (url.ok() && !url.value->isEmpty()) {
                return *url.value;
            }
            continue;
        }
        if (depth <= 9) {
            queueChildren(m_tree, queue, element, depth);
        }
    }
    return std::nullopt;
}

DesktopBrowserShield::Strip DesktopBrowserShield::tabStrip(const AxElement& window)
{
    auto tabsOf = [this](const QList<AxElement>& buttons) {
        Strip strip { Strip::Kind::Tabs, buttons, std::nullopt };
        for (int i = 0; i < buttons.size(); ++i) {
            const auto states = m_tree.states(buttons.at(i));
            if (states.ok() && states.value->selected) {
                strip.selected = i;
                break;
            }
        }
        return strip;
    };
    // The element that held the window's tabs last time, checked with one
    // fresh read: searching the whole window costs a round trip per element.
    for (const auto& [cachedWindow, holder] : std::as_const(m_tabHolders)) {
        if (cachedWindow == window) {
            if (m_tree.role(holder).ok()) {
                const auto held = m_tree.children(holder, stripChildren);
                QList<AxElement> buttons;
                for (const AxElement& child : held.value.value_or(AxChildren {}).elements) {
                    buttons += radioButtons(child, 0);
                }
                if (!buttons.isEmpty()) {
                    return tabsOf(buttons);
                }
            }
            break;
        }
    }
    auto found = [this, &window, &tabsOf](const AxElement& holder, const QList<AxElement>& buttons) {
        QList<QPair<AxElement, AxElement>> cache { { window, holder } };
        for (const auto& entry : std::as_const(m_tabHolders)) {
            if (cache.size() < 8 && !(entry.first == window)) {
                cache.append(entry);
            }
        }
        m_tabHolders = cache;
        return tabsOf(buttons);
    };
    const QDateTime deadline = m_clock.now().addMSecs(stripDeadline.count() * m_env.searchBudgetScale);
    std::deque<std::pair<AxElement, int>> queue { { window, 0 } };
    int taken = 0;
    bool complete = true;
    while (!queue.empty()) {
        if (m_clock.now() > deadline || taken >= stripLimit) {
            qCDebug(lcShield) << "tab strip: search cut after" << taken << "elements";
            return {};
        }
        const auto [element, depth] = queue.front();
        queue.pop_front();
        ++taken;
        const AxRole role = roleOf(element);
        if (role == AxRole::WebArea) {
            continue;
        }
        if (role == AxRole::TabList) {
            QList<AxElement> buttons;
            const auto groupChildren = m_tree.children(element, stripChildren);
            for (const AxElement& child : groupChildren.value.value_or(AxChildren {}).elements) {
                buttons += radioButtons(child, 0);
            }
            if (!buttons.isEmpty()) {
                return found(element, buttons);
            }
        }
        const auto children = m_tree.children(element, stripChildren);
        if (!children.ok()) {
            if (children.error != AxError::NoValue) {
                complete = false;
            }
            continue;
        }
        QList<AxElement> buttons;
        for (const AxElement& child : children.value->elements) {
            if (roleOf(child) == AxRole::Tab) {
                buttons.append(child);
            }
        }
        if (!buttons.isEmpty()) {
            return found(element, buttons);
        }
        const int count = children.value->count;
        if (count > stripChildren) {
            complete = false;
            if (depth <= 11) {
                for (const AxElement& child : children.value->elements.first(
                         std::min<qsizetype>(stripChildren, children.value->elements.size()))) {
                    queue.emplace_back(child, depth + 1);
                }
            }
        } else if (depth < 12) {
            for (const AxElement& child : children.value->elements) {
                queue.emplace_back(child, depth + 1);
            }
        } else if (count > 0) {
            complete = false;
        }
    }
    return complete ? Strip { Strip::Kind::None, {}, std::nullopt } : Strip {};
}

QList<AxElement> DesktopBrowserShield::radioButtons(const AxElement& element, int depth)
{
    if (roleOf(element) == AxRole::Tab) {
        return { element };
    }
    if (depth > 3) {
        return {};
    }
    QList<AxElement> found;
    const auto children = m_tree.children(element, stripChildren);
    for (const AxElement& child : children.value.value_or(AxChildren {}).elements) {
        found += radioButtons(child, depth + 1);
    }
    return found;
}

bool DesktopBrowserShield::leftBy(const TabAnchor& anchor, const Strip& strip)
{
    if (strip.kind != Strip::Kind::Tabs || !strip.selected) {
        return false;
    }
    if (anchor.tab) {
        return !(strip.tabs.at(*strip.selected) == *anchor.tab);
    }
    return strip.tabs.size() > 1 && *strip.selected != 0;
}

void DesktopBrowserShield::noteBlocked(const AxElement& window, const std::optional<QString>& title)
{
    const Strip strip = tabStrip(window);
    if (strip.kind == Strip::Kind::None) {
        m_blockedTab = TabAnchor {};
    } else if (strip.kind == Strip::Kind::Tabs && strip.selected) {
        m_blockedTab = TabAnchor { strip.tabs.at(*strip.selected) };
    }
    if (title && m_blockedTitles.size() < 50) {
        m_blockedTitles.insert(*title);
    }
}

std::optional<QRect> DesktopBrowserShield::frameOf(const AxElement& element)
{
    const auto extents = m_tree.extents(element);
    if (!extents.ok() || !m_windows.screen() || extents.value->width() <= 100 || extents.value->height() <= 100) {
        return std::nullopt;
    }
    // The tree and X11 both count from the top-left corner of the screen.
    return *extents.value;
}

void DesktopBrowserShield::note(const QString& text)
{
    if (text == m_lastNote) {
        return;
    }
    m_lastNote = text;
    if (m_env.logFile.isEmpty()) {
        return;
    }
    const QFileInfo info(m_env.logFile);
    QDir().mkpath(info.absolutePath());
    if (info.exists() && info.size() > logLimit) {
        QFile::remove(m_env.logFile);
    }
    const QByteArray line = (m_clock.now().toUTC().toString(Qt::ISODate) + u' ' + text + u'\n').toUtf8();
    QFile file(m_env.logFile);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        file.write(line);
    }
}

// --- The panel ---------------------------------------------------------

void DesktopBrowserShield::show(const QString& host, const QString& address, const QString& message,
    const std::optional<QRect>& frame, const FrontApp& app, const AxElement& window)
{
    dismiss();
    QPointer<DesktopBrowserShield> self(this);
    ShieldPanelHost::Content content;
    content.host = host;
    content.message = message;
    content.endsAt = m_collaborators.focusEnd ? m_collaborators.focusEnd() : std::nullopt;
    content.onFolga = [self] {
        if (self) {
            self->useFolga();
        }
    };
    content.onRequest = [self] {
        if (self) {
            self->askOrla();
        }
    };
    content.onCloseTab = [self] {
        if (self) {
            self->closeTab();
        }
    };
    content.onDismiss = [self] {
        if (self) {
            self->goBack();
        }
    };
    m_panel.show(content, frame);
    m_shownHost = host;
    m_shownWindow = ShownWindow { app.pid, window, app.app, app.identity };
    // The address read by this pass is kept for the panel's actions.
    m_shownAddress = address;
    const auto title = m_tree.name(window);
    noteBlocked(window, title.value);
    m_clearReads = 0;
}

void DesktopBrowserShield::dismiss()
{
    if (m_panel.exists()) {
        m_panel.close();
    }
    m_shownHost.reset();
    m_shownWindow.reset();
    m_shownAddress.reset();
    m_blockedTab.reset();
    m_blockedTitles.clear();
    m_clearReads = 0;
}

bool DesktopBrowserShield::closed(const AxElement& window)
{
    if (m_shownWindow && !m_windows.isRunning(m_shownWindow->pid)) {
        return true;
    }
    return m_tree.role(window).error == AxError::Gone;
}

void DesktopBrowserShield::raise()
{
    if (!m_panel.exists()) {
        return;
    }
    if (m_shownWindow && closed(m_shownWindow->window)) {
        leave();
        return;
    }
    m_panel.raiseFloating();
}

std::optional<quint32> DesktopBrowserShield::windowNumber(const ShownWindow& target)
{
    return m_windows.windowOf(target.pid, frameOf(target.window));
}

void DesktopBrowserShield::glue()
{
    if (!m_panel.exists() || !m_shownWindow) {
        return;
    }
    if (closed(m_shownWindow->window)) {
        leave();
        return;
    }
    const auto frame = frameOf(m_shownWindow->window);
    const auto number = m_windows.windowOf(m_shownWindow->pid, frame);
    if (!number) {
        m_panel.orderOut();
        return;
    }
    const QRect target = frame.value_or(m_windows.windowFrame(*number).value_or(m_panel.frame()));
    if (target != m_panel.frame()) {
        m_panel.setFrame(target);
    }
    m_panel.glueAbove(*number);
}

void DesktopBrowserShield::lifted(const QString& hosts)
{
    Q_UNUSED(hosts)
    const auto shown = m_shownWindow;
    const auto host = m_shownHost;
    const auto anchor = m_blockedTab;
    const int clearReads = m_clearReads;
    leave();
    if (!shown || clearReads != 0) {
        return;
    }
    const auto front = m_windows.frontmost();
    if (!front || (front->pid != shown->pid && front->pid != m_windows.ownPid())) {
        return;
    }
    // The same page must still be in front: the window's title names the
    // host, the same tab is selected and the window has the browser's focus.
    auto samePage = [this, shown, host, anchor]() {
        const auto title = m_tree.name(shown->window);
        if (!title.ok() || titleHead(*title.value).toLower() != *host) {
            return false;
        }
        if (!anchor) {
            return false;
        }
        const Strip strip = tabStrip(shown->window);
        if (strip.kind == Strip::Kind::Uncertain) {
            return false;
        }
        if (strip.kind == Strip::Kind::None && anchor->tab) {
            return false;
        }
        if (strip.kind == Strip::Kind::Tabs
            && (!anchor->tab || !strip.selected || !(strip.tabs.at(*strip.selected) == *anchor->tab))) {
            return false;
        }
        const auto application = m_tree.application(shown->pid);
        if (!application) {
            return false;
        }
        const auto focused = m_tree.focusedWindow(*application);
        return focused.ok() && *focused.value == shown->window;
    };
    if (!samePage()) {
        return;
    }
    // The panel held the keyboard: the key goes out only once the browser
    // window is confirmed active and the page checked again.
    sendWhenActive(*shown, ShieldKey::Reload, samePage, activationPolls, [] {});
}

void DesktopBrowserShield::sendWhenActive(
    const ShownWindow& target, ShieldKey key, std::function<bool()> check, int pollsLeft, std::function<void()> onFail)
{
    const auto number = windowNumber(target);
    if (!number) {
        onFail();
        return;
    }
    if (m_windows.activeWindow() == number) {
        if (check()) {
            m_keys.send(key);
        } else {
            onFail();
        }
        return;
    }
    if (pollsLeft % 3 == activationPolls % 3) {
        m_windows.activateWindow(*number);
    }
    if (pollsLeft <= 0) {
        onFail();
        return;
    }
    m_scheduler.runLater(activationPoll, this,
        [this, target, key, check = std::move(check), pollsLeft, onFail = std::move(onFail)]() mutable {
            sendWhenActive(target, key, std::move(check), pollsLeft - 1, std::move(onFail));
        });
}

// --- The panel's actions ---------------------------------------------------

std::optional<AxElement> DesktopBrowserShield::neighborTab(const AxElement& window)
{
    const Strip strip = tabStrip(window);
    if (strip.kind != Strip::Kind::Tabs || strip.tabs.size() < 2) {
        return std::nullopt;
    }
    const int index = strip.selected && *strip.selected >= 1 ? *strip.selected - 1 : 1;
    return strip.tabs.at(index);
}

void DesktopBrowserShield::closeTab()
{
    if (!m_shownWindow || !m_shownHost) {
        return;
    }
    const ShownWindow target = *m_shownWindow;
    const QString host = *m_shownHost;
    auto beep = [this] {
        if (m_collaborators.alertSound) {
            m_collaborators.alertSound();
        }
    };
    const Strip strip = tabStrip(target.window);
    if (strip.kind == Strip::Kind::Uncertain || m_closingTab) {
        qCDebug(lcShield) << "close refused: uncertain strip or a close under way" << bool(m_closingTab);
        beep();
        return;
    }
    std::optional<AxElement> tab;
    AxElement closing = target.window;
    if (strip.kind == Strip::Kind::Tabs) {
        if (!strip.selected) {
            beep();
            return;
        }
        tab = strip.tabs.at(*strip.selected);
        closing = *tab;
    }
    m_closingTab = closing;
    m_scheduler.runLater(closeGuard, this, [this] { m_closingTab.reset(); });
    if (const auto number = windowNumber(target)) {
        m_windows.activateWindow(*number);
    }
    m_scheduler.runLater(
        closeDelay, this, [this, target, host, tab] { tryClose(target, host, tab, 1, activationPolls); });
}

void DesktopBrowserShield::tryClose(
    const ShownWindow& target, const QString& host, std::optional<AxElement> tab, int retries, int activationPolls)
{
    auto stillBlocked = [this, target, host, tab]() {
        const auto front = m_windows.frontmost();
        if (!front || front->pid != target.pid) {
            qCDebug(lcShield) << "close: the browser is not in front";
            return false;
        }
        const auto application = m_tree.application(target.pid);
        if (!application) {
            return false;
        }
        const auto focused = m_tree.focusedWindow(*application);
        if (!focused.ok() || !(*focused.value == target.window)) {
            qCDebug(lcShield) << "close: another window has the focus";
            return false;
        }
        const auto hosts = readHosts();
        if (!hosts) {
            return false;
        }
        const Reading reading = read(target.window, *hosts, true);
        if (reading.kind != Reading::Kind::Blocked || reading.host != host) {
            qCDebug(lcShield) << "close: the page is no longer the blocked one";
            return false;
        }
        const Strip strip = tabStrip(target.window);
        if (!tab) {
            return strip.kind == Strip::Kind::None;
        }
        const bool same = strip.kind == Strip::Kind::Tabs && strip.selected && strip.tabs.at(*strip.selected) == *tab;
        if (!same) {
            qCDebug(lcShield) << "close: another tab is selected";
        }
        return same;
    };
    const auto number = windowNumber(target);
    if (number && m_windows.activeWindow() != number && activationPolls > 0) {
        // The window manager has not made the browser window active yet:
        // wait for it (bounded) before the try counts, asking again now and
        // then in case the focus went back to the panel meanwhile.
        if (activationPolls % 3 == 0) {
            m_windows.activateWindow(*number);
        }
        m_scheduler.runLater(activationPoll, this, [this, target, host, tab, retries, activationPolls] {
            tryClose(target, host, tab, retries, activationPolls - 1);
        });
        return;
    }
    if (!number || m_windows.activeWindow() != number) {
        qCDebug(lcShield) << "close: the browser window is not active" << number.value_or(0)
                          << m_windows.activeWindow().value_or(0);
    }
    if (number && m_windows.activeWindow() == number && stillBlocked()) {
        m_keys.send(ShieldKey::CloseTab);
        return;
    }
    if (retries > 0) {
        m_scheduler.runLater(
            closeDelay, this, [this, target, host, tab, retries] { tryClose(target, host, tab, retries - 1, 0); });
        return;
    }
    if (m_collaborators.alertSound) {
        m_collaborators.alertSound();
    }
}

void DesktopBrowserShield::goBack()
{
    if (!m_shownWindow) {
        leave();
        return;
    }
    const ShownWindow shown = *m_shownWindow;
    if (const auto tab = neighborTab(shown.window)) {
        leave();
        if (const auto number = windowNumber(shown)) {
            m_windows.activateWindow(*number);
        }
        m_tree.press(*tab);
        return;
    }
    if (m_previousApp && !m_windows.isTerminated(*m_previousApp)) {
        m_windows.activate(*m_previousApp);
        glue();
        return;
    }
    leave();
    m_windows.hide(shown.app);
}

void DesktopBrowserShield::useFolga()
{
    if (!m_collaborators.useFolga) {
        return;
    }
    QPointer<DesktopBrowserShield> self(this);
    m_collaborators.useFolga(this, [self](bool ok) {
        if (self && !ok && self->m_collaborators.alertSound) {
            self->m_collaborators.alertSound();
        }
    });
}

void DesktopBrowserShield::askOrla()
{
    if (!m_shownHost) {
        return;
    }
    const QString host = *m_shownHost;
    const QString address = m_shownAddress.value_or(host);
    glue();
    if (m_collaborators.askOrla) {
        m_collaborators.askOrla(host, address);
    }
}

} // namespace kestravin
