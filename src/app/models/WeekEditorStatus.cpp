#include "WeekEditorStatus.h"

using namespace Qt::StringLiterals;

namespace kestravin {

const QString WeekEditorStatus::savedText = u"Salvo"_s;
const QString WeekEditorStatus::savedToAccountText = u"Salvo na conta"_s;
const QString WeekEditorStatus::savingToAccountText = u"Salvando na conta…"_s;
const QString WeekEditorStatus::deferredNotice
    = u"Seu foco atual continua como está. As mudanças valem quando ele terminar."_s;
const QString WeekEditorStatus::disabledNotice
    = u"Horários desativados. Nada é bloqueado sozinho até você ligar de novo."_s;

QString WeekEditorStatus::statusText() const
{
    if (!accountOnboarded) {
        return savedVisible ? savedText : QString();
    }
    switch (saveState) {
    case SaveState::saved:
        return savedVisible ? savedToAccountText : QString();
    case SaveState::saving:
        return savingToAccountText;
    case SaveState::idle:
    case SaveState::failed:
        return {};
    }
    return {};
}

QString WeekEditorStatus::notice() const
{
    if (accountOnboarded && saveState == SaveState::failed) {
        return failure;
    }
    if (deferredByFocus && isBlocking) {
        return deferredNotice;
    }
    if (!enabled) {
        return disabledNotice;
    }
    return {};
}

} // namespace kestravin
