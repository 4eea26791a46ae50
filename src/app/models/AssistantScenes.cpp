#include "app/models/AssistantScenes.h"

#include <cmath>
#include <numbers>

using namespace Qt::StringLiterals;

namespace kestravin::AssistantScenes {

Stage stage(bool busy, const QString& message)
{
    if (busy) {
        return Stage::evaluating;
    }
    return message.isEmpty() ? Stage::form : Stage::answer;
}

bool focusActive(const FocusSignals& focus)
{
    return focus.blocking || (focus.bridgeEnabled && focus.bridgeFocus) || focus.accountFocus;
}

bool resetsOnShow(bool visible, bool busy, const std::optional<QDateTime>& accessUntil, const QDateTime& now)
{
    return !visible && !busy && (!accessUntil || *accessUntil <= now);
}

bool closesItself(bool screenReader, bool lastWasLink, bool bridgeEnabled, bool bridgeConnected)
{
    if (lastWasLink && bridgeEnabled && !bridgeConnected) {
        return false;
    }
    return !screenReader;
}

QString eyebrow(const Answer& answer)
{
    if (answer.allowed()) {
        return u"LIBERADO"_s;
    }
    if (!answer.decision) {
        return u"NÃO FOI POSSÍVEL"_s;
    }
    if (answer.clarifies()) {
        return u"A ORLA PRECISA DE MAIS CONTEXTO"_s;
    }
    return u"NÃO DESTA VEZ"_s;
}

std::optional<QString> headline(const Answer& answer)
{
    if (answer.allowed()) {
        return std::nullopt;
    }
    if (!answer.decision) {
        return answer.applyFailed ? u"O computador não liberou a tempo."_s : u"O pedido não chegou à Orla."_s;
    }
    if (answer.clarifies()) {
        return answer.message;
    }
    return u"Esse acesso fica para depois."_s;
}

QString detail(const Answer& answer, const QString& reason)
{
    if (answer.clarifies()) {
        return u"Seu pedido: “"_s + reason.trimmed() + u"”"_s;
    }
    return answer.message;
}

bool mascotLit(const Answer& answer)
{
    return answer.allowed() || answer.clarifies();
}

QList<Button> buttons(const Answer& answer, bool conversation)
{
    const Button change { u"Mudar o pedido"_s, false, Action::changeRequest };
    if (answer.clarifies()) {
        return { change, { u"Responder"_s, true, Action::reply } };
    }
    if (!answer.decision) {
        QList<Button> row;
        if (conversation) {
            row.append(change);
        }
        row.append({ u"Tentar de novo"_s, true, Action::retry });
        return row;
    }
    return { { u"Fazer outro pedido"_s, false, Action::newRequest },
        { answer.allowed() ? u"OK"_s : u"Voltar ao foco"_s, true, Action::close } };
}

Countdown countdown(const QDateTime& until, const QDateTime& now, const std::optional<QString>& what, bool closesItself,
    const QLocale& locale, const QTimeZone& zone)
{
    Countdown shown;
    const qint64 leftMs = now.msecsTo(until);
    // Rounded up: 0.2 s left still reads 0:01, the end itself reads 0:00.
    shown.remaining = leftMs > 0 ? (leftMs + 999) / 1000 : 0;
    const QString end = locale.toString(until.toTimeZone(zone).time(), QLocale::ShortFormat);
    if (shown.remaining < 1) {
        shown.time = u"0:00"_s;
        shown.line = u"O prazo acabou. O bloqueio voltou."_s;
        shown.accessibleText = u"O prazo acabou"_s;
        return shown;
    }
    shown.time = QString::asprintf("%lld:%02lld", shown.remaining / 60, shown.remaining % 60);
    shown.line = what.value_or(u"O acesso"_s) + u" liberado até "_s + end + u". O resto continua bloqueado."_s;
    shown.accessibleText = u"Liberado até "_s + end;
    if (closesItself) {
        shown.closingNote = u"Esta janela fecha sozinha em instantes."_s;
        shown.accessibleText += u". "_s + *shown.closingNote;
    }
    return shown;
}

QString sentSummary(const QString& what, int minutes)
{
    return what + u" · "_s + QString::number(minutes) + u" min"_s;
}

GlowMode glowMode(const Answer& answer)
{
    return answer.allowed() ? GlowMode::open : GlowMode::dim;
}

GlowFrame glowFrame(GlowMode mode, double seconds, double opened, bool reduceMotion)
{
    switch (mode) {
    case GlowMode::breathing: {
        if (reduceMotion) {
            return { 0.95, 0.55 };
        }
        const double wave = (std::sin(2 * std::numbers::pi * seconds / breathingPeriod) + 1) / 2;
        return { 0.85 + 0.2 * wave, 0.55 };
    }
    case GlowMode::open:
        return { 0.6 + (1.25 - 0.6) * opened, 0.2 + (0.75 - 0.2) * opened };
    case GlowMode::dim:
        break;
    }
    return { 0.7, 0.12 };
}

bool glowAnimates(GlowMode mode, bool reduceMotion)
{
    return mode == GlowMode::breathing && !reduceMotion;
}

} // namespace kestravin::AssistantScenes
