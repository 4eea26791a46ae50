#include "SettingsView.h"

#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandAssets.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandMotion.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/PlainLabel.h"

#include <QAccessible>
#include <QApplication>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

// The sidebar's symbols live in this static library; naming the resource
// keeps the linker from dropping it.
static void initSettingsResources()
{
    Q_INIT_RESOURCE(settings);
}

namespace kestravin {

namespace {

struct Entry {
    SettingsTab tab;
    const char16_t* symbol;
    const char16_t* label;
};

// The sidebar's order, which is not the case order: the account ("Conta")
// stands between the breaks and the permissions.
constexpr Entry sidebarEntries[] = {
    { SettingsTab::sites, u"globe", u"Sites" },
    { SettingsTab::apps, u"square.grid.2x2", u"Apps" },
    { SettingsTab::schedule, u"calendar", u"Horários" },
    { SettingsTab::missions, u"sparkles", u"Folgas" },
    { SettingsTab::ai, u"person.crop.circle", u"Conta" },
    { SettingsTab::helper, u"lock.shield", u"Permissões" },
    { SettingsTab::about, u"info.circle", u"Sobre" },
};

constexpr int sidebarWidth = 200;
constexpr int itemsTop = 96;
constexpr int itemHeight = 34;
constexpr int itemSpacing = 2;
constexpr int sidebarInset = 12;

} // namespace

// ---- SettingsSidebarItem ----

SettingsSidebarItem::SettingsSidebarItem(SettingsTab tab, QString symbol, const QString& label, QWidget* parent)
    : QAbstractButton(parent), m_tab(tab), m_symbol(std::move(symbol))
{
    // Read as the tab of its page; pressing it opens the page as a click does.
    // Set first: the first interface made for a widget stays.
    BrandAccessibility::setButtonRole(this, QAccessible::PageTab);
    setText(label);
    setAccessibleName(label);
    setCheckable(true);
    setAutoExclusive(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void SettingsSidebarItem::focusInEvent(QFocusEvent* event)
{
    m_keyboardFocus = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason
        || event->reason() == Qt::ShortcutFocusReason;
    QAbstractButton::focusInEvent(event);
}

void SettingsSidebarItem::keyPressEvent(QKeyEvent* event)
{
    QAbstractButton::keyPressEvent(event);
    // Qt's exclusive buttons move the choice with an arrow only from the
    // checked one; here the page follows the focus from any entry, as tabs do.
    const int key = event->key();
    if (key != Qt::Key_Up && key != Qt::Key_Down && key != Qt::Key_Left && key != Qt::Key_Right) {
        return;
    }
    auto* focused = qobject_cast<SettingsSidebarItem*>(QApplication::focusWidget());
    if (focused && focused != this && !focused->isChecked()) {
        focused->click();
    }
}

void SettingsSidebarItem::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SettingsSidebarItem::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void SettingsSidebarItem::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const BrandPalette& palette = BrandPalette::current();
    if (m_hovered && !isChecked()) {
        painter.fillPath(BrandShapes::continuousRect(rect(), 9), withOpacity(palette.ink, 0.05));
    }
    const QColor ink = isChecked() ? palette.ink : withOpacity(palette.ink, 0.75);
    if (const BrandImage* icon = BrandAssets::symbol(m_symbol)) {
        icon->renderTinted(painter, QRectF(12, (height() - 16) / 2.0, 16, 16), ink);
    }
    painter.setPen(ink);
    painter.setFont(BrandFonts::font(13, isChecked() ? QFont::DemiBold : QFont::Medium));
    painter.drawText(QRectF(38, 0, width() - 44, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
    if (hasFocus() && m_keyboardFocus) {
        painter.setPen(QPen(palette.focusRing, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(BrandShapes::strokeInside(rect(), 9, 1.5));
    }
}

// ---- SettingsSidebar ----

SettingsSidebar::SettingsSidebar(QWidget* parent) : QWidget(parent), m_highlightY(new BrandTween(itemsTop, this))
{
    initSettingsResources();
    setFixedWidth(sidebarWidth);
    setAccessibleName(u"Seções dos ajustes"_s);
    auto* brand = plainLabel(u"Kestravin"_s, this);
    brand->setFont(BrandFonts::font(17, QFont::Bold));
    brand->setGeometry(sidebarInset + 8, 28, sidebarWidth - 2 * sidebarInset, 24);
    auto* tagline = plainLabel(u"Um passo de cada vez."_s, this);
    tagline->setFont(BrandFonts::font(12, QFont::Medium));
    QPalette palette = tagline->palette();
    palette.setColor(QPalette::WindowText, BrandPalette::current().mutedInk);
    tagline->setPalette(palette);
    tagline->setGeometry(sidebarInset + 8, 52, sidebarWidth - 2 * sidebarInset, 20);

    int y = itemsTop;
    for (const Entry& entry : sidebarEntries) {
        auto* item = new SettingsSidebarItem(
            entry.tab, QString::fromUtf16(entry.symbol), QString::fromUtf16(entry.label), this);
        item->setGeometry(sidebarInset, y, sidebarWidth - 2 * sidebarInset, itemHeight);
        y += itemHeight + itemSpacing;
        connect(item, &QAbstractButton::clicked, this, [this, item] { Q_EMIT picked(item->tab()); });
        m_items.append(item);
    }
    connect(m_highlightY, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
    select(SettingsTab::sites, false);
}

void SettingsSidebar::select(SettingsTab tab, bool animated)
{
    m_selected = tab;
    for (SettingsSidebarItem* item : m_items) {
        if (item->tab() == tab) {
            item->setChecked(true);
            const double target = item->geometry().top();
            if (animated && !Appearance::shared().reduceMotion()) {
                m_highlightY->springTo(target, BrandSpring { 0.35, 0.86 });
            } else {
                m_highlightY->jumpTo(target);
            }
            QAccessible::State state;
            state.selected = true;
            QAccessibleStateChangeEvent event(item, state);
            QAccessible::updateAccessibility(&event);
        }
    }
}

QRectF SettingsSidebar::highlight() const
{
    return QRectF(sidebarInset, m_highlightY->value(), sidebarWidth - 2 * sidebarInset, itemHeight);
}

void SettingsSidebar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const BrandPalette& palette = BrandPalette::current();
    painter.fillRect(rect(), BrandTokens::sunk(Appearance::shared().colorScheme()));
    painter.fillPath(BrandShapes::continuousRect(highlight(), 9), withOpacity(BrandTokens::accent(), 0.32));
    painter.setPen(QPen(palette.hairline, 1));
    painter.drawLine(QPointF(width() - 0.5, 0), QPointF(width() - 0.5, height()));
}

// ---- SettingsView ----

SettingsView::SettingsView(SettingsPages pages, QWidget* parent)
    : QWidget(parent), m_sidebar(new SettingsSidebar(this)), m_stack(new QStackedWidget(this))
{
    setFixedSize(contentWidth, contentHeight);
    setAccessibleName(u"Ajustes"_s);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(m_sidebar);
    auto* pageArea = new QWidget(this);
    auto* pageColumn = new QVBoxLayout(pageArea);
    pageColumn->setContentsMargins(28, 28, 24, 20);
    pageColumn->addWidget(m_stack);
    row->addWidget(pageArea, 1);

    for (const Entry& entry : sidebarEntries) {
        const SettingsPageMaker& make = pages.maker(entry.tab);
        QWidget* widget = make ? make() : SettingsPages::placeholder(settingsTabTitle(entry.tab));
        m_stack->addWidget(widget);
        m_pages.append({ entry.tab, widget });
    }
    connect(m_sidebar, &SettingsSidebar::picked, this, &SettingsView::setSelectedTab);
    connect(&SettingsNavigation::shared(), &SettingsNavigation::tabChanged, this, &SettingsView::adoptNavigation);
    auto applyInk = [this] {
        QPalette palette = this->palette();
        palette.setColor(QPalette::WindowText, BrandPalette::current().ink);
        palette.setColor(QPalette::Text, BrandPalette::current().ink);
        palette.setColor(QPalette::Window, BrandPalette::current().paper);
        palette.setColor(QPalette::Base, BrandPalette::current().paper);
        palette.setColor(QPalette::Button, BrandTokens::sunk(Appearance::shared().colorScheme()));
        palette.setColor(QPalette::Mid, BrandPalette::current().hairline);
        setPalette(palette);
        update();
    };
    connect(&Appearance::shared(), &Appearance::changed, this, applyInk);
    applyInk();
    m_stack->setCurrentWidget(page(m_selected));
    adoptNavigation();
}

void SettingsView::adoptNavigation()
{
    // A request is taken once and then cleared, so that asking for the same
    // page again later still reaches the window.
    const std::optional<SettingsTab> asked = SettingsNavigation::shared().tab();
    if (!asked) {
        return;
    }
    setSelectedTab(*asked);
    SettingsNavigation::shared().setTab(std::nullopt);
}

void SettingsView::setSelectedTab(SettingsTab tab)
{
    const bool animated = isVisible();
    m_selected = tab;
    m_sidebar->select(tab, animated);
    m_stack->setCurrentWidget(page(tab));
}

QWidget* SettingsView::page(SettingsTab tab) const
{
    for (const auto& [pageTab, widget] : m_pages) {
        if (pageTab == tab) {
            return widget;
        }
    }
    return nullptr;
}

QWidget* SettingsView::currentPage() const
{
    return m_stack->currentWidget();
}

void SettingsView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), BrandPalette::current().paper);
}

} // namespace kestravin
