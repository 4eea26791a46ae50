#pragma once

#include "app/views/brand/BrandMotion.h"

#include <QAbstractButton>

namespace kestravin {

class LinkPressStyle;

// A small pill with a title and a trailing chevron that jumps from a line of
// summary to the place where the thing is changed. Quiet text on the sunk
// surface at rest, ink on paper under the pointer; the chevron steps 2 points
// forward on hover unless motion is reduced. It keeps its full width in a row,
// so neighbours shrink before it does. Its accessible name is
// `accessibilityText`, or the title followed by " na etapa anterior".
class SummaryLink : public QAbstractButton {
    Q_OBJECT
public:
    SummaryLink(const QString& title, const QString& accessibilityText = {}, QWidget* parent = nullptr);

    static QString accessibleNameFor(const QString& title, const QString& accessibilityText);

    // 0 at rest, 1 fully hovered.
    double hoverAmount() const { return m_hover.value(); }
    double pressScale() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setHovered(bool hovered);

    LinkPressStyle* m_press;
    BrandTween m_hover;
};

} // namespace kestravin
