#pragma once

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QTimeZone>

#include <optional>

namespace kestravin {

// The decisions of the assistant window's stages and scenes, apart from their
// widgets: which stage shows, when the window resets or closes itself, the
// answer's texts and buttons, the countdown and the glow's motion.
namespace AssistantScenes {

enum class Stage { form, evaluating, answer };

// What the window shows of the service's state.
Stage stage(bool busy, const QString& message);

// A focus runs, as far as the window knows: the daemon blocks, the extension
// (when enabled) reports one, or the account's snapshot does.
struct FocusSignals {
    bool blocking = false;
    bool bridgeEnabled = false;
    bool bridgeFocus = false;
    bool accountFocus = false;
};
bool focusActive(const FocusSignals& focus);

// Showing the window clears the last answer only when nothing would be lost:
// the window was not on screen, no request runs and no allowed exception is
// still counting down.
bool resetsOnShow(bool visible, bool busy, const std::optional<QDateTime>& accessUntil, const QDateTime& now);

// The window may close by itself after an allow: never while a screen reader
// runs, nor for a link sent while the extension is on but not connected (the
// person still has to open the link).
bool closesItself(bool screenReader, bool lastWasLink, bool bridgeEnabled, bool bridgeConnected);

// The answer's state, as the service publishes it.
struct Answer {
    std::optional<QString> decision;
    QString message;
    std::optional<QDateTime> accessUntil;
    bool applyFailed = false;

    // An allow counts only with an end of access.
    bool allowed() const { return decision == QStringLiteral("allow") && accessUntil.has_value(); }
    bool clarifies() const { return decision == QStringLiteral("clarify"); }
};

QString eyebrow(const Answer& answer);
// The headline in words; none when the countdown stands in its place.
std::optional<QString> headline(const Answer& answer);
// The line under the headline; `reason` is the form's request text.
QString detail(const Answer& answer, const QString& reason);
// The mascot is greyed for a refusal or a failure.
bool mascotLit(const Answer& answer);

enum class Action { changeRequest, reply, retry, newRequest, close };
struct Button {
    QString title;
    bool prominent = false;
    Action action = Action::close;
    bool operator==(const Button&) const = default;
};
// The buttons from left to right; `conversation` is true when a clarifying
// turn has been answered.
QList<Button> buttons(const Answer& answer, bool conversation);

// The countdown of an allowed exception at `now`.
struct Countdown {
    // Whole seconds left, rounded up; 0 once the end has passed.
    qint64 remaining = 0;
    QString time;
    QString line;
    // Only while time is left and the window closes by itself.
    std::optional<QString> closingNote;
    QString accessibleText;
};
// `what` is the summary of the request sent (none gives "O acesso"); the end
// time is written in `locale`'s short time style in `zone`.
Countdown countdown(const QDateTime& until, const QDateTime& now, const std::optional<QString>& what, bool closesItself,
    const QLocale& locale, const QTimeZone& zone);

// The summary line of a request being judged: "TikTok · 10 min".
QString sentSummary(const QString& what, int minutes);

// The warm light behind the mascot.
enum class GlowMode { breathing, open, dim };
GlowMode glowMode(const Answer& answer);

struct GlowFrame {
    double scale = 1;
    double opacity = 1;
};
// The glow at `seconds` after it appeared. `opened` is how far the open
// glow has grown (0 at appearance, 1 once grown); the other modes ignore it.
GlowFrame glowFrame(GlowMode mode, double seconds, double opened, bool reduceMotion);
// The breathing glow is the only one that moves by itself.
bool glowAnimates(GlowMode mode, bool reduceMotion);
// Period of the breathing, and the length of the opening.
inline constexpr double breathingPeriod = 1.8;
inline constexpr int openingMs = 900;

} // namespace AssistantScenes
} // namespace kestravin
