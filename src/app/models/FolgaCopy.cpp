#include "FolgaCopy.h"

#include "InternetDateTime.h"
#include "TimeCopy.h"

using namespace Qt::StringLiterals;

namespace kestravin::FolgaCopy {

namespace {

QString held(const AccountFolga& folga)
{
    const QString count = folga.available == 1 ? u"1 folga de "_s : QString::number(folga.available) + u" folgas de "_s;
    return count + QString::number(folga.minutes) + u" min"_s;
}

} // namespace

Confirmation confirmation(const AccountFolga& folga, const QDateTime& now, const QTimeZone& timeZone)
{
    const QString minutes = QString::number(folga.minutes);
    Confirmation result { u"Usar "_s + minutes + u" min de folga?"_s, {} };
    const auto end = folga.endsAtIfUsed ? InternetDateTime::parse(*folga.endsAtIfUsed) : std::nullopt;
    if (end) {
        result.message
            = u"Sites e apps ficam livres. O bloqueio volta "_s + TimeCopy::returnTime(*end, now, timeZone) + u"."_s;
    } else {
        result.message
            = u"Sites e apps ficam livres por "_s + minutes + u" minutos. Depois, o bloqueio volta sozinho."_s;
    }
    return result;
}

QString detail(const FolgaMenuState& state, const AccountFolga& folga, const QDateTime& now, const QTimeZone& timeZone)
{
    switch (state.kind) {
    case FolgaMenuState::Kind::ready:
        return held(folga) + u". Cada meta cumprida no dia vale mais uma."_s;
    case FolgaMenuState::Kind::noFocus:
        return held(folga) + u", para usar durante o foco."_s;
    case FolgaMenuState::Kind::active:
        return u"Folga em uso. O bloqueio volta "_s + TimeCopy::returnTime(state.until, now, timeZone) + u"."_s;
    case FolgaMenuState::Kind::empty:
        break;
    }
    return u"Cumpra uma meta do dia para ganhar "_s + QString::number(folga.minutes) + u" min de folga."_s;
}

} // namespace kestravin::FolgaCopy
