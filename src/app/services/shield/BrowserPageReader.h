#pragma once

#include "app/platform/Clock.h"
#include "app/platform/ShieldPlatform.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QRect>
#include <QSet>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace kestravin {

// What the browser shield reads of a browser window in another application's
// accessibility tree: the address of the page it shows (address bar, title,
// page document), its tab strip, and where it stands on screen. One reader
// serves one shield and is used by one thread at a time; it remembers what
// stays true between passes (element roles, where a window keeps its address
// bar and its tabs), because every read is a round trip to the browser.
class BrowserPageReader {
public:
    struct Strip {
        enum class Kind { None, Uncertain, Tabs } kind = Kind::Uncertain;
        QList<AxElement> tabs;
        std::optional<int> selected;
    };
    struct Reading {
        enum class Kind { Blocked, Clear, Unsure } kind = Kind::Unsure;
        QString host;
        QString address;
        // The window's title, when it could be read.
        std::optional<QString> title;
    };
    // The tab that showed the blocked page; no tab for a window without a
    // tab strip.
    struct TabAnchor {
        std::optional<AxElement> tab;
    };
    // What is known of the covered page: its tab and the titles its window
    // had while it was blocked.
    struct BlockedPage {
        std::optional<TabAnchor> anchor;
        QSet<QString> titles;
    };
    // The covered window, and what a pass finds of it.
    struct Covered {
        qint64 pid = 0;
        AxElement window;
    };
    struct CoveredFacts {
        bool gone = false;
        std::optional<QRect> frame;
    };

    // What a scan pass asks of the tree.
    struct Look {
        // The browser in front, to read; none when there is nothing to read.
        std::optional<qint64> browserPid;
        // The desktop's active window of that browser.
        WindowHint hint;
        QString hosts;
        std::optional<Covered> covered;
        BlockedPage blocked;
    };
    // What it found.
    struct Sight {
        bool enabled = false;
        // The browser publishes a tree this session can read.
        bool readable = false;
        std::optional<AxElement> window;
        // That window is the covered one.
        bool same = false;
        Reading reading;
        // With a blocked reading: the window's frame, the covered page as the
        // reading updates it (when `same`), and the page a new panel covers.
        std::optional<QRect> frame;
        BlockedPage blocked;
        BlockedPage fresh;
        // Of the covered window, unless the reading is blocked.
        CoveredFacts covered;
        // The window showed neither an address bar nor a page document:
        // only its title could be read (Chromium started without its
        // renderer's accessibility).
        bool titleOnly = false;
    };

    BrowserPageReader(AccessibilityTree& tree, Clock& clock, int budgetScale);

    AccessibilityTree& tree() { return m_tree; }

    // One scan pass's reads.
    Sight survey(const Look& look);

    // The page `window` shows. With `confirmClear` (the window is the
    // covered one) a page that left the block reads Clear, one that cannot be
    // told apart Unsure; otherwise only Blocked tells anything.
    Reading read(const AxElement& window, const QString& hosts, bool confirmClear, const BlockedPage& blocked);
    Strip tabStrip(const AxElement& window);
    // The element's rectangle on screen when it is the size of a window.
    std::optional<QRect> frameOf(const AxElement& element);
    CoveredFacts factsOf(const Covered& covered);
    // Whether `window` is the focused window of the application of `pid`
    // (`hint` describing the desktop's active window).
    bool focusedIn(qint64 pid, const AxElement& window, const WindowHint& hint = {});
    // The tab to select instead of the blocked one: the one before it, or the
    // second when the first is blocked.
    std::optional<AxElement> neighborTab(const AxElement& window);
    // The covered page still stands as it was: the title names `host`, the
    // anchored tab is selected and the window has the browser's focus.
    bool samePage(const Covered& covered, const QString& host, const std::optional<TabAnchor>& anchor,
        const WindowHint& hint = {});

    // Notes the selected tab of `strip` and the title as the blocked page's.
    static void noteBlocked(BlockedPage& blocked, const Strip& strip, const std::optional<QString>& title);

private:
    enum class Visit { Stop, Skip, Descend };

    // Whether the selected tab of `strip` is no longer the anchored one.
    static bool leftBy(const TabAnchor& anchor, const Strip& strip);

    // Per window (newest first, at most 8), an element found in it.
    using WindowParts = QList<QPair<AxElement, AxElement>>;
    static std::optional<AxElement> remembered(const WindowParts& parts, const AxElement& window);
    static void remember(WindowParts& parts, const AxElement& window, const AxElement& part);
    static void forget(WindowParts& parts, const AxElement& window);

    // Whether the desktop's accessibility switch is on.
    bool switchedOn();
    AxRole roleOf(const AxElement& element);
    // Visits the window's tree breadth first, at most `limit` elements within
    // the time budget (times the scale); `visit` ends the search, passes over
    // an element's children, or goes down into them, above `depthLimit`.
    void search(const AxElement& window, int limit, std::chrono::milliseconds budget, int depthLimit,
        const std::function<Visit(const AxElement&, AxRole)>& visit);
    std::optional<AxElement> addressField(const AxElement& window);
    // The address of the document the window shows (`title` is the
    // window's); without `search`, only the document remembered.
    std::optional<QString> pageUrl(const AxElement& window, const std::optional<QString>& title, bool search);
    QList<AxElement> radioButtons(const AxElement& element, int depth);

    AccessibilityTree& m_tree;
    Clock& m_clock;
    int m_budgetScale = 1;
    QHash<AxElement, AxRole> m_roles;
    // Per window, its address field, the element whose children are its
    // tabs, and the document on screen.
    WindowParts m_addressFields;
    WindowParts m_tabHolders;
    WindowParts m_documents;
    // Per window, the bar's text last read over a document whose host it
    // shortened: the same text is not read as that host again.
    QHash<AxElement, QString> m_shortBars;
    // When the accessibility switch was last seen on.
    std::optional<QDateTime> m_switchedOnAt;
};

} // namespace kestravin
