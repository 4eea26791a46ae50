#include "app/views/pickers/PickerWidgets.h"

#include "app/models/FlightPath.h"
#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandAssets.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTextField.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/pickers/PickerColors.h"
#include "app/views/pickers/PickerTile.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QResizeEvent>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

constexpr int minColumn = 150;
constexpr int gap = 8;
constexpr int rowHeight = 60;

} // namespace

TileGrid::TileGrid(QWidget* parent) : QWidget(parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void TileGrid::setTiles(const QList<PickerTile*>& tiles)
{
    for (PickerTile* old : std::as_const(m_tiles)) {
        if (!tiles.contains(old) && old->parentWidget() == this) {
            old->hide();
        }
    }
    m_tiles = tiles;
    for (PickerTile* tile : std::as_const(m_tiles)) {
        if (tile->parentWidget() != this) {
            tile->setParent(this);
        }
        tile->show();
    }
    place();
    updateGeometry();
}

int TileGrid::columnsFor(int width)
{
    return std::max(1, (width + gap) / (minColumn + gap));
}

int TileGrid::heightForWidth(int width) const
{
    const int columns = columnsFor(width);
    const int rows = (int(m_tiles.size()) + columns - 1) / columns;
    return rows == 0 ? 0 : rows * rowHeight + (rows - 1) * gap;
}

QSize TileGrid::sizeHint() const
{
    return { 480, heightForWidth(480) };
}

QSize TileGrid::minimumSizeHint() const
{
    return { minColumn, 0 };
}

void TileGrid::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    place();
}

void TileGrid::place()
{
    const int columns = columnsFor(width());
    const double columnWidth = (width() - (columns - 1) * gap) / double(columns);
    for (int i = 0; i < m_tiles.size(); ++i) {
        const int row = i / columns;
        const int column = i % columns;
        const int x = int(column * (columnWidth + gap));
        const int next = int((column + 1) * (columnWidth + gap)) - gap;
        m_tiles.at(i)->setGeometry(x, row * (rowHeight + gap), next - x, rowHeight);
    }
}

PickerSearchField::PickerSearchField(const QString& placeholder, QWidget* parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_clear(new QToolButton(this))
{
    setFixedHeight(36);
    setMaximumWidth(340);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_edit->setFrame(false);
    m_edit->setPlaceholderText(placeholder);
    m_edit->setAccessibleName(placeholder);
    m_edit->setFont(BrandFonts::font(13));
    m_edit->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_edit->setStyleSheet(u"QLineEdit { background: transparent; border: none; }"_s);
    m_edit->installEventFilter(this);

    m_clear->setAccessibleName(u"Limpar busca"_s);
    m_clear->setToolTip(u"Limpar busca"_s);
    m_clear->setAutoRaise(true);
    m_clear->setFixedSize(22, 22);
    m_clear->setCursor(Qt::ArrowCursor);
    m_clear->setFocusPolicy(Qt::NoFocus);
    m_clear->setVisible(false);
    auto paintClear = [this] {
        QPixmap pixmap(QSize(20, 20) * devicePixelRatioF());
        pixmap.setDevicePixelRatio(devicePixelRatioF());
        pixmap.fill(Qt::transparent);
        if (const BrandImage* symbol = BrandAssets::symbol(u"xmark"_s)) {
            QPainter painter(&pixmap);
            symbol->renderTinted(painter, QRectF(5, 5, 10, 10), PickerColors::current().muted);
        }
        m_clear->setIcon(QIcon(pixmap));
        m_clear->setIconSize(QSize(20, 20));
    };
    paintClear();
    connect(&Appearance::shared(), &Appearance::changed, this, [this, paintClear] {
        paintClear();
        update();
    });
    connect(m_clear, &QToolButton::clicked, this, [this] {
        m_edit->clear();
        m_edit->setFocus(Qt::OtherFocusReason);
    });
    connect(
        m_edit, &QLineEdit::textChanged, this, [this](const QString& text) { m_clear->setVisible(!text.isEmpty()); });
    connect(&m_tilt, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12 + 14 + 8, 0, 6, 0);
    row->setSpacing(8);
    row->addWidget(m_edit, 1);
    row->addWidget(m_clear);
    setFocusProxy(m_edit);
}

QSize PickerSearchField::sizeHint() const
{
    return { 340, 36 };
}

bool PickerSearchField::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        m_focused = event->type() == QEvent::FocusIn;
        const double target = m_focused ? 1.0 : 0.0;
        if (Appearance::shared().reduceMotion()) {
            m_tilt.jumpTo(0.0);
        } else {
            m_tilt.animateTo(target, BrandTokens::easeOut().curve, BrandTokens::easeOut().durationMs);
        }
        update();
    }
    return QWidget::eventFilter(watched, event);
}

void PickerSearchField::paintEvent(QPaintEvent*)
{
    const PickerColors& c = PickerColors::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect());
    painter.fillPath(BrandShapes::continuousRect(bounds, 12.0), c.surface);
    if (m_focused) {
        painter.strokePath(BrandShapes::strokeInside(bounds, 12.0, 2.0), QPen(c.focusedBorder, 2.0));
    } else {
        painter.strokePath(BrandShapes::strokeInside(bounds, 12.0, 1.0), QPen(c.hairline, 1.0));
    }
    if (const BrandImage* glass = BrandAssets::symbol(u"magnifyingglass"_s)) {
        const QRectF icon(12.0, (bounds.height() - 14.0) / 2.0, 14.0, 14.0);
        painter.translate(icon.center());
        painter.rotate(-12.0 * m_tilt.value());
        painter.translate(-icon.center());
        glass->renderTinted(painter, icon.adjusted(1, 1, -1, -1), c.muted);
    }
}

LockNotice::LockNotice(QWidget* parent) : QWidget(parent)
{
    BrandAccessibility::setPaintedText(this);
    setAccessibleName(QString());
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    connect(&m_opacity, &BrandTween::valueChanged, this, [this](double value) {
        if (value <= 0.0 && m_text.isEmpty()) {
            hide();
        }
        update();
    });
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
    hide();
}

void LockNotice::setText(const QString& text)
{
    m_text = text;
    const int fadeMs = Appearance::shared().reduceMotion() ? 0 : 200;
    if (text.isEmpty()) {
        if (isVisible()) {
            m_opacity.animateTo(0.0, BrandMotion::easeOutCurve(), fadeMs);
        }
        if (fadeMs == 0) {
            hide();
        }
        return;
    }
    m_shown = text;
    setAccessibleName(text);
    updateGeometry();
    show();
    m_opacity.animateTo(1.0, BrandMotion::easeOutCurve(), fadeMs);
}

QSize LockNotice::sizeHint() const
{
    const QFontMetricsF metrics(BrandFonts::font(12, QFont::Medium));
    return { int(std::ceil(12 + 14 + 6 + metrics.horizontalAdvance(m_shown) + 12)),
        int(std::ceil(metrics.height() + 16)) };
}

void LockNotice::paintEvent(QPaintEvent*)
{
    const bool dark = Appearance::shared().isDark();
    const QColor fill = dark ? QColor(0x3A, 0x30, 0x21) : QColor(0xFF, 0xF5, 0xDF);
    const QColor ink = dark ? QColor(0xFA, 0xF7, 0xF1) : QColor(0x2C, 0x29, 0x25);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_opacity.value());
    const QSize hint = sizeHint();
    const QRectF pill(0, 0, std::min(width(), hint.width()), height());
    painter.fillPath(BrandShapes::continuousRect(pill, 12.0), fill);
    if (const BrandImage* lock = BrandAssets::symbol(u"lock.fill"_s)) {
        lock->renderTinted(painter, QRectF(12, (pill.height() - 12) / 2.0, 12, 12), ink);
    }
    painter.setPen(ink);
    painter.setFont(BrandFonts::font(12, QFont::Medium));
    painter.drawText(pill.adjusted(12 + 14 + 6, 0, -12, 0), Qt::AlignLeft | Qt::AlignVCenter, m_shown);
}

FlightOverlay::FlightOverlay(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    // The mascot's flight only echoes the tile that was just chosen.
    BrandAccessibility::setDecorative(this);
    setGeometry(parent->rect());
    parent->installEventFilter(this);
    raise();
}

bool FlightOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
        raise();
    }
    return QWidget::eventFilter(watched, event);
}

void FlightOverlay::follow(int tick, const PickerTile* tile, const QWidget* target)
{
    if (tick < 1 || tick == m_followedTick) {
        return;
    }
    m_followedTick = tick;
    if (!tile || !tile->isVisible() || !parentWidget()) {
        return;
    }
    QWidget* page = parentWidget();
    fly(QPointF(tile->mapTo(page, tile->checkCentre())), QPointF(target->mapTo(page, target->rect().center())));
}

void FlightOverlay::fly(QPointF from, QPointF to)
{
    if (m_flight) {
        m_flight->stop();
        m_flight->deleteLater();
    }
    if (m_ringAnimation) {
        m_ringAnimation->stop();
        m_ringAnimation->deleteLater();
    }
    m_from = from;
    m_to = to;
    m_progress = 0.0;
    m_ring = 0.0;
    m_landed = false;
    m_flying = true;
    raise();

    auto land = [this] {
        m_flying = false;
        m_landed = true;
        m_ringAnimation = new QVariantAnimation(this);
        m_ringAnimation->setStartValue(0.0);
        m_ringAnimation->setEndValue(1.0);
        m_ringAnimation->setDuration(int(FlightPath::ringSeconds * 1000));
        m_ringAnimation->setEasingCurve(BrandMotion::cubicCurve(0.2, 0.8, 0.2, 1.0));
        connect(m_ringAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
            m_ring = v.toDouble();
            update();
        });
        m_ringAnimation->start(QAbstractAnimation::DeleteWhenStopped);
        update();
    };
    if (FlightPath::landsAtOnce(from, to)) {
        land();
        return;
    }
    m_flight = new QVariantAnimation(this);
    m_flight->setStartValue(0.0);
    m_flight->setEndValue(1.0);
    m_flight->setDuration(int(std::lround(FlightPath::durationSeconds(from, to) * 1000)));
    const auto& k = FlightPath::curve;
    m_flight->setEasingCurve(BrandMotion::cubicCurve(k[0], k[1], k[2], k[3]));
    connect(m_flight, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_progress = v.toDouble();
        update();
    });
    connect(m_flight, &QVariantAnimation::finished, this, land);
    m_flight->start(QAbstractAnimation::DeleteWhenStopped);
    update();
}

void FlightOverlay::paintEvent(QPaintEvent*)
{
    if (!m_flying && !m_landed) {
        return;
    }
    const bool dark = Appearance::shared().isDark();
    const QColor accentLine = dark ? QColor(0xF8, 0xBD, 0x52) : QColor(0xB1, 0x7A, 0x20);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_flying) {
        const QPointF at = FlightPath::pointAt(m_from, m_to, m_progress);
        const double side = FlightPath::lightSide * FlightPath::scaleAt(m_progress);
        // The glow: the accent at 0.7 fading out over 3 points.
        QRadialGradient glow(at, side / 2.0 + 3.0);
        glow.setColorAt(0.0, withOpacity(BrandTokens::accent(), 0.7));
        glow.setColorAt(1.0, withOpacity(BrandTokens::accent(), 0.0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(glow);
        painter.drawEllipse(at, side / 2.0 + 3.0, side / 2.0 + 3.0);
        painter.setBrush(accentLine);
        painter.drawEllipse(at, side / 2.0, side / 2.0);
    }
    if (m_landed) {
        const double scale = 0.2 + 0.8 * m_ring;
        const double opacity = 0.9 * (1.0 - m_ring);
        if (opacity > 0.0) {
            const double radius = FlightPath::ringSide / 2.0 * scale;
            painter.setOpacity(opacity);
            painter.setPen(QPen(accentLine, 1.0));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(m_to, radius - 0.5, radius - 0.5);
        }
    }
}

} // namespace kestravin
