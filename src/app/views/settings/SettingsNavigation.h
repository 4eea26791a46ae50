#pragma once

#include <QObject>

#include <optional>

namespace kestravin {

// The pages of the settings window, in their case order. Each page's title
// is its raw value (settingsTabTitle).
enum class SettingsTab { sites, apps, schedule, missions, helper, about, ai };

// The two pages of the break ("folga") pages.
enum class FolgaPage { statement, goals };

QString settingsTabTitle(SettingsTab tab);

// The one navigation request object: code outside the settings window writes
// `tab` to ask for a page; the break pages read and write `folgaPage`.
class SettingsNavigation : public QObject {
    Q_OBJECT
public:
    static SettingsNavigation& shared();

    std::optional<SettingsTab> tab() const { return m_tab; }
    void setTab(std::optional<SettingsTab> tab);

    std::optional<FolgaPage> folgaPage() const { return m_folgaPage; }
    void setFolgaPage(std::optional<FolgaPage> page);

Q_SIGNALS:
    void tabChanged();
    void folgaPageChanged();

private:
    std::optional<SettingsTab> m_tab;
    std::optional<FolgaPage> m_folgaPage;
};

} // namespace kestravin
