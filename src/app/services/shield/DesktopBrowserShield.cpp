#include "app/services/shield/DesktopBrowserShield.h"

#include "app/models/BrowserShieldTables.h"
#include "app/models/StrictUrl.h"
#include "app/platform/SharedInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <QSettings>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {

Q_LOGGING_CATEGORY(lcShield, "com.kestravin.app.BrowserShield")

namespace {

constexpr qint64 logLimit = 50000;
// The scan's period while it reads a browser or covers a window; over an
// allowed page of a browser that announces its changes, the slower one.
constexpr auto scanPeriod = 500ms;
constexpr auto steadyPeriod = 2000ms;
// Announcements come in bursts (a page loading renames its elements): one
// pass after the first of them.
constexpr auto announcementDelay = 40ms;

QString pathOf(const QString& address)
{
    const QString full = address.contains(u"://"_s) ? address : u"https://"_s + address;
    const auto parts = StrictUrl::parse(full);
    return parts ? parts->path : QString();
}

} // namespace

const QString DesktopBrowserShield::enabledKey = u"desktopBrowserShield"_s;
const QString DesktopBrowserShield::observedKey = u"desktopObservedAttempts"_s;
const QString DesktopBrowserShield::verifiedKey = u"desktopVerifiedBlocks"_s;
const QString DesktopBrowserShield::messageIndexKey = u"desktopShieldMessageIndex"_s;

const QSet<QString>& DesktopBrowserShield::browsers()
{
    return BrowserShieldTables::browsers();
}

const QStringList& DesktopBrowserShield::messages()
{
    return BrowserShieldTables::messages();
}

DesktopBrowserShield::DesktopBrowserShield(AccessibilityTree& tree, BrowserWindows& windows, KeySender& keys,
    ShieldPanelHost& panel, Clock& clock, Scheduler& scheduler, Environment environment, Collaborators collaborators,
    ShieldReads& reads, QObject* parent)
    : QObject(parent),
      m_windows(windows),
      m_keys(keys),
      m_panel(panel),
      m_clock(clock),
      m_scheduler(scheduler),
      m_env(std::move(environment)),
      m_collaborators(std::move(collaborators)),
      m_reads(reads),
      m_hosts(m_env.hostsFile),
      m_reader(std::make_unique<BrowserPageReader>(tree, clock, m_env.searchBudgetScale))
{
    const QVariant stored = settings()->value(enabledKey);
    // INI files keep no types: "true" and "false" are the stored Booleans.
    if (stored.typeId() == QMetaType::Bool) {
        m_enabled = stored.toBool();
    } else if (stored.typeId() == QMetaType::QString
        && (stored.toString() == u"true"_s || stored.toString() == u"false"_s)) {
        m_enabled = stored.toString() == u"true"_s;
    }
    // A negative index (only an outside edit stores one) counts from 0.
    m_messageIndex = std::max<qint64>(0, settings()->value(messageIndexKey, 0).toLongLong());
    if (m_windows.isAvailable()) {
        ask<bool>([](BrowserPageReader& reader) { return reader.tree().isEnabled(); },
            [this](bool enabled) { setPermission(enabled && m_windows.isAvailable()); });
    }
}

DesktopBrowserShield& DesktopBrowserShield::shared()
{
    return SharedInstance<DesktopBrowserShield>::get();
}

DesktopBrowserShield::~DesktopBrowserShield()
{
    // Reads under way still use the reader.
    m_reads.drain();
}

std::unique_ptr<QSettings> DesktopBrowserShield::settings() const
{
    return settingsAt(m_env.settingsFile);
}

std::unique_ptr<QSettings> DesktopBrowserShield::settingsAt(const QString& file)
{
    if (file.isEmpty()) {
        return std::make_unique<QSettings>(u"Kestravin"_s, u"Kestravin"_s);
    }
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

void DesktopBrowserShield::countAttempt(int nextMessage)
{
    // Writing the settings waits for the disk: it is done on the reads'
    // thread, where writes keep their order.
    m_reads.run(this, [file = m_env.settingsFile, nextMessage]() -> ShieldReads::Apply {
        auto store = settingsAt(file);
        store->setValue(observedKey, store->value(observedKey, 0).toLongLong() + 1);
        store->setValue(verifiedKey, store->value(verifiedKey, 0).toLongLong() + 1);
        store->setValue(messageIndexKey, nextMessage);
        return {};
    });
}

void DesktopBrowserShield::start()
{
    if (m_started) {
        return;
    }
    m_started = true;
    listen();
    wake();
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

void DesktopBrowserShield::wake()
{
    if (!m_started || m_timer) {
        return;
    }
    QPointer<DesktopBrowserShield> self(this);
    m_timerPeriod = period();
    m_timer = m_scheduler.startTimer(m_timerPeriod, true, [self] {
        if (self) {
            self->observe();
        }
    });
}

std::chrono::milliseconds DesktopBrowserShield::period() const
{
    return m_browserAnnounces && !m_shownWindow ? steadyPeriod : scanPeriod;
}

void DesktopBrowserShield::pace()
{
    if (m_timer && m_timerPeriod != period()) {
        m_timer.reset();
        wake();
    }
}

void DesktopBrowserShield::follow(AccessibilityEvents& events)
{
    m_events = &events;
}

void DesktopBrowserShield::announced(const QString& service)
{
    // Only the browser read last counts: other applications (this one
    // included) announce their own changes. A browser new in front is
    // announced by the desktop.
    if (!m_enabled || m_browserService.isEmpty() || service != m_browserService) {
        return;
    }
    if (!m_browserAnnounces) {
        qCDebug(lcShield).noquote() << u"the browser in front announces its changes: steady passes every 2 s"_s;
        m_browserAnnounces = true;
        pace();
    }
    if (m_announcedPass) {
        return;
    }
    m_announcedPass = true;
    m_scheduler.runLater(announcementDelay, this, [this] {
        m_announcedPass = false;
        if (m_started) {
            observe();
        }
    });
}

void DesktopBrowserShield::stop()
{
    m_started = false;
    m_timer.reset();
    m_passAgain = false;
    m_closeRunning = false;
    dismiss();
    disconnect(m_activation);
    disconnect(m_announcements);
    m_announcements = {};
    if (m_events) {
        m_events->stop();
    }
    m_browserService.clear();
    m_browserAnnounces = false;
    // Nothing of this shield reads the tree after it stopped.
    m_reads.drain();
}

void DesktopBrowserShield::setEnabled(bool on)
{
    if (m_enabled != on) {
        m_enabled = on;
        Q_EMIT enabledChanged();
    }
    settings()->setValue(enabledKey, on);
    if (on) {
        ask<bool>([](BrowserPageReader& reader) { return reader.tree().enable(); },
            [this](bool granted) { setPermission(m_windows.isAvailable() && granted); });
    } else {
        dismiss();
        m_attempts.previous.reset();
    }
}

void DesktopBrowserShield::requestPermission()
{
    if (!m_windows.isAvailable()) {
        setPermission(false);
        setDetail(u"A tela da Orla precisa de uma sessão X11: "_s + m_windows.unavailableReason());
        return;
    }
    ask<bool>([](BrowserPageReader& reader) { return reader.tree().enable(); },
        [this](bool granted) {
            setPermission(granted);
            if (!granted) {
                setDetail(u"Não foi possível ligar a acessibilidade do sistema."_s);
            } else {
                setDetail(u"Acessibilidade ligada. Feche e abra de novo os navegadores que já estavam abertos."_s);
            }
        });
}

void DesktopBrowserShield::listen()
{
    // Without the accessibility bus (the switch off) nothing is announced:
    // tried again once the permission comes.
    if (m_started && m_events && !m_announcements && m_events->listen()) {
        m_announcements = connect(m_events, &AccessibilityEvents::announced, this, &DesktopBrowserShield::announced);
    }
}

void DesktopBrowserShield::setPermission(bool value)
{
    if (m_hasPermission != value) {
        m_hasPermission = value;
        Q_EMIT hasPermissionChanged();
    }
    if (value) {
        listen();
    }
}

void DesktopBrowserShield::setDetail(const QString& text)
{
    if (m_detail != text) {
        m_detail = text;
        Q_EMIT detailChanged();
    }
}

std::optional<QString> DesktopBrowserShield::readHosts()
{
    return m_hosts.text();
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
    wake();
    if (m_passRunning) {
        m_passAgain = true;
        return;
    }
    pass();
}

void DesktopBrowserShield::pass()
{
    QElapsedTimer held;
    held.start();
    if (!m_windows.isAvailable()) {
        setPermission(false);
        note(u"sem sessão X11: "_s + m_windows.unavailableReason());
        setDetail(u"A tela da Orla precisa de uma sessão X11."_s);
        dismiss();
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
    const bool browserInFront = front && front->pid != m_windows.ownPid() && browsers().contains(front->identity);
    if (!browserInFront && !m_shownWindow) {
        // Nothing to read and nothing covered: the pass reads no tree and no
        // file, and the scan sleeps until a browser comes to the front (the
        // desktop announces it). A desktop without a browser costs nothing.
        if (!front || front->pid == m_windows.ownPid()) {
            passState(u"no other application in front"_s);
        } else {
            passState(front->identity + u" in front, not a browser"_s);
        }
        m_timer.reset();
        return;
    }
    const auto hosts = readHosts();

    BrowserPageReader::Look look;
    const bool lifted = hosts && m_shownHost && !BrowserShieldPolicy::blockedHost(*m_shownHost, *hosts);
    if (hosts && !lifted && browserInFront) {
        look.browserPid = front->pid;
        look.hosts = *hosts;
        // The desktop's active window tells the browser's windows apart
        // where the browser marks none active; standing in for the covered
        // window, that window does.
        const auto active = m_windows.activeWindow();
        const auto info = active ? m_windows.windowInfo(*active) : std::nullopt;
        if (info && info->pid == front->pid) {
            look.hint = WindowHint { info->title, info->frame };
        } else if (m_shownWindow && m_shownWindow->pid == front->pid) {
            look.hint = hintOf(*m_shownWindow);
        }
    }
    if (m_shownWindow) {
        look.covered = m_shownWindow->covered();
    }
    look.blocked = m_blockedPage;

    const quint64 generation = m_generation;
    const qint64 before = held.elapsed();
    m_passRunning = true;
    auto readTime = std::make_shared<qint64>(0);
    ask<Sight>(
        [look, readTime](BrowserPageReader& reader) {
            QElapsedTimer timer;
            timer.start();
            Sight sight = reader.survey(look);
            *readTime = timer.elapsed();
            return sight;
        },
        [this, generation, hosts, front, before, readTime](const Sight& sight) {
            QElapsedTimer applying;
            applying.start();
            m_passRunning = false;
            m_lastShowMs = 0;
            m_lastPassMs = *readTime;
            // The panel came or went while the tree was read: what was read
            // is about a panel that is no more; the next pass reads again.
            if (m_enabled && generation == m_generation) {
                apply(hosts, front, sight);
            }
            // Building the panel is what the pass found, not the pass.
            m_lastHoldMs = before + applying.elapsed() - m_lastShowMs;
            if (m_passAgain) {
                m_passAgain = false;
                observe();
            }
        });
}

void DesktopBrowserShield::apply(
    const std::optional<QString>& hosts, const std::optional<FrontApp>& front, const Sight& sight)
{
    setPermission(sight.enabled);
    if (!m_hasPermission) {
        note(u"sem a permissão de Acessibilidade"_s);
        dismiss();
        return;
    }
    if (!hosts) {
        return;
    }
    if (m_shownHost && !BrowserShieldPolicy::blockedHost(*m_shownHost, *hosts)) {
        lifted();
        return;
    }
    if (!front || front->pid == m_windows.ownPid()) {
        passState(u"no other application in front"_s);
        return;
    }
    const QString identity = front->identity;
    if (!browsers().contains(identity)) {
        passState(identity + u" in front, not a browser"_s);
        glue(sight.covered);
        return;
    }
    if (!sight.readable) {
        passState(identity + u" in front, unreadable"_s);
        // A browser we cannot read (another process namespace, tree off since
        // its start) is said, never passed over in silence.
        note(identity + u": navegador sem árvore de acessibilidade legível"_s);
        setDetail(
            u"A tela da Orla não consegue ler %1. Feche e abra o navegador de novo; navegadores em sandbox "
            u"(Flatpak, Snap) não podem ser lidos."_s.arg(front->app.name.isEmpty() ? identity : front->app.name));
        glue(sight.covered);
        return;
    }
    if (sight.window && sight.titleOnly) {
        // Its pages cannot be read, only its windows' titles: a blocked page
        // whose title does not name its host stays uncovered. Said, as for
        // a browser that cannot be read at all.
        const QString name = front->app.name.isEmpty() ? identity : front->app.name;
        note(identity + u": só os títulos das janelas"_s);
        setDetail(BrowserShieldTables::chromiumBased(identity)
                ? u"A tela da Orla vê só os títulos das janelas do %1. Para ela ler o endereço de cada página, "
                  u"abra o %1 com a opção --force-renderer-accessibility."_s.arg(name)
                : u"A tela da Orla vê só os títulos das janelas do %1. Feche e abra o navegador de novo."_s.arg(name));
    } else {
        setDetail(QString());
    }
    if (sight.window && sight.window->service != m_browserService) {
        // Another browser: whether it announces its changes is to be seen.
        m_browserService = sight.window->service;
        m_browserAnnounces = false;
        pace();
    }
    if (!sight.window) {
        passState(identity + u" in front, no focused window"_s);
        note(identity + u": sem janela em foco"_s);
        glue(sight.covered);
        return;
    }
    const AxElement window = *sight.window;
    const Reading& reading = sight.reading;

    if (reading.kind != Reading::Kind::Blocked) {
        passState(u"reading %1, %2"_s.arg(reading.kind == Reading::Kind::Clear ? u"clear"_s : u"unsure"_s,
            sight.same ? u"the covered window"_s : u"another window"_s));
        note(identity + u": site fora do bloqueio do sistema"_s);
        if (!sight.same) {
            glue(sight.covered);
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
        raise(sight.covered);
        return;
    }

    const QString key = QString::number(front->pid) + u':' + QString::number(qHash(window)) + u':' + reading.host + u':'
        + pathOf(reading.address);
    if (sight.same) {
        m_blockedPage = sight.blocked;
        if (m_closeRunning && m_panel.exists()) {
            // The close reads the page again itself before its key. The page
            // it closes is the one under the panel now (a tab brought to the
            // front meanwhile): the page in front once it is gone, even the
            // one counted before, is another, whose panel takes the keyboard
            // back from the browser that got the key.
            m_attempts.previous = key;
            passState(u"blocked page of "_s + reading.host + u", a close under way"_s);
            return;
        }
    }
    m_clearReads = 0;
    m_shownAddress = reading.address;
    passState(u"blocked page of "_s + reading.host);
    note(identity + u": tela da Orla em "_s + reading.host);
    const auto frame = onScreen(sight.frame);
    if (m_attempts.previous == key && m_panel.exists()) {
        if (frame && *frame != m_panel.frame()) {
            m_panel.setFrame(*frame);
        }
        if (m_shownWindow && frame) {
            m_shownWindow->frame = frame;
        }
        raise(CoveredFacts {});
        return;
    }
    m_attempts.previous = key;
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
    const int index = int(m_messageIndex % messages().size());
    m_messageIndex = index + 1;
    countAttempt(m_messageIndex);
    show(reading.host, reading.address, messages().at(index), frame, *front, window,
        coveredNumber(*front, window, frame), sight.fresh);
}

std::optional<quint32> DesktopBrowserShield::coveredNumber(
    const FrontApp& front, const AxElement& window, const std::optional<QRect>& frame) const
{
    // A new page in the window already covered stays on its X window (the
    // panel holds the keyboard then, not the browser).
    if (m_shownWindow && m_shownWindow->pid == front.pid && m_shownWindow->window == window && m_shownWindow->number
        && m_windows.windowInfo(*m_shownWindow->number)) {
        return m_shownWindow->number;
    }
    // The page was read from the browser's focused window, which is the
    // desktop's active one when it belongs to the browser.
    if (const auto active = m_windows.activeWindow()) {
        const auto info = m_windows.windowInfo(*active);
        if (info && info->pid == front.pid) {
            return active;
        }
    }
    return m_windows.windowOf(front.pid, frame);
}

std::optional<QRect> DesktopBrowserShield::onScreen(const std::optional<QRect>& frame) const
{
    return m_windows.screen() ? frame : std::nullopt;
}

void DesktopBrowserShield::passState(const QString& state)
{
    // Passes run twice a second: a state that lasts is said once.
    if (state == m_lastState) {
        return;
    }
    m_lastState = state;
    qCDebug(lcShield).noquote() << u"pass: "_s + state;
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
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(line) != line.size()) {
        qCWarning(lcShield).noquote() << "Could not write the shield log:" << file.errorString();
    }
}

// --- The panel ---------------------------------------------------------

void DesktopBrowserShield::show(const QString& host, const QString& address, const QString& message,
    const std::optional<QRect>& frame, const FrontApp& app, const AxElement& window, std::optional<quint32> number,
    const BrowserPageReader::BlockedPage& page)
{
    dismiss();
    ++m_generation;
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
    QElapsedTimer showing;
    showing.start();
    m_panel.show(content, frame);
    m_lastShowMs = showing.elapsed();
    m_shownHost = host;
    m_shownWindow = ShownWindow { app.pid, window, app.app, app.identity, frame, number };
    // The address read by this pass is kept for the panel's actions.
    m_shownAddress = address;
    m_blockedPage = page;
    m_clearReads = 0;
    // A close under way guards its own panel against a second press; this
    // panel covers another page, whose close must not wait for it (its
    // checks read the page again and never close this one by mistake).
    m_closingTab.reset();
    pace();
}

void DesktopBrowserShield::dismiss()
{
    if (m_panel.exists()) {
        m_panel.close();
    }
    ++m_generation;
    m_shownHost.reset();
    m_shownWindow.reset();
    m_shownAddress.reset();
    m_blockedPage = {};
    m_clearReads = 0;
    pace();
}

bool DesktopBrowserShield::closed(const CoveredFacts& facts) const
{
    if (m_shownWindow && !m_windows.isRunning(m_shownWindow->pid)) {
        return true;
    }
    if (m_shownWindow && m_shownWindow->number && !m_windows.windowInfo(*m_shownWindow->number)) {
        return true;
    }
    return facts.gone;
}

void DesktopBrowserShield::raise(const CoveredFacts& facts)
{
    if (!m_panel.exists()) {
        return;
    }
    if (m_shownWindow && closed(facts)) {
        leave();
        return;
    }
    m_panel.raiseFloating();
}

WindowHint DesktopBrowserShield::hintOf(const ShownWindow& target) const
{
    const auto number = target.number ? target.number : windowNumber(target);
    const auto info = number ? m_windows.windowInfo(*number) : std::nullopt;
    return info ? WindowHint { info->title, info->frame } : WindowHint {};
}

std::optional<quint32> DesktopBrowserShield::windowNumber(const ShownWindow& target) const
{
    if (target.number) {
        const auto info = m_windows.windowInfo(*target.number);
        return info && info->onScreen ? target.number : std::nullopt;
    }
    return m_windows.windowOf(target.pid, target.frame);
}

void DesktopBrowserShield::glue()
{
    if (!m_panel.exists() || !m_shownWindow) {
        return;
    }
    const quint64 generation = m_generation;
    const auto covered = m_shownWindow->covered();
    ask<CoveredFacts>([covered](BrowserPageReader& reader) { return reader.factsOf(covered); },
        [this, generation](const CoveredFacts& facts) {
            if (generation == m_generation) {
                glue(facts);
            }
        });
}

void DesktopBrowserShield::glue(const CoveredFacts& facts)
{
    if (!m_panel.exists() || !m_shownWindow) {
        return;
    }
    if (closed(facts)) {
        leave();
        return;
    }
    const auto frame = onScreen(facts.frame);
    if (frame && !m_shownWindow->number) {
        m_shownWindow->frame = frame;
    }
    const auto number = windowNumber(*m_shownWindow);
    if (!number) {
        m_panel.orderOut();
        return;
    }
    const auto info = m_windows.windowInfo(*number);
    const QRect target = frame.value_or(info ? info->frame : m_panel.frame());
    if (target != m_panel.frame()) {
        m_panel.setFrame(target);
    }
    m_panel.glueAbove(*number);
}

} // namespace kestravin
