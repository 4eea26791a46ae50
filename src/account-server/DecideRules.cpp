#include "DecideRules.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kestravin::DecideRules {

Decision decide(const Input& input)
{
    if (input.focusEndMs - input.nowMs < closingMarginMs)
        return { u"deny"_s, u"O foco está terminando. Esse acesso fica para depois."_s, std::nullopt, 0 };

    if (input.allowedMinutes + input.minutes > focusBudgetMinutes) {
        const qint64 left = std::max<qint64>(0, focusBudgetMinutes - input.allowedMinutes);
        const QString rest = left == 0
            ? u"Você já usou os %1 minutos de exceções deste foco."_s.arg(focusBudgetMinutes)
            : u"Restam %1 dos %2 minutos de exceções deste foco."_s.arg(left).arg(focusBudgetMinutes);
        return { u"deny"_s, rest + u" Esse acesso fica para depois."_s, std::nullopt, 0 };
    }

    if (input.reasonCharacters < shortReasonCharacters && !input.clarified) {
        return { u"clarify"_s, u"O que você precisa fazer nesse tempo, e por que não dá para esperar o fim do foco?"_s,
            std::nullopt, 0 };
    }

    const qint64 end = std::min(input.nowMs + input.minutes * 60 * 1000, input.focusEndMs);
    const qint64 granted = (end - input.nowMs + 59999) / 60000;
    return { u"allow"_s, u"Combinado: %1 min para isso. Depois, de volta ao foco."_s.arg(granted), end, granted };
}

} // namespace kestravin::DecideRules
