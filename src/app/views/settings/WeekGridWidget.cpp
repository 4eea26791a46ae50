#include "WeekGridWidget.h"

#include "WeekEditorModel.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandMotion.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/RollingText.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

constexpr double activeSeconds = 0.14;
constexpr double dimmedSeconds = 0.12;
constexpr double dropSeconds = 0.26;
constexpr double glowSeconds = 0.9;
constexpr double removalSeconds = 0.2;
constexpr double presetStagger = 0.035;
constexpr double fadedOpacity = 0.45;
const BrandSpring entranceSpring { 0.42, 0.64 };

double progress(double elapsed, double duration)
{
    return duration <= 0 ? 1.0 : std::clamp(elapsed / duration, 0.0, 1.0);
}

double eased(const QEasingCurve& curve, double elapsed, double duration)
{
    return curve.valueForProgress(progress(elapsed, duration));
}

} // namespace

WeekGridWidget::WeekGridWidget(WeekEditorModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    installAccessibility();
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
    setAccessibleName(u"Semana de horários"_s);
    setAccessibleDescription(u"Arraste numa coluna para criar um bloco de foco."_s);
    m_frames.setInterval(16);
    connect(&m_frames, &QTimer::timeout, this, qOverload<>(&QWidget::update));
    connect(&m_model, &WeekEditorModel::changed, this, &WeekGridWidget::modelChanged);
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
    modelChanged();
}

void WeekGridWidget::setFirstHour(int hour)
{
    m_firstHour = std::clamp(hour, 0, 23);
    updateGeometry();
    update();
}

void WeekGridWidget::setHourHeight(double height)
{
    if (m_hourHeight == height) {
        return;
    }
    m_hourHeight = height;
    updateGeometry();
    update();
}

void WeekGridWidget::setPresetPulse(std::optional<int> tick)
{
    m_presetTick = tick;
    update();
}

void WeekGridWidget::setFaded(bool faded)
{
    if (m_faded != faded) {
        m_faded = faded;
        update();
    }
}

void WeekGridWidget::setAnimationClock(std::function<double()> clock)
{
    m_clock = std::move(clock);
}

double WeekGridWidget::now() const
{
    if (m_clock) {
        return m_clock();
    }
    static QElapsedTimer timer;
    if (!timer.isValid()) {
        timer.start();
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

QList<std::pair<PlacedBlock, int>> WeekGridWidget::placedBlocks() const
{
    QList<std::pair<PlacedBlock, int>> blocks;
    const WeekSchedule::Week week = m_model.week();
    for (int column = 0; column < 7; ++column) {
        const int day = WeekSchedule::gridOrder[size_t(column)];
        for (const MinuteRange& range : day < week.size() ? week[day] : QList<MinuteRange> {}) {
            blocks.append({ PlacedBlock { day, range }, column });
        }
    }
    return blocks;
}

QString WeekGridWidget::blockName(const PlacedBlock& block)
{
    return WeekSchedule::dayShort().value(block.day) + u' ' + RollingTime::label(block.range.start) + u"–"_s
        + RollingTime::label(block.range.end);
}

QSize WeekGridWidget::sizeHint() const
{
    return { 560, int(std::ceil((24 - m_firstHour) * m_hourHeight + 2 * verticalPadding)) };
}

QSize WeekGridWidget::minimumSizeHint() const
{
    return { int(WeekGrid::gutter) + 7 * 20, sizeHint().height() };
}

GridLayout WeekGridWidget::gridLayout() const
{
    const double columns = std::max(0.0, (width() - WeekGrid::gutter - 6 * WeekGrid::gap) / 7);
    return { columns, WeekGrid::gap, m_hourHeight, m_firstHour * 60 };
}

QPointF WeekGridWidget::toGrid(QPointF position) const
{
    return position - QPointF(WeekGrid::gutter, verticalPadding);
}

QPointF WeekGridWidget::fromGrid(QPointF point) const
{
    return point + QPointF(WeekGrid::gutter, verticalPadding);
}

QRectF WeekGridWidget::blockRect(int column, MinuteRange range) const
{
    const BlockGeometry g = BlockGeometry::of(gridLayout(), column, range);
    return QRectF(fromGrid({ g.left, g.top }), fromGrid({ g.right, g.bottom }));
}

void WeekGridWidget::modelChanged()
{
    // Blocks that left the week fade out where they stood.
    QHash<QString, std::pair<QRectF, MinuteRange>> blocks;
    for (const auto& [block, column] : placedBlocks()) {
        blocks.insert(block.id(), { blockRect(column, block.range), block.range });
    }
    const double t = now();
    for (auto it = m_lastBlocks.cbegin(); it != m_lastBlocks.cend(); ++it) {
        if (!blocks.contains(it.key())) {
            m_removals.append({ it->first, it->second, t });
        }
    }
    m_lastBlocks = blocks;
    update();
}

BlockLook WeekGridWidget::lookOf(const QString& identity, const PlacedBlock& block, int column, double t, bool& moving)
{
    const bool reduceMotion = Appearance::shared().reduceMotion();
    const auto& drag = m_model.drags().drag();
    const bool dragging = drag.has_value();
    const bool selected = m_model.selection() == BlockRef { block.day, block.range.start };
    const bool hovered = m_model.hover() == block;
    const bool dimmed = dragging && drag->moved && !drag->cancelled && drag->source == block;

    auto found = m_motions.find(identity);
    if (found == m_motions.end()) {
        Motion motion;
        motion.shownAt = t;
        motion.entry = m_presetTick ? BlockEntry::presetAfter(column * presetStagger)
                                    : m_model.entries().value(block.id(), BlockEntry {});
        motion.active = motion.activeTarget = (selected || hovered) && !dragging ? 1 : 0;
        motion.dimmed = motion.dimmedTarget = dimmed ? 1 : 0;
        found = m_motions.insert(identity, motion);
    }
    Motion& m = *found;
    m.seen = true;

    auto follow = [&](double& value, double& from, double& target, double& since, double wanted, double duration) {
        if (wanted != target) {
            from = value;
            target = wanted;
            since = t;
        }
        if (reduceMotion || since < 0) {
            value = target;
            return;
        }
        value = from + (target - from) * eased(BrandMotion::easeOutCurve(), t - since, duration);
        if (t - since < duration) {
            moving = true;
        }
    };
    follow(m.active, m.activeFrom, m.activeTarget, m.activeSince, (selected || hovered) && !dragging ? 1 : 0,
        activeSeconds);
    follow(m.dimmed, m.dimmedFrom, m.dimmedTarget, m.dimmedSince, dimmed ? 1 : 0, dimmedSeconds);

    BlockLook look;
    look.range = block.range;
    look.rect = blockRect(column, block.range);
    look.selected = selected;
    look.active = m.active;
    look.dimmed = m.dimmed;

    const double elapsed = t - m.shownAt;
    if (reduceMotion) {
        return look;
    }
    switch (m.entry.kind) {
    case BlockEntry::Kind::none:
        break;
    case BlockEntry::Kind::fresh: {
        const double p = entranceSpring.value(elapsed);
        look.opacity = std::clamp(p, 0.0, 1.0);
        look.verticalScale = 0.9 + 0.1 * p;
        look.glow = 1.0 - eased(BrandMotion::easeOutCurve(), elapsed, glowSeconds);
        moving = moving || elapsed < std::max(entranceSpring.settleSeconds(), glowSeconds);
        break;
    }
    case BlockEntry::Kind::drop: {
        const double p = eased(BrandMotion::brandCurve(), elapsed, dropSeconds);
        look.lift = m.entry.lift + (1.0 - m.entry.lift) * p;
        look.deepShadow = 1.0 - p;
        look.glow = m.entry.glow ? 1.0 - eased(BrandMotion::easeOutCurve(), elapsed, glowSeconds) : 0.0;
        moving = moving || elapsed < (m.entry.glow ? glowSeconds : dropSeconds);
        break;
    }
    case BlockEntry::Kind::preset: {
        const double local = elapsed - m.entry.delay;
        const double p = local <= 0 ? 0.0 : entranceSpring.value(local);
        look.opacity = std::clamp(p, 0.0, 1.0);
        look.verticalScale = 0.6 + 0.4 * p;
        look.scaleFromCentre = true;
        moving = moving || local < entranceSpring.settleSeconds();
        break;
    }
    }
    return look;
}

void WeekGridWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_faded ? fadedOpacity : 1.0);
    const ColorScheme scheme = Appearance::shared().colorScheme();
    const BrandPalette& palette = BrandPalette::of(scheme);
    const GridLayout layout = gridLayout();
    const double t = now();
    bool moving = false;

    // Hour gutter.
    painter.setFont(BrandFonts::font(10, QFont::Medium));
    painter.setPen(palette.mutedInk);
    for (int hour = m_firstHour; hour < 24; ++hour) {
        const double y = verticalPadding + (hour - m_firstHour) * m_hourHeight;
        painter.drawText(QRectF(0, y - 6, WeekGrid::gutter - 8, 12), Qt::AlignRight | Qt::AlignVCenter,
            RollingTime::label(hour * 60));
    }

    const double gridHeight = (24 - m_firstHour) * m_hourHeight;
    for (int column = 0; column < 7; ++column) {
        const QRectF rect(fromGrid({ layout.columnLeft(column), 0 }), QSizeF(layout.columnWidth, gridHeight));
        m_painter.paintCachedColumn(painter, rect, m_hourHeight, m_firstHour, scheme);
    }

    // Removed blocks shrink a little and fade.
    const bool reduceMotion = Appearance::shared().reduceMotion();
    for (auto it = m_removals.begin(); it != m_removals.end();) {
        const double p = progress(t - it->since, removalSeconds);
        if (p >= 1.0) {
            it = m_removals.erase(it);
            continue;
        }
        BlockLook look;
        look.range = it->range;
        look.rect = it->rect;
        look.opacity = 1.0 - p;
        if (!reduceMotion) {
            const double scale = 1.0 - 0.06 * p;
            look.lift = scale;
            look.verticalScale = 1.0;
            look.scaleFromCentre = true;
        }
        m_painter.paintBlock(painter, look, scheme);
        moving = true;
        ++it;
    }

    // Blocks: the selected one last, so that it and its ring lie on top.
    for (auto& motion : m_motions) {
        motion.seen = false;
    }
    const QString pulse = u"#%1"_s.arg(m_presetTick.value_or(0));
    std::optional<BlockLook> selectedLook;
    for (const auto& [block, column] : placedBlocks()) {
        const BlockLook look = lookOf(block.id() + pulse, block, column, t, moving);
        if (look.selected) {
            selectedLook = look;
        } else {
            m_painter.paintBlock(painter, look, scheme);
        }
    }
    if (selectedLook) {
        m_painter.paintBlock(painter, *selectedLook, scheme);
    }
    for (auto it = m_motions.begin(); it != m_motions.end();) {
        it = it->seen ? std::next(it) : m_motions.erase(it);
    }

    paintKeyPlace(painter);
    paintPreview(painter);
    ensureTicking(moving);
}

void WeekGridWidget::paintPreview(QPainter& painter)
{
    const auto& drag = m_model.drags().drag();
    if (!drag || !drag->moved || drag->cancelled || drag->kind == WeekDrag::Kind::deleteBadge) {
        return;
    }
    const ColorScheme scheme = Appearance::shared().colorScheme();
    const WeekDragController::Preview preview = WeekDragController::preview(*drag);
    for (int day : preview.days) {
        const int column = int(std::find(WeekSchedule::gridOrder.begin(), WeekSchedule::gridOrder.end(), day)
            - WeekSchedule::gridOrder.begin());
        BlockLook look;
        look.range = preview.range;
        look.rect = blockRect(column, preview.range);
        if (drag->kind == WeekDrag::Kind::create) {
            look.opacity = 0.7;
        } else {
            look.active = 1;
            look.deepShadow = 0.6;
        }
        m_painter.paintBlock(painter, look, scheme);
    }

    // The caption beside the pointer: the day and the span it would take.
    const QString text = (preview.days.size() == 1 ? WeekSchedule::dayShort().value(preview.days.first())
                                                   : WeekSchedule::daysLabel(preview.days))
        + u" · "_s + RollingTime::label(preview.range.start) + u"–"_s + RollingTime::label(preview.range.end);
    const BrandPalette& palette = BrandPalette::of(scheme);
    painter.save();
    painter.setFont(BrandFonts::font(11, QFont::DemiBold));
    const QSizeF size(painter.fontMetrics().horizontalAdvance(text) + 16, 22);
    QPointF at = fromGrid({ drag->current.x, drag->current.y }) + QPointF(14, 10);
    at.setX(std::min(at.x(), width() - size.width() - 2));
    at.setY(std::min(at.y(), height() - size.height() - 2));
    const QRectF box(at, size);
    painter.fillPath(BrandShapes::capsule(box), palette.ink);
    painter.setPen(palette.paper);
    painter.drawText(box, Qt::AlignCenter, text);
    painter.restore();
}

void WeekGridWidget::ensureTicking(bool moving)
{
    if (moving && !m_frames.isActive()) {
        m_frames.start();
    } else if (!moving && m_frames.isActive()) {
        m_frames.stop();
    }
}

void WeekGridWidget::updateCursor(QPointF position)
{
    if (m_model.drags().isDragging()) {
        return;
    }
    const std::optional<BlockHit> hit = WeekGrid::hit(toGrid(position), m_model.week(), gridLayout());
    m_model.setHover(hit ? std::optional<PlacedBlock>(hit->block) : std::nullopt);
    if (!hit) {
        setCursor(Qt::CrossCursor);
        return;
    }
    switch (hit->part) {
    case BlockHit::Part::body:
        setCursor(Qt::OpenHandCursor);
        break;
    case BlockHit::Part::top:
    case BlockHit::Part::bottom:
        setCursor(Qt::SizeVerCursor);
        break;
    case BlockHit::Part::deleteBadge:
        setCursor(Qt::PointingHandCursor);
        break;
    }
}

void WeekGridWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    m_model.begin(toGrid(event->position()), gridLayout());
    if (m_model.drags().drag() && m_model.drags().drag()->kind == WeekDrag::Kind::move) {
        setCursor(Qt::ClosedHandCursor);
    }
}

void WeekGridWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (m_model.drags().isDragging()) {
        m_model.update(toGrid(event->position()), gridLayout());
        return;
    }
    updateCursor(event->position());
}

void WeekGridWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_model.finish();
    updateCursor(event->position());
}

void WeekGridWidget::leaveEvent(QEvent* event)
{
    m_model.setHover(std::nullopt);
    if (!m_model.drags().isDragging()) {
        setCursor(Qt::ArrowCursor);
    }
    QWidget::leaveEvent(event);
}

void WeekGridWidget::keyPressEvent(QKeyEvent* event)
{
    if (!m_model.isActive()) {
        if (event->matches(QKeySequence::Undo) && m_model.undoable()) {
            m_model.undoDelete();
            return;
        }
        if (handleKeyPlace(event)) {
            return;
        }
        QWidget::keyPressEvent(event);
        return;
    }
    bool handled = true;
    switch (event->key()) {
    case Qt::Key_Escape:
        if (m_model.drags().isDragging()) {
            m_model.cancelDrag();
        } else {
            m_model.setSelection(std::nullopt);
        }
        break;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        handled = m_model.deleteSelection();
        break;
    case Qt::Key_Up:
        handled = m_model.moveSelection(-WeekGrid::step, 0);
        break;
    case Qt::Key_Down:
        handled = m_model.moveSelection(WeekGrid::step, 0);
        break;
    case Qt::Key_Left:
        handled = m_model.moveSelection(0, -1);
        break;
    case Qt::Key_Right:
        handled = m_model.moveSelection(0, 1);
        break;
    default:
        handled = event->matches(QKeySequence::Undo) && m_model.undoable();
        if (handled) {
            m_model.undoDelete();
        }
        break;
    }
    if (!handled) {
        QWidget::keyPressEvent(event);
        return;
    }
    // The keyboard's place follows the block it moved, so that it is still
    // there once the selection ends.
    if (const auto block = m_model.selectedBlock()) {
        m_keyPlace = KeyPlace { block->day, std::max(m_firstHour * 60, block->range.start / 60 * 60) };
    }
    update();
}

std::optional<PlacedBlock> WeekGridWidget::keyBlock() const
{
    if (!m_keyPlace) {
        return std::nullopt;
    }
    for (const auto& [block, column] : placedBlocks()) {
        if (block.day == m_keyPlace->day && block.range.start < m_keyPlace->minute + 60
            && block.range.end > m_keyPlace->minute) {
            return block;
        }
    }
    return std::nullopt;
}

std::optional<WeekGridWidget::KeyPlace> WeekGridWidget::emptyKeyPlace() const
{
    if (!m_keyPlace || !hasFocus() || m_model.isActive() || keyBlock()) {
        return std::nullopt;
    }
    return m_keyPlace;
}

QString WeekGridWidget::emptyHourName(KeyPlace place)
{
    return WeekSchedule::dayShort().value(place.day) + u' ' + RollingTime::label(place.minute) + u"–"_s
        + RollingTime::label(place.minute + 60) + u", vazio"_s;
}

bool WeekGridWidget::handleKeyPlace(QKeyEvent* event)
{
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    switch (event->key()) {
    case Qt::Key_Up:
        moveKeyPlace(-60, 0);
        return true;
    case Qt::Key_Down:
        moveKeyPlace(60, 0);
        return true;
    case Qt::Key_Left:
        moveKeyPlace(0, -1);
        return true;
    case Qt::Key_Right:
        moveKeyPlace(0, 1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: {
        const KeyPlace place = m_keyPlace.value_or(KeyPlace {});
        m_keyPlace = place;
        if (const auto block = keyBlock()) {
            m_model.setSelection(BlockRef { block->day, block->range.start });
        } else {
            m_model.addBlock(place.day, MinuteRange { place.minute, place.minute + 60 });
        }
        update();
        return true;
    }
    default:
        return false;
    }
}

void WeekGridWidget::moveKeyPlace(int minutes, int days)
{
    KeyPlace place = m_keyPlace.value_or(KeyPlace {});
    place.minute = std::clamp(place.minute + minutes, m_firstHour * 60, 23 * 60);
    place.day = (place.day + days + 7) % 7;
    m_keyPlace = place;
    update();
    announceKeyPlace();
}

void WeekGridWidget::announceKeyPlace()
{
    if (!hasFocus()) {
        return;
    }
    QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(this);
    if (!grid) {
        return;
    }
    // The block there, else the empty hour (the grid's last child then).
    const auto block = keyBlock();
    const auto blocks = placedBlocks();
    int index = emptyKeyPlace() ? int(blocks.size()) : -1;
    for (int i = 0; block && i < blocks.size(); ++i) {
        if (blocks[i].first == *block) {
            index = i;
            break;
        }
    }
    if (QAccessibleInterface* child = index >= 0 ? grid->child(index) : nullptr) {
        QAccessibleEvent focused(child, QAccessible::Focus);
        QAccessible::updateAccessibility(&focused);
    }
}

void WeekGridWidget::focusInEvent(QFocusEvent* event)
{
    if (!m_keyPlace) {
        // The first block of the week, else Monday morning.
        const auto blocks = placedBlocks();
        m_keyPlace = blocks.isEmpty() ? KeyPlace { 1, std::max(m_firstHour * 60, 9 * 60) }
                                      : KeyPlace { blocks.first().first.day,
                                            std::max(m_firstHour * 60, blocks.first().first.range.start / 60 * 60) };
    }
    QWidget::focusInEvent(event);
    update();
    announceKeyPlace();
}

void WeekGridWidget::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void WeekGridWidget::paintKeyPlace(QPainter& painter)
{
    if (!hasFocus() || !m_keyPlace || m_model.isActive()) {
        return;
    }
    const auto block = keyBlock();
    const MinuteRange range = block ? block->range : MinuteRange { m_keyPlace->minute, m_keyPlace->minute + 60 };
    const QRectF rect = blockRect(m_keyPlace->day, range);
    painter.save();
    painter.setOpacity(1.0);
    painter.strokePath(BrandShapes::strokeInside(rect, 10, 2.0),
        QPen(BrandPalette::of(Appearance::shared().colorScheme()).focusRing, 2.0));
    painter.restore();
}

} // namespace kestravin
