#include "FolgaLineModel.h"

#include "FolgaMenuState.h"

using namespace Qt::StringLiterals;

namespace kestravin {

QString FolgaLineModel::buttonAccessibleName() const
{
    return u"Usar agora: %1 minutos de folga"_s.arg(usable.value_or(0));
}

std::optional<FolgaLineModel> FolgaLineModel::make(const std::optional<DesktopAccountSnapshot>& snapshot,
    const QDateTime& now, const QLocale& locale, const QTimeZone& zone)
{
    if (!snapshot || !snapshot->folga) {
        return std::nullopt;
    }
    const AccountFolga& folga = *snapshot->folga;
    // The line looks at the break block only, never at the focus.
    const FolgaMenuState state = FolgaMenuState::make(folga, true, now);
    const QString minutes = QString::number(folga.minutes);
    switch (state.kind) {
    case FolgaMenuState::Kind::active:
        return FolgaLineModel {
            u"Folga em uso até "_s + locale.toString(state.until.toTimeZone(zone).time(), QLocale::ShortFormat) + u'.',
            std::nullopt,
        };
    case FolgaMenuState::Kind::ready:
    case FolgaMenuState::Kind::noFocus:
        return FolgaLineModel { u"Você tem "_s + minutes + u" min de folga."_s, folga.minutes };
    case FolgaMenuState::Kind::empty:
        break;
    }
    return FolgaLineModel { u"Precisa mesmo agora? Cumpra uma meta do dia e ganhe "_s + minutes + u" min de folga."_s,
        std::nullopt };
}

} // namespace kestravin
