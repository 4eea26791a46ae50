#include "SettingsNavigation.h"

using namespace Qt::StringLiterals;

namespace kestravin {

QString settingsTabTitle(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::sites:
        return u"Sites bloqueados"_s;
    case SettingsTab::apps:
        return u"Apps bloqueados"_s;
    case SettingsTab::schedule:
        return u"Horários"_s;
    case SettingsTab::missions:
        return u"Folgas"_s;
    case SettingsTab::helper:
        return u"Permissões"_s;
    case SettingsTab::about:
        return u"Sobre"_s;
    case SettingsTab::ai:
        return u"IA"_s;
    }
    return {};
}

SettingsNavigation& SettingsNavigation::shared()
{
    static SettingsNavigation navigation;
    return navigation;
}

void SettingsNavigation::setTab(std::optional<SettingsTab> tab)
{
    if (m_tab == tab) {
        return;
    }
    m_tab = tab;
    Q_EMIT tabChanged();
}

void SettingsNavigation::setFolgaPage(std::optional<FolgaPage> page)
{
    if (m_folgaPage == page) {
        return;
    }
    m_folgaPage = page;
    Q_EMIT folgaPageChanged();
}

} // namespace kestravin
