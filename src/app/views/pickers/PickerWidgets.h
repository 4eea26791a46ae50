#pragma once

#include "app/views/brand/BrandMotion.h"

#include <QLineEdit>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

class QToolButton;

namespace kestravin {

class PickerTile;

// Lays tiles out in adaptive columns: as many columns of at least 150 points
// as fit, 8 apart, rows of 60 points 8 apart, each tile as wide as its column.
class TileGrid : public QWidget {
    Q_OBJECT
public:
    explicit TileGrid(QWidget* parent = nullptr);
    // Replaces the tiles shown, in order; tiles no longer listed are hidden, not deleted.
    void setTiles(const QList<PickerTile*>& tiles);
    const QList<PickerTile*>& tiles() const { return m_tiles; }
    static int columnsFor(int width);
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void place();
    QList<PickerTile*> m_tiles;
};

// The pickers' search field: a magnifying glass that tilts while the field has
// focus, the text field itself, and a clear button while there is text.
class PickerSearchField : public QWidget {
    Q_OBJECT
public:
    PickerSearchField(const QString& placeholder, QWidget* parent = nullptr);
    QLineEdit* edit() const { return m_edit; }
    QToolButton* clearButton() const { return m_clear; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_edit;
    QToolButton* m_clear;
    BrandTween m_tilt;
    bool m_focused = false;
};

// The pill that explains a refused removal during a focus.
class LockNotice : public QWidget {
    Q_OBJECT
public:
    explicit LockNotice(QWidget* parent = nullptr);
    QString text() const { return m_text; }
    // Shows `text` with a fade; an empty text fades the pill out.
    void setText(const QString& text);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QString m_shown;
    BrandTween m_opacity;
};

// A layer over a picker that takes no clicks and flies the mascot's light
// from a tile's check mark to the counter, where a ring opens as it lands.
class FlightOverlay : public QWidget {
    Q_OBJECT
public:
    explicit FlightOverlay(QWidget* parent);
    // Starts a new flight; one already under way is replaced.
    void fly(QPointF from, QPointF to);
    // Flies from `tile`'s check mark to the centre of `target` once for each
    // new tick of the picker's flight signal (none for a tile not shown).
    void follow(int tick, const PickerTile* tile, const QWidget* target);
    bool isFlying() const { return m_flying; }
    bool hasLanded() const { return m_landed; }
    double progress() const { return m_progress; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointF m_from;
    QPointF m_to;
    double m_progress = 0.0;
    double m_ring = 0.0;
    bool m_flying = false;
    bool m_landed = false;
    int m_followedTick = 0;
    QPointer<QVariantAnimation> m_flight;
    QPointer<QVariantAnimation> m_ringAnimation;
};

} // namespace kestravin
