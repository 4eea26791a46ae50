// The panel's actions on the covered page: closing its tab, going back to
// the neighbouring tab or the application before, a break, Orla's request;
// and the reload once the block of the covered page is lifted. Every key goes
// only into the covered X window, once the window manager confirms it active
// and the page was read again.
#include "app/services/shield/DesktopBrowserShield.h"

#include <QLoggingCategory>
#include <QPointer>

using namespace std::chrono_literals;

namespace kestravin {

Q_DECLARE_LOGGING_CATEGORY(lcShield)

namespace {

constexpr auto closeGuard = 1000ms;
constexpr auto closeDelay = 150ms;
// Activation of another window is confirmed by the window manager; these
// bound the wait before a key is sent.
constexpr auto activationPoll = 50ms;
constexpr int activationPolls = 10;

} // namespace

void DesktopBrowserShield::lifted()
{
    const auto shown = m_shownWindow;
    const auto host = m_shownHost;
    const auto anchor = m_blockedPage.anchor;
    const int clearReads = m_clearReads;
    leave();
    if (!shown || !host || clearReads != 0) {
        return;
    }
    const auto front = m_windows.frontmost();
    if (!front || (front->pid != shown->pid && front->pid != m_windows.ownPid())) {
        return;
    }
    // The same page must still be in front: the window's title names the
    // host, the same tab is selected and the window has the browser's focus.
    std::function<bool(BrowserPageReader&)> samePage
        = [covered = shown->covered(), host = *host, anchor, hint = hintOf(*shown)](
              BrowserPageReader& reader) { return reader.samePage(covered, host, anchor, hint); };
    ask<bool>(samePage, [this, shown = *shown, samePage](bool same) {
        // The panel held the keyboard: the key goes out only once the browser
        // window is confirmed active and the page checked again.
        if (same) {
            sendWhenActive(shown, ShieldKey::Reload, samePage, activationPolls, [] {});
        }
    });
}

void DesktopBrowserShield::sendWhenActive(const ShownWindow& target, ShieldKey key,
    std::function<bool(BrowserPageReader&)> check, int pollsLeft, std::function<void()> onFail)
{
    const auto number = windowNumber(target);
    if (!number) {
        onFail();
        return;
    }
    if (m_windows.activeWindow() == number) {
        ask<bool>(check, [this, target, key, check, pollsLeft, onFail = std::move(onFail)](bool holds) {
            if (!holds) {
                onFail();
                return;
            }
            // The focus may have moved while the page was read again.
            if (m_windows.activeWindow() == windowNumber(target)) {
                m_keys.send(key);
            } else if (pollsLeft > 0) {
                sendWhenActive(target, key, check, pollsLeft - 1, onFail);
            } else {
                onFail();
            }
        });
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

void DesktopBrowserShield::closeTab()
{
    if (!m_shownWindow || !m_shownHost) {
        return;
    }
    const ShownWindow target = *m_shownWindow;
    const QString host = *m_shownHost;
    ask<Strip>([window = target.window](BrowserPageReader& reader) { return reader.tabStrip(window); },
        [this, target, host](const Strip& strip) {
            auto beep = [this] {
                if (m_collaborators.alertSound) {
                    m_collaborators.alertSound();
                }
            };
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
            m_scheduler.runLater(closeGuard, this, [this, closing] {
                // Only this close's guard: a later panel's close keeps its own.
                if (m_closingTab == closing) {
                    m_closingTab.reset();
                }
            });
            if (const auto number = windowNumber(target)) {
                m_windows.activateWindow(*number);
            }
            m_closeRunning = true;
            m_scheduler.runLater(
                closeDelay, this, [this, target, host, tab] { tryClose(target, host, tab, 1, activationPolls); });
        });
}

void DesktopBrowserShield::tryClose(
    const ShownWindow& target, const QString& host, std::optional<AxElement> tab, int retries, int pollsLeft)
{
    const auto number = windowNumber(target);
    if (number && m_windows.activeWindow() != number && pollsLeft > 0) {
        // The window manager has not made the browser window active yet:
        // wait for it (bounded) before the try counts, asking again now and
        // then in case the focus went back to the panel meanwhile.
        if (pollsLeft % 3 == 0) {
            m_windows.activateWindow(*number);
        }
        m_scheduler.runLater(activationPoll, this,
            [this, target, host, tab, retries, pollsLeft] { tryClose(target, host, tab, retries, pollsLeft - 1); });
        return;
    }
    auto giveUp = [this, target, host, tab, retries] {
        if (retries > 0) {
            m_scheduler.runLater(
                closeDelay, this, [this, target, host, tab, retries] { tryClose(target, host, tab, retries - 1, 0); });
            return;
        }
        m_closeRunning = false;
        if (m_collaborators.alertSound) {
            m_collaborators.alertSound();
        }
    };
    if (!number || m_windows.activeWindow() != number) {
        qCDebug(lcShield) << "close: the browser window is not active" << number.value_or(0)
                          << m_windows.activeWindow().value_or(0);
        giveUp();
        return;
    }
    const auto front = m_windows.frontmost();
    if (!front || front->pid != target.pid) {
        qCDebug(lcShield) << "close: the browser is not in front";
        giveUp();
        return;
    }
    const auto hosts = readHosts();
    if (!hosts) {
        giveUp();
        return;
    }
    // The same page in the same tab, read again just before the key.
    const auto page = m_blockedPage;
    ask<bool>(
        [covered = target.covered(), hosts = *hosts, host, tab, page, hint = hintOf(target)](
            BrowserPageReader& reader) {
            if (!reader.focusedIn(covered.pid, covered.window, hint)) {
                qCDebug(lcShield) << "close: the browser window is not seen focused (another window, or no answer)";
                return false;
            }
            const Reading reading = reader.read(covered.window, hosts, true, page);
            if (reading.kind != Reading::Kind::Blocked || reading.host != host) {
                qCDebug(lcShield) << "close: the page is no longer the blocked one";
                return false;
            }
            const Strip strip = reader.tabStrip(covered.window);
            if (!tab) {
                return strip.kind == Strip::Kind::None;
            }
            const bool same
                = strip.kind == Strip::Kind::Tabs && strip.selected && strip.tabs.at(*strip.selected) == *tab;
            if (!same) {
                qCDebug(lcShield) << "close: another tab is selected";
            }
            return same;
        },
        [this, target, host, tab, retries, giveUp](bool stillBlocked) {
            if (!stillBlocked) {
                giveUp();
                return;
            }
            // The focus may have moved (to the panel, say) while the page
            // was read again: the key goes only into the confirmed window.
            const auto window = windowNumber(target);
            if (window && m_windows.activeWindow() == window) {
                m_closeRunning = false;
                m_keys.send(ShieldKey::CloseTab);
                return;
            }
            qCDebug(lcShield) << "close: the focus moved while the page was read";
            if (retries <= 0) {
                giveUp();
                return;
            }
            m_scheduler.runLater(closeDelay, this,
                [this, target, host, tab, retries] { tryClose(target, host, tab, retries - 1, activationPolls); });
        });
}

void DesktopBrowserShield::goBack()
{
    if (!m_shownWindow) {
        leave();
        return;
    }
    const ShownWindow shown = *m_shownWindow;
    ask<std::optional<AxElement>>(
        [window = shown.window](BrowserPageReader& reader) { return reader.neighborTab(window); },
        [this, shown](const std::optional<AxElement>& tab) {
            if (tab) {
                leave();
                if (const auto number = windowNumber(shown)) {
                    m_windows.activateWindow(*number);
                }
                ask<bool>([tab = *tab](BrowserPageReader& reader) { return reader.tree().press(tab); }, [](bool) {});
                return;
            }
            if (m_previousApp && !m_windows.isTerminated(*m_previousApp)) {
                m_windows.activate(*m_previousApp);
                glue();
                return;
            }
            leave();
            m_windows.hide(shown.app);
        });
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
