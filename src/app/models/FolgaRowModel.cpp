#include "FolgaRowModel.h"

using namespace Qt::StringLiterals;

namespace kestravin {

FolgaRowModel::FolgaRowModel(Inputs inputs, QDateTime now, QTimeZone timeZone)
    : m_inputs(std::move(inputs)), m_now(std::move(now)), m_timeZone(std::move(timeZone))
{
}

FolgaRowModel::Layout FolgaRowModel::layout() const
{
    if (!m_inputs.hasSession || !m_inputs.hasSnapshot || !m_inputs.folga) {
        return Layout::none;
    }
    return state().kind == FolgaMenuState::Kind::empty ? Layout::empty : Layout::offer;
}

FolgaMenuState FolgaRowModel::state() const
{
    return m_inputs.folga ? FolgaMenuState::make(folga(), m_inputs.focusEnabled, m_now) : FolgaMenuState {};
}

QString FolgaRowModel::emptyTitle()
{
    return u"Nenhuma folga agora"_s;
}

QString FolgaRowModel::emptyDetail() const
{
    return u"Cumpra uma meta do dia para ganhar "_s + QString::number(folga().minutes) + u" min."_s;
}

QString FolgaRowModel::useTitle() const
{
    if (m_inputs.usingFolga) {
        return u"Começando sua folga…"_s;
    }
    return u"Usar "_s + QString::number(folga().minutes) + u" min de folga"_s;
}

bool FolgaRowModel::useEnabled() const
{
    return state().kind == FolgaMenuState::Kind::ready && !m_inputs.usingFolga;
}

QString FolgaRowModel::badgeText() const
{
    return QString::number(folga().available);
}

QString FolgaRowModel::badgeAccessibleText() const
{
    return folga().available == 1 ? u"1 disponível"_s : QString::number(folga().available) + u" disponíveis"_s;
}

QString FolgaRowModel::detailText() const
{
    if (m_inputs.folgaError) {
        return *m_inputs.folgaError;
    }
    return FolgaCopy::detail(state(), folga(), m_now, m_timeZone);
}

FolgaCopy::Confirmation FolgaRowModel::confirmation() const
{
    return FolgaCopy::confirmation(folga(), m_now, m_timeZone);
}

} // namespace kestravin
