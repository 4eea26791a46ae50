#include "FolgasView.h"

#include "FolgaStatementView.h"
#include "MissionsView.h"
#include "app/views/brand/ChoiceChips.h"

#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

QString pageLabel(FolgaPage page)
{
    return page == FolgaPage::statement ? u"Extrato"_s : u"Metas"_s;
}

} // namespace

FolgasView::FolgasView(QWidget* parent) : FolgasView(&FolgasView::standardPage, FolgaPage::statement, parent)
{
}

FolgasView::FolgasView(PageMaker makePage, FolgaPage page, QWidget* parent)
    : QWidget(parent), m_makePage(std::move(makePage)), m_page(page)
{
    setAccessibleName(u"Folgas"_s);
    m_column = new QVBoxLayout(this);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(18);
    m_switch = new SegmentedSwitch(
        { pageLabel(FolgaPage::statement), pageLabel(FolgaPage::goals) }, m_page == FolgaPage::statement ? 0 : 1, this);
    m_switch->setAccessibleName(u"Folgas"_s);
    m_column->addWidget(m_switch, 0, Qt::AlignLeft);
    connect(m_switch, &ChoiceRow::picked, this,
        [this](int index) { setPage(index == 0 ? FolgaPage::statement : FolgaPage::goals); });
    build();
    connect(&SettingsNavigation::shared(), &SettingsNavigation::folgaPageChanged, this, &FolgasView::adoptNavigation);
    adoptNavigation();
}

QWidget* FolgasView::standardPage(FolgaPage page, FolgasView* view)
{
    if (page == FolgaPage::statement) {
        return new FolgaStatementView([view] { view->setPage(FolgaPage::goals); });
    }
    return new MissionsView(false);
}

void FolgasView::setPage(FolgaPage page)
{
    m_switch->setCurrentIndex(page == FolgaPage::statement ? 0 : 1);
    if (page == m_page && m_pageWidget) {
        return;
    }
    m_page = page;
    build();
}

void FolgasView::build()
{
    // A page lives only while it is shown: the statement's rows go with it.
    if (m_pageWidget) {
        m_column->removeWidget(m_pageWidget);
        m_pageWidget->deleteLater();
        m_pageWidget->hide();
    }
    m_pageWidget = m_makePage(m_page, this);
    m_pageWidget->setParent(this);
    m_column->addWidget(m_pageWidget, 1);
    m_pageWidget->show();
}

void FolgasView::adoptNavigation()
{
    const std::optional<FolgaPage> asked = SettingsNavigation::shared().folgaPage();
    if (!asked) {
        return;
    }
    setPage(*asked);
    SettingsNavigation::shared().setFolgaPage(std::nullopt);
}

} // namespace kestravin
