#pragma once

#include "SettingsNavigation.h"
#include "SettingsPages.h"

#include <QAbstractButton>
#include <QList>
#include <QWidget>

class QStackedWidget;

namespace kestravin {

class BrandTween;

// One entry of the settings sidebar: a symbol and a short label.
class SettingsSidebarItem : public QAbstractButton {
    Q_OBJECT
public:
    SettingsSidebarItem(SettingsTab tab, QString symbol, const QString& label, QWidget* parent = nullptr);
    SettingsTab tab() const { return m_tab; }
    QSize sizeHint() const override { return { 176, 34 }; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    SettingsTab m_tab;
    QString m_symbol;
    bool m_hovered = false;
    bool m_keyboardFocus = false;
};

// The 200-wide sidebar: the tagline, then the entries in the window's order,
// with one highlight that glides to the selected entry.
class SettingsSidebar : public QWidget {
    Q_OBJECT
public:
    explicit SettingsSidebar(QWidget* parent = nullptr);

    void select(SettingsTab tab, bool animated);
    const QList<SettingsSidebarItem*>& items() const { return m_items; }
    // The highlight's rectangle now (it moves while it glides).
    QRectF highlight() const;

Q_SIGNALS:
    void picked(SettingsTab tab);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<SettingsSidebarItem*> m_items;
    BrandTween* m_highlightY;
    SettingsTab m_selected = SettingsTab::sites;
};

// The settings window's content: sidebar, divider and the selected page.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    static constexpr int contentWidth = 820;
    static constexpr int contentHeight = 640;

    explicit SettingsView(SettingsPages pages = SettingsPages::standard(), QWidget* parent = nullptr);

    SettingsTab selectedTab() const { return m_selected; }
    void setSelectedTab(SettingsTab tab);
    QWidget* page(SettingsTab tab) const;
    QWidget* currentPage() const;
    SettingsSidebar* sidebar() const { return m_sidebar; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void adoptNavigation();

    SettingsSidebar* m_sidebar;
    QStackedWidget* m_stack;
    QList<std::pair<SettingsTab, QWidget*>> m_pages;
    SettingsTab m_selected = SettingsTab::sites;
};

} // namespace kestravin
