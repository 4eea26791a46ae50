#pragma once

#include "app/views/settings/SettingsNavigation.h"

#include <QWidget>

#include <functional>

class QVBoxLayout;

namespace kestravin {

class SegmentedSwitch;

// The break ("folga") pages of the settings window: a segmented switch
// between the statement ("Extrato") and the goals editor ("Metas"). Each
// switch builds the page anew, so the statement loads again when it comes
// back. A page asked for through SettingsNavigation::folgaPage is shown and
// the request cleared, whether it came before or after the view existed.
class FolgasView : public QWidget {
    Q_OBJECT
public:
    using PageMaker = std::function<QWidget*(FolgaPage page, FolgasView* view)>;

    explicit FolgasView(QWidget* parent = nullptr);
    // `makePage` builds each page (tests hand in pages over fakes).
    FolgasView(PageMaker makePage, FolgaPage page = FolgaPage::statement, QWidget* parent = nullptr);

    FolgaPage page() const { return m_page; }
    void setPage(FolgaPage page);
    QWidget* pageWidget() const { return m_pageWidget; }
    SegmentedSwitch* pageSwitch() const { return m_switch; }

    // The statement and the goals editor on the shared services.
    static QWidget* standardPage(FolgaPage page, FolgasView* view);

private:
    void adoptNavigation();
    void build();

    PageMaker m_makePage;
    FolgaPage m_page;
    SegmentedSwitch* m_switch;
    QVBoxLayout* m_column;
    QWidget* m_pageWidget = nullptr;
};

} // namespace kestravin
