#include "app/views/pickers/PickerTile.h"

#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/SelectionCheck.h"
#include "app/views/pickers/PickerColors.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

constexpr double wellSide = 32.0;
constexpr double checkSide = 20.0;
constexpr int hopMs = 160;
constexpr int changeMs = 180;

// Reads a tile as a check box named by its site or app, with "Fica para depois"
// or "Liberado" as its value and the checked and selected states while blocked.
// Its action is the click a pointer makes, so the picker saves the change.
class PickerTileAccessible : public QAccessibleWidget {
public:
    explicit PickerTileAccessible(PickerTile* tile) : QAccessibleWidget(tile, QAccessible::CheckBox) { }
    QString text(QAccessible::Text t) const override
    {
        const auto* tile = static_cast<const PickerTile*>(widget());
        switch (t) {
        case QAccessible::Name:
            return tile->name();
        case QAccessible::Value:
            return tile->isBlocked() ? u"Fica para depois"_s : u"Liberado"_s;
        case QAccessible::Description:
            return tile->caption();
        default:
            return QAccessibleWidget::text(t);
        }
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        const bool blocked = static_cast<const PickerTile*>(widget())->isBlocked();
        s.checkable = true;
        s.checked = blocked;
        s.selectable = true;
        s.selected = blocked;
        return s;
    }
    QStringList actionNames() const override
    {
        return QStringList { pressAction() } + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (action == pressAction()) {
            if (widget()->isEnabled()) {
                static_cast<PickerTile*>(widget())->click();
            }
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* tileAccessible(const QString&, QObject* object)
{
    if (auto* tile = qobject_cast<PickerTile*>(object)) {
        return new PickerTileAccessible(tile);
    }
    return nullptr;
}

bool reduceMotion()
{
    return Appearance::shared().reduceMotion();
}

} // namespace

PickerTile::PickerTile(QString id, QWidget* parent)
    : QAbstractButton(parent), m_id(std::move(id)), m_check(new SelectionCheck(false, checkSide, this))
{
    static const bool installed = [] {
        QAccessible::installFactory(tileAccessible);
        return true;
    }();
    Q_UNUSED(installed);
    m_check->setAttribute(Qt::WA_TransparentForMouseEvents);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    for (BrandTween* tween : { &m_hover, &m_block, &m_press, &m_hopLift }) {
        connect(tween, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    }
    m_press.jumpTo(1.0);
    connect(this, &QAbstractButton::pressed, this, [this] {
        if (!reduceMotion()) {
            m_press.animateTo(0.97, BrandMotion::easeOutCurve(), 100);
        }
    });
    connect(this, &QAbstractButton::released, this, [this] {
        if (reduceMotion()) {
            m_press.jumpTo(1.0);
        } else {
            m_press.animateTo(1.0, BrandMotion::easeOutCurve(), 100);
        }
    });
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void PickerTile::setTexts(const QString& name, const QString& caption)
{
    m_name = name;
    m_caption = caption;
    setToolTip(name);
    setAccessibleName(name);
    setAccessibleDescription(caption);
    update();
}

void PickerTile::setBlocked(bool blocked)
{
    if (blocked == m_blocked) {
        return;
    }
    m_blocked = blocked;
    m_check->setOn(blocked);
    if (reduceMotion()) {
        m_block.jumpTo(blocked ? 1.0 : 0.0);
    } else {
        m_block.animateTo(blocked ? 1.0 : 0.0, BrandMotion::easeOutCurve(), changeMs);
    }
    QAccessible::State changed;
    changed.selected = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
    update();
}

void PickerTile::setHopTick(int tick)
{
    if (tick == m_hopTick) {
        return;
    }
    m_hopTick = tick;
    if (tick >= 1) {
        hop();
    }
}

void PickerTile::hop()
{
    if (reduceMotion()) {
        return;
    }
    setHopping(true);
    m_hopLift.animateTo(1.0, BrandMotion::brandCurve(), hopMs);
    // Each hop schedules its own return; an earlier one may end a later hop's
    // raised phase early.
    QTimer::singleShot(hopMs, this, [this] {
        setHopping(false);
        m_hopLift.springTo(0.0, BrandSpring { 0.3, 0.62 });
    });
}

void PickerTile::setHopping(bool hopping)
{
    m_hopping = hopping;
}

void PickerTile::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    reduceMotion() ? m_hover.jumpTo(1.0) : m_hover.animateTo(1.0, BrandMotion::easeOutCurve(), changeMs);
    QAbstractButton::enterEvent(event);
}

void PickerTile::leaveEvent(QEvent* event)
{
    m_hovered = false;
    reduceMotion() ? m_hover.jumpTo(0.0) : m_hover.animateTo(0.0, BrandMotion::easeOutCurve(), changeMs);
    QAbstractButton::leaveEvent(event);
}

void PickerTile::resizeEvent(QResizeEvent* event)
{
    QAbstractButton::resizeEvent(event);
    const QSize size = m_check->sizeHint();
    m_check->setGeometry(width() - 10 - size.width(), (height() - size.height()) / 2, size.width(), size.height());
}

QPoint PickerTile::checkCentre() const
{
    return m_check->geometry().center();
}

QColor PickerTile::background() const
{
    const PickerColors& c = PickerColors::current();
    if (m_blocked) {
        return c.selectedFill;
    }
    return m_hovered ? BrandTokens::sunk(Appearance::shared().colorScheme()) : c.surface;
}

QColor PickerTile::border() const
{
    const PickerColors& c = PickerColors::current();
    if (m_blocked) {
        return withOpacity(c.accentLine, 0.45);
    }
    return m_hovered ? c.hairline : withOpacity(c.hairline, 0.7);
}

QColor PickerTile::captionColor() const
{
    return PickerColors::current().muted;
}

QSize PickerTile::sizeHint() const
{
    return { 220, 60 };
}

QSize PickerTile::minimumSizeHint() const
{
    return { 150, 60 };
}

void PickerTile::paintWell(QPainter&, const QRectF&)
{
}

void PickerTile::paintEvent(QPaintEvent*)
{
    const PickerColors& c = PickerColors::current();
    const ColorScheme scheme = Appearance::shared().colorScheme();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    const QRectF bounds = QRectF(rect());
    const double scale = m_press.value();
    painter.translate(bounds.center());
    painter.scale(scale, scale);
    painter.translate(-bounds.center());

    // Colours glide between the resting, hovered and blocked looks.
    const QColor resting = blend(c.surface, BrandTokens::sunk(scheme), m_hover.value());
    const QColor restingBorder = blend(withOpacity(c.hairline, 0.7), c.hairline, m_hover.value());
    const QColor fill = blend(resting, c.selectedFill, m_block.value());
    const QColor line = blend(restingBorder, withOpacity(c.accentLine, 0.45), m_block.value());
    painter.fillPath(BrandShapes::continuousRect(bounds, 12.0), fill);
    painter.strokePath(BrandShapes::strokeInside(bounds, 12.0, 1.0), QPen(line, 1.0));
    if (hasFocus()) {
        painter.strokePath(BrandShapes::strokeInside(bounds, 12.0, 2.0), QPen(BrandPalette::of(scheme).focusRing, 2.0));
    }

    const QRectF well(12.0, (bounds.height() - wellSide) / 2.0, wellSide, wellSide);
    {
        painter.save();
        const double lift = m_hopLift.value();
        painter.translate(well.center() + QPointF(0.0, -4.0 * lift));
        painter.rotate(-7.0 * lift);
        painter.scale(1.0 + 0.06 * lift, 1.0 + 0.06 * lift);
        painter.translate(-well.center());
        paintWell(painter, well);
        paintIcon(painter, well);
        painter.restore();
    }

    const double textLeft = well.right() + 12.0;
    const double textWidth = std::max(0.0, bounds.width() - 36.0 - textLeft);
    const QFont nameFont = BrandFonts::font(13, QFont::DemiBold);
    const QFont captionFont = BrandFonts::font(11);
    const QFontMetricsF nameMetrics(nameFont);
    const QFontMetricsF captionMetrics(captionFont);
    const bool twoLines = !m_caption.isEmpty();
    const double total = nameMetrics.height() + (twoLines ? 1.0 + captionMetrics.height() : 0.0);
    double y = (bounds.height() - total) / 2.0;
    painter.setFont(nameFont);
    painter.setPen(c.ink);
    painter.drawText(QRectF(textLeft, y, textWidth, nameMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
        nameMetrics.elidedText(m_name, Qt::ElideRight, textWidth));
    if (twoLines) {
        y += nameMetrics.height() + 1.0;
        painter.setFont(captionFont);
        painter.setPen(captionColor());
        painter.drawText(QRectF(textLeft, y, textWidth, captionMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
            captionMetrics.elidedText(m_caption, Qt::ElideRight, textWidth));
    }
}

} // namespace kestravin
