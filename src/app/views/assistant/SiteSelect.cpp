#include "app/views/assistant/SiteSelect.h"

#include "app/models/AssistantForm.h"
#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandMotionIcon.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/LinkPressStyle.h"
#include "app/views/pickers/SiteIcon.h"

#include <QEnterEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QtMath>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

constexpr int listWidth = 320;
constexpr int scrollHeight = 340;
constexpr int scrollFrom = 8;

// Draws `text` on one line in `rect`, shortened in the middle or at the end.
void drawLine(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font, const QColor& color,
    Qt::TextElideMode elide)
{
    painter.setFont(font);
    painter.setPen(color);
    const QString shown = QFontMetrics(font).elidedText(text, elide, qFloor(rect.width()));
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, shown);
}

// A name equal to its host is shortened in the middle, so both ends of the
// host stay readable.
Qt::TextElideMode nameElide(const SiteTileItem& item, const QString& host)
{
    return item.name == host ? Qt::ElideMiddle : Qt::ElideRight;
}

// The list below the field: a window of its own that closes on a click outside.
class SiteSelectPopup : public QWidget {
public:
    explicit SiteSelectPopup(QWidget* owner) : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint)
    {
        setAttribute(Qt::WA_DeleteOnClose);
        setAccessibleName(u"Sites bloqueados"_s);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const BrandPalette& palette = BrandPalette::forWidget(parentWidget());
        painter.fillRect(rect(), palette.paper);
        painter.setPen(QPen(palette.hairline, 1));
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
};

} // namespace

SiteSelectRow::SiteSelectRow(const QString& host, bool selected, SiteIconStore& store, QWidget* parent)
    : QAbstractButton(parent), m_host(host), m_item(AssistantForm::siteItem(host)), m_selected(selected), m_store(store)
{
    BrandAccessibility::setButtonRole(this, QAccessible::RadioButton);
    setCheckable(true);
    setChecked(selected);
    setAccessibleName(m_item.name == host ? host : m_item.name + u", "_s + host);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    SiteIconPainter::request(m_item, m_store);
    // A click on the chosen row keeps it chosen.
    connect(this, &QAbstractButton::toggled, this, [this] { setChecked(m_selected); });
}

QSize SiteSelectRow::sizeHint() const
{
    return { listWidth - 12, m_item.name == m_host ? 36 : 46 };
}

void SiteSelectRow::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SiteSelectRow::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void SiteSelectRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const BrandPalette& palette = BrandPalette::forWidget(this);
    const QRectF box(rect());
    if (m_hovered || isDown()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette.highlight);
        painter.drawPath(BrandShapes::continuousRect(box, 8));
    }
    const double icon = 20;
    SiteIconPainter::paint(painter, QRectF(10, (box.height() - icon) / 2, icon, icon), m_item, m_store);
    const double left = 10 + icon + 10;
    const double right = box.width() - 10 - (m_selected ? 11 + 8 : 0);
    const QFont nameFont = BrandFonts::font(13, QFont::DemiBold);
    if (m_item.name == m_host) {
        drawLine(
            painter, QRectF(left, 0, right - left, box.height()), m_item.name, nameFont, palette.ink, Qt::ElideMiddle);
    } else {
        const double middle = box.height() / 2;
        drawLine(painter, QRectF(left, middle - 17, right - left, 17), m_item.name, nameFont, palette.ink,
            nameElide(m_item, m_host));
        drawLine(painter, QRectF(left, middle + 1, right - left, 15), m_host, BrandFonts::font(11), palette.mutedInk,
            Qt::ElideMiddle);
    }
    if (m_selected) {
        BrandMotionIcon::paintSymbol(painter, u"checkmark"_s,
            QRectF(box.width() - 10 - 11, (box.height() - 11) / 2, 11, 11), BrandTokens::accent(), {});
    }
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(palette.focusRing, 2));
        painter.drawPath(BrandShapes::strokeInside(box, 8, 2));
    }
}

SiteSelect::SiteSelect(QStringList sites, QString selection, SiteIconStore& store, QWidget* parent)
    : QAbstractButton(parent), m_sites(std::move(sites)), m_store(store), m_openAmount(0.0)
{
    BrandAccessibility::setPressable(this);
    m_press = new LinkPressStyle(this);
    setAccessibleDescription(u"Escolher outro site da sua lista"_s);
    setToolTip(u"Escolher outro site da sua lista"_s);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setSelection(selection);
    connect(this, &QAbstractButton::clicked, this, &SiteSelect::toggle);
    connect(&m_openAmount, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

SiteSelect::~SiteSelect()
{
    if (m_popup) {
        m_popup->removeEventFilter(this);
    }
}

QString SiteSelect::accessibleNameFor(const SiteTileItem& item, const QString& selection)
{
    QString name = u"Site: "_s + item.name;
    if (item.name != selection) {
        name += u", "_s + selection;
    }
    return name;
}

void SiteSelect::setSelection(const QString& host)
{
    m_selection = host;
    m_item = AssistantForm::siteItem(host);
    SiteIconPainter::request(m_item, m_store);
    setAccessibleName(accessibleNameFor(m_item, m_selection));
    update();
}

QList<SiteSelectRow*> SiteSelect::rows() const
{
    return m_popup ? m_popup->findChildren<SiteSelectRow*>() : QList<SiteSelectRow*> {};
}

void SiteSelect::toggle()
{
    if (isOpen()) {
        close();
    } else {
        open();
    }
}

void SiteSelect::open()
{
    if (isOpen()) {
        return;
    }
    auto* popup = new SiteSelectPopup(this);
    m_popup = popup;
    popup->installEventFilter(this);
    auto* outer = new QVBoxLayout(popup);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* list = new QWidget;
    auto* column = new QVBoxLayout(list);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(2);
    SiteSelectRow* chosen = nullptr;
    for (const QString& host : std::as_const(m_sites)) {
        auto* row = new SiteSelectRow(host, host == m_selection, m_store, list);
        connect(row, &QAbstractButton::clicked, this, [this, host] { pick(host); });
        column->addWidget(row);
        if (host == m_selection) {
            chosen = row;
        }
    }
    m_scroll = nullptr;
    if (m_sites.size() >= scrollFrom) {
        m_scroll = new QScrollArea(popup);
        m_scroll->setFrameShape(QFrame::NoFrame);
        m_scroll->setWidgetResizable(true);
        m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m_scroll->viewport()->setAutoFillBackground(false);
        list->setAutoFillBackground(false);
        m_scroll->setWidget(list);
        outer->addWidget(m_scroll);
        popup->setFixedSize(listWidth, scrollHeight);
    } else {
        outer->addWidget(list);
        popup->setFixedWidth(listWidth);
        popup->adjustSize();
    }
    popup->move(mapToGlobal(QPoint(0, height() + 4)));
    popup->show();
    if (m_scroll && chosen) {
        list->adjustSize();
        popup->layout()->activate();
        const int centre = chosen->geometry().center().y();
        m_scroll->verticalScrollBar()->setValue(centre - m_scroll->viewport()->height() / 2);
    }
    setOpenLook(true);
}

void SiteSelect::close()
{
    if (m_popup) {
        m_popup->close();
    }
}

void SiteSelect::pick(const QString& host)
{
    setSelection(host);
    close();
    Q_EMIT picked(host);
}

bool SiteSelect::eventFilter(QObject* watched, QEvent* event)
{
    // The system closes the list on a click outside it.
    if (watched == m_popup && event->type() == QEvent::Hide) {
        setOpenLook(false);
    }
    return QAbstractButton::eventFilter(watched, event);
}

void SiteSelect::setOpenLook(bool open)
{
    const double target = open ? 1.0 : 0.0;
    if (Appearance::shared().reduceMotion()) {
        m_openAmount.jumpTo(target);
    } else {
        m_openAmount.animateTo(target, BrandMotion::easeOutCurve(), 160);
    }
    update();
}

QSize SiteSelect::sizeHint() const
{
    return { 320, 36 };
}

void SiteSelect::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SiteSelect::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void SiteSelect::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = m_press->scale();
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-centre);

    const BrandPalette& palette = BrandPalette::forWidget(this);
    const double open = m_openAmount.value();
    const QRectF box(rect());
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_hovered || isOpen() ? palette.highlight : blend(palette.paper, palette.highlight, open));
    painter.drawPath(BrandShapes::continuousRect(box, 12));
    const QColor border = blend(palette.hairline, withOpacity(BrandTokens::accent(), 0.7), open);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(border, 1));
    painter.drawPath(BrandShapes::strokeInside(box, 12, 1));

    const double icon = 18;
    SiteIconPainter::paint(painter, QRectF(12, (box.height() - icon) / 2, icon, icon), m_item, m_store);
    const double left = 12 + icon + 10;
    const double chevron = 10;
    const double right = box.width() - 12 - chevron - 8;
    const QFont nameFont = BrandFonts::font(13, QFont::DemiBold);
    const QFontMetrics nameMetrics(nameFont);
    double nameWidth = right - left;
    const bool twoTexts = m_item.name != m_selection;
    if (twoTexts) {
        nameWidth = std::min<double>(nameMetrics.horizontalAdvance(m_item.name) + 2, (right - left) * 0.6);
    }
    drawLine(painter, QRectF(left, 0, nameWidth, box.height()), m_item.name, nameFont, palette.ink,
        nameElide(m_item, m_selection));
    if (twoTexts) {
        const double hostLeft = left + nameWidth + 10;
        drawLine(painter, QRectF(hostLeft, 0, std::max(0.0, right - hostLeft), box.height()), m_selection,
            BrandFonts::font(12), palette.mutedInk, Qt::ElideMiddle);
    }
    painter.save();
    const QRectF chevronRect(box.width() - 12 - chevron, (box.height() - chevron) / 2, chevron, chevron);
    painter.translate(chevronRect.center());
    painter.rotate(180 * open);
    painter.translate(-chevronRect.center());
    BrandMotionIcon::paintSymbol(painter, u"chevron.down"_s, chevronRect, palette.mutedInk, {});
    painter.restore();

    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(palette.focusRing, 2));
        painter.drawPath(BrandShapes::continuousRect(box.adjusted(1, 1, -1, -1), 11));
    }
}

} // namespace kestravin
