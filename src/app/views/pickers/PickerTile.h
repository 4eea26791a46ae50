#pragma once

#include "app/views/brand/BrandMotion.h"

#include <QAbstractButton>
#include <QPointer>

namespace kestravin {

class SelectionCheck;

// A toggle tile of the pickers: a full-width button with an icon well, a
// name over a second line and the round selection mark at its trailing edge.
// Blocked tiles take the selected fill and the accent border; a free tile under
// the pointer recedes. The icon hops when the picker raises the tile's hop tick;
// the tile shrinks slightly while pressed (neither under reduce motion).
class PickerTile : public QAbstractButton {
    Q_OBJECT
public:
    PickerTile(QString id, QWidget* parent = nullptr);

    QString id() const { return m_id; }
    bool isBlocked() const { return m_blocked; }
    void setBlocked(bool blocked);
    bool isHovered() const { return m_hovered; }
    // A new tick of 1 or more hops; 0 (the signal moved to another tile) does not.
    void setHopTick(int tick);
    int hopTick() const { return m_hopTick; }
    bool isHopping() const { return m_hopping; }
    void setTexts(const QString& name, const QString& caption);
    QString name() const { return m_name; }
    QString caption() const { return m_caption; }

    // The centre of the selection mark, where the mascot's flight starts.
    QPoint checkCentre() const;
    QColor background() const;
    QColor border() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Draws the icon in the 32 × 32 well.
    virtual void paintIcon(QPainter& painter, const QRectF& well) = 0;
    virtual void paintWell(QPainter& painter, const QRectF& well);
    QColor captionColor() const;

private:
    void hop();
    void setHopping(bool hopping);

    QString m_id;
    QString m_name;
    QString m_caption;
    bool m_blocked = false;
    bool m_hovered = false;
    bool m_hopping = false;
    int m_hopTick = 0;
    BrandTween m_hover;
    BrandTween m_block;
    BrandTween m_press;
    BrandTween m_hopLift;
    SelectionCheck* m_check;
};

} // namespace kestravin
