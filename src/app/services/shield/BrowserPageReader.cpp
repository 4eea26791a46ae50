#include "app/services/shield/BrowserPageReader.h"

#include "app/models/BrowserShieldPolicy.h"

#include <QLoggingCategory>

#include <deque>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {

Q_LOGGING_CATEGORY(lcPageReader, "com.kestravin.app.BrowserShield.Reader")

namespace {

constexpr int addressFieldLimit = 240;
constexpr auto addressFieldDeadline = 300ms;
constexpr int addressFieldChildren = 40;
constexpr int pageUrlLimit = 300;
constexpr auto pageUrlDeadline = 200ms;
constexpr int stripLimit = 300;
constexpr auto stripDeadline = 200ms;
constexpr int stripChildren = 60;
constexpr auto switchRecheck = 5000ms;

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

// A window title up to its " - " or " — " (where the browser names itself).
QString headOf(const QString& title)
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

// Whether the address bar's host is the document's host as a browser shows
// it, without the subdomains it leaves out.
bool shortFormOf(const QString& shown, const QString& host)
{
    return shown == host || u"www."_s + shown == host || u"m."_s + shown == host;
}

// Whether an address bar's text may name its host in the short form: a bar
// that shows no scheme (Chromium's) also leaves out "www." and "m.", so the
// text names the host or one of those longer ones (unless it already names a
// www. or m. host). That matters only where a longer one is not blocked too.
bool mayBeShort(const QString& bar, const QString& host, const QString& hosts)
{
    return !bar.contains(u"://"_s) && !host.startsWith(u"www."_s) && !host.startsWith(u"m."_s)
        && (!BrowserShieldPolicy::blockedHost(u"www."_s + host, hosts)
            || !BrowserShieldPolicy::blockedHost(u"m."_s + host, hosts));
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

BrowserPageReader::BrowserPageReader(AccessibilityTree& tree, Clock& clock, int budgetScale)
    : m_tree(tree), m_clock(clock), m_budgetScale(std::max(1, budgetScale))
{
}

BrowserPageReader::Reading BrowserPageReader::read(
    const AxElement& window, const QString& hosts, bool confirmClear, const BlockedPage& blockedPage)
{
    std::optional<QString> typed;
    auto field = addressField(window);
    auto fieldStates = field ? m_tree.states(*field) : AxRead<AxStates> {};
    if (field && fieldStates.error == AxError::Gone) {
        // The remembered address bar went with its window's tool bar.
        forget(m_addressFields, window);
        field = addressField(window);
        fieldStates = field ? m_tree.states(*field) : AxRead<AxStates> {};
    }
    if (field && !(fieldStates.ok() && fieldStates.value->focused)) {
        const auto value = m_tree.text(*field);
        if (value.ok() && BrowserShieldPolicy::host(*value.value)) {
            typed = *value.value;
        }
    }
    std::optional<QString> title;
    if (const auto name = m_tree.name(window); name.ok()) {
        title = *name.value;
    }

    auto blocked = [&](const QString& candidate) -> std::optional<Reading> {
        if (const auto host = BrowserShieldPolicy::blockedHost(candidate, hosts)) {
            return Reading { Reading::Kind::Blocked, *host, candidate, title };
        }
        return std::nullopt;
    };

    // A window has no document address of its own here: the address bar,
    // the title and the page's document stand for it, in that order (the bar
    // names a page asked for before its document exists, and searching for
    // the document would only delay the panel). Chromium's bar leaves out
    // "www." and the scheme of the page it shows: where the bar's host is the
    // document's host without that prefix, the document says which host it
    // is. Over a window not covered yet only the document remembered is asked
    // for that; the covered window is searched, so that a panel over such a
    // page leaves at the next clear readings.
    const auto typedHost = typed ? BrowserShieldPolicy::host(*typed) : std::nullopt;
    std::optional<QString> page;
    bool pageRead = false;
    // A bar that alone cannot name the blocked page; its text is still the
    // page's address where the title names its host over an error page.
    std::optional<QString> heldBar;
    // The blocked host of a bar that may leave "www." out.
    std::optional<QString> shortBar;
    if (typedHost && BrowserShieldPolicy::blockedHost(*typed, hosts)) {
        shortBar = typedHost;
        if (m_shortBars.value(window) == *typed) {
            // The same bar over the same www page as before.
            typed.reset();
        } else {
            page = pageUrl(window, title, confirmClear);
            pageRead = confirmClear;
            const auto pageHost = page ? BrowserShieldPolicy::host(*page) : std::nullopt;
            if (pageHost && *typedHost != *pageHost && shortFormOf(*typedHost, *pageHost)) {
                if (auto reading = blocked(*page)) {
                    return *reading;
                }
                if (m_shortBars.size() >= 8) {
                    m_shortBars.clear();
                }
                m_shortBars.insert(window, *typed);
                typed.reset();
            } else if (mayBeShort(*typed, *typedHost, hosts) && pageHost != typedHost) {
                // The bar may name a longer host that is not blocked (a
                // www. page loading, its document not there yet): only the
                // document or the title can say it is the blocked one.
                heldBar = typed;
                typed.reset();
            } else {
                shortBar.reset();
            }
        }
    }
    if (typed) {
        if (auto reading = blocked(*typed)) {
            return *reading;
        }
    }
    // Chromium's title names a page without a title of its own (one still
    // loading, too) by its host without "www." as well: where it names the
    // host of such a bar, it waits for the document like the bar does. A
    // browser's error page names the host it could not reach in full.
    std::optional<Reading> heldTitle;
    if (title) {
        if (auto reading = blocked(headOf(*title))) {
            if (reading->host != shortBar) {
                return *reading;
            }
            if (heldBar) {
                reading->address = *heldBar;
            }
            heldTitle = reading;
        }
    }
    if (!pageRead) {
        page = pageUrl(window, title, true);
    }
    if (page) {
        if (auto reading = blocked(*page)) {
            return *reading;
        }
        if (heldTitle && schemeOf(*page) == u"chrome-error"_s) {
            return *heldTitle;
        }
    }
    if (!confirmClear) {
        return { Reading::Kind::Unsure, {}, {}, title };
    }
    if (page) {
        const auto scheme = schemeOf(*page);
        if (scheme && clearSchemes().contains(*scheme)) {
            return Reading { Reading::Kind::Clear, {}, {}, title };
        }
    }
    const auto& anchor = blockedPage.anchor;
    if (!anchor) {
        return { Reading::Kind::Unsure, {}, {}, title };
    }
    if (anchor->tab && m_tree.role(*anchor->tab).error == AxError::Gone) {
        return Reading { Reading::Kind::Clear, {}, {}, title };
    }
    if (!typed || !title || blockedPage.titles.contains(*title)) {
        return { Reading::Kind::Unsure, {}, {}, title };
    }
    if (leftBy(*anchor, tabStrip(window))) {
        return Reading { Reading::Kind::Clear, {}, {}, title };
    }
    return { Reading::Kind::Unsure, {}, {}, title };
}

AxRole BrowserPageReader::roleOf(const AxElement& element)
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

std::optional<AxElement> BrowserPageReader::addressField(const AxElement& window)
{
    // Checked by the caller's read of its states.
    if (const auto known = remembered(m_addressFields, window)) {
        return known;
    }
    std::optional<AxElement> found;
    search(window, addressFieldLimit, addressFieldDeadline, 12, [this, &found](const AxElement& element, AxRole role) {
        if (role == AxRole::WebArea) {
            return Visit::Skip;
        }
        if (role == AxRole::TextField || role == AxRole::ComboBox) {
            bool named = m_tree.identifier(element).value == u"WEB_BROWSER_ADDRESS_AND_SEARCH_FIELD"_s;
            if (!named) {
                const QString words = (m_tree.description(element).value.value_or(QString()) + u' '
                    + m_tree.name(element).value.value_or(QString()))
                                          .toLower();
                named = std::any_of(addressKeywords().cbegin(), addressKeywords().cend(),
                    [&words](const QString& keyword) { return words.contains(keyword); });
            }
            if (named) {
                found = element;
                return Visit::Stop;
            }
        }
        return Visit::Descend;
    });
    if (found) {
        remember(m_addressFields, window, *found);
    }
    return found;
}

std::optional<QString> BrowserPageReader::pageUrl(
    const AxElement& window, const std::optional<QString>& title, bool searching)
{
    // The document found last time, checked with two reads while it is
    // still the one on screen; another tab in front, a new page or a closed
    // one sends the search through the window again.
    if (const auto known = remembered(m_documents, window)) {
        const auto states = m_tree.states(*known);
        // A tab left behind keeps its document, showing, out of the window's
        // tree (Chromium): the window's title begins with the page's.
        const auto documentName = states.ok() && states.value->showing ? m_tree.name(*known) : AxRead<QString> {};
        if (documentName.ok() && (!title || title->startsWith(*documentName.value))) {
            const auto address = m_tree.documentUrl(*known);
            if (address.ok() && !address.value->isEmpty()) {
                return *address.value;
            }
        }
        forget(m_documents, window);
    }
    if (!searching) {
        return std::nullopt;
    }
    std::optional<QString> url;
    std::optional<AxElement> document;
    search(window, pageUrlLimit, pageUrlDeadline, 10,
        [this, &url, &document, &title](const AxElement& element, AxRole role) {
            if (role != AxRole::WebArea) {
                return Visit::Descend;
            }
            // Background tabs keep their documents in the tree.
            const auto states = m_tree.states(element);
            if (states.ok() && !states.value->showing) {
                return Visit::Skip;
            }
            // A closed tab's document can stay in the tree for a while, showing
            // (Firefox): the window's title begins with the name of the page it
            // shows.
            if (title) {
                const auto name = m_tree.name(element);
                if (name.ok() && !title->startsWith(*name.value)) {
                    return Visit::Skip;
                }
            }
            const auto address = m_tree.documentUrl(element);
            if (address.ok() && !address.value->isEmpty()) {
                url = *address.value;
                document = element;
                return Visit::Stop;
            }
            return Visit::Skip;
        });
    if (document) {
        remember(m_documents, window, *document);
    }
    return url;
}

std::optional<AxElement> BrowserPageReader::remembered(const WindowParts& parts, const AxElement& window)
{
    for (const auto& [known, part] : parts) {
        if (known == window) {
            return part;
        }
    }
    return std::nullopt;
}

void BrowserPageReader::remember(WindowParts& parts, const AxElement& window, const AxElement& part)
{
    WindowParts kept { { window, part } };
    for (const auto& entry : std::as_const(parts)) {
        if (kept.size() >= 8) {
            break;
        }
        if (!(entry.first == window)) {
            kept.append(entry);
        }
    }
    parts = kept;
}

void BrowserPageReader::forget(WindowParts& parts, const AxElement& window)
{
    parts.removeIf([&window](const auto& entry) { return entry.first == window; });
}

void BrowserPageReader::search(const AxElement& window, int limit, std::chrono::milliseconds budget, int depthLimit,
    const std::function<Visit(const AxElement&, AxRole)>& visit)
{
    const QDateTime deadline = m_clock.now().addMSecs(budget.count() * m_budgetScale);
    std::deque<std::pair<AxElement, int>> queue { { window, 0 } };
    int taken = 0;
    while (!queue.empty() && taken < limit) {
        if (m_clock.now() > deadline) {
            return;
        }
        const auto [element, depth] = queue.front();
        queue.pop_front();
        ++taken;
        switch (visit(element, roleOf(element))) {
        case Visit::Stop:
            return;
        case Visit::Skip:
            break;
        case Visit::Descend:
            if (depth < depthLimit) {
                queueChildren(m_tree, queue, element, depth);
            }
            break;
        }
    }
}

BrowserPageReader::Strip BrowserPageReader::tabStrip(const AxElement& window)
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
        remember(m_tabHolders, window, holder);
        return tabsOf(buttons);
    };
    const QDateTime deadline = m_clock.now().addMSecs(stripDeadline.count() * m_budgetScale);
    std::deque<std::pair<AxElement, int>> queue { { window, 0 } };
    int taken = 0;
    bool complete = true;
    while (!queue.empty()) {
        if (m_clock.now() > deadline || taken >= stripLimit) {
            qCDebug(lcPageReader) << "tab strip: search cut after" << taken << "elements";
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

QList<AxElement> BrowserPageReader::radioButtons(const AxElement& element, int depth)
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

bool BrowserPageReader::leftBy(const TabAnchor& anchor, const Strip& strip)
{
    if (strip.kind != Strip::Kind::Tabs || !strip.selected) {
        return false;
    }
    if (anchor.tab) {
        return !(strip.tabs.at(*strip.selected) == *anchor.tab);
    }
    return strip.tabs.size() > 1 && *strip.selected != 0;
}

void BrowserPageReader::noteBlocked(BlockedPage& blocked, const Strip& strip, const std::optional<QString>& title)
{
    if (strip.kind == Strip::Kind::None) {
        blocked.anchor = TabAnchor {};
    } else if (strip.kind == Strip::Kind::Tabs && strip.selected) {
        blocked.anchor = TabAnchor { strip.tabs.at(*strip.selected) };
    }
    if (title && blocked.titles.size() < 50) {
        blocked.titles.insert(*title);
    }
}

std::optional<QRect> BrowserPageReader::frameOf(const AxElement& element)
{
    const auto extents = m_tree.extents(element);
    if (!extents.ok() || extents.value->width() <= 100 || extents.value->height() <= 100) {
        return std::nullopt;
    }
    // The tree and X11 both count from the top-left corner of the screen.
    return *extents.value;
}

BrowserPageReader::CoveredFacts BrowserPageReader::factsOf(const Covered& covered)
{
    CoveredFacts facts;
    facts.gone = m_tree.role(covered.window).error == AxError::Gone;
    if (!facts.gone) {
        facts.frame = frameOf(covered.window);
    }
    return facts;
}

bool BrowserPageReader::focusedIn(qint64 pid, const AxElement& window, const WindowHint& hint)
{
    const auto application = m_tree.application(pid);
    if (!application) {
        return false;
    }
    const auto focused = m_tree.focusedWindow(*application, hint);
    return focused.ok() && *focused.value == window;
}

std::optional<AxElement> BrowserPageReader::neighborTab(const AxElement& window)
{
    const Strip strip = tabStrip(window);
    if (strip.kind != Strip::Kind::Tabs || strip.tabs.size() < 2) {
        return std::nullopt;
    }
    const int index = strip.selected && *strip.selected >= 1 ? *strip.selected - 1 : 1;
    return strip.tabs.at(index);
}

bool BrowserPageReader::samePage(
    const Covered& covered, const QString& host, const std::optional<TabAnchor>& anchor, const WindowHint& hint)
{
    const auto title = m_tree.name(covered.window);
    if (!title.ok() || headOf(*title.value).toLower() != host) {
        return false;
    }
    if (!anchor) {
        return false;
    }
    const Strip strip = tabStrip(covered.window);
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
    return focusedIn(covered.pid, covered.window, hint);
}

bool BrowserPageReader::switchedOn()
{
    // The switch is a property of the session bus, asked twice a second
    // otherwise; once on, it is asked again after a while. Switched off, it
    // is asked at every pass, to notice it turned on.
    const QDateTime now = m_clock.now();
    if (m_switchedOnAt && *m_switchedOnAt <= now && m_switchedOnAt->msecsTo(now) < switchRecheck.count()) {
        return true;
    }
    if (m_tree.isEnabled()) {
        m_switchedOnAt = now;
        return true;
    }
    m_switchedOnAt.reset();
    return false;
}

BrowserPageReader::Sight BrowserPageReader::survey(const Look& look)
{
    Sight sight;
    sight.blocked = look.blocked;
    sight.enabled = switchedOn();
    if (!sight.enabled) {
        return sight;
    }
    // Whatever the browser in front shows, the pass may move, raise or take
    // away the panel over the covered window: it needs to know where that is.
    auto withCovered = [this, &look, &sight]() -> Sight& {
        if (look.covered) {
            sight.covered = factsOf(*look.covered);
        }
        return sight;
    };
    if (!look.browserPid) {
        return withCovered();
    }
    const auto application = m_tree.application(*look.browserPid);
    if (!application) {
        return withCovered();
    }
    sight.readable = true;
    const auto focused = m_tree.focusedWindow(*application, look.hint);
    if (!focused.ok()) {
        return withCovered();
    }
    sight.window = *focused.value;
    sight.same = look.covered && look.covered->pid == *look.browserPid && look.covered->window == *sight.window;
    sight.reading = read(*sight.window, look.hosts, sight.same, look.blocked);
    sight.titleOnly = !remembered(m_addressFields, *sight.window) && !remembered(m_documents, *sight.window);
    if (sight.reading.kind != Reading::Kind::Blocked) {
        return withCovered();
    }
    const Strip strip = tabStrip(*sight.window);
    if (sight.same) {
        noteBlocked(sight.blocked, strip, sight.reading.title);
    }
    noteBlocked(sight.fresh, strip, sight.reading.title);
    sight.frame = frameOf(*sight.window);
    return sight;
}

} // namespace kestravin
