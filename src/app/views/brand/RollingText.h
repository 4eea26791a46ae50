#pragma once

#include "app/views/brand/BrandMotion.h"

#include <QWidget>

#include <optional>

namespace kestravin {

// A label that rolls like a mechanical counter when its text changes: with
// direction +1 the new text rises from 9 points below while the old one rises
// out and fades; with −1 they move down. Both are clipped at the label's top and
// bottom. Under reduce motion the two simply cross-fade (linear, 0.12 s). The
// caller's font and text colour apply.
class RollingText : public QWidget {
    Q_OBJECT
public:
    explicit RollingText(const QString& text = {}, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    double direction() const { return m_direction; }
    // Shows `text`; a different string rolls in the sign of `direction`.
    void setText(const QString& text, double direction = 1.0);

    bool isRolling() const { return m_roll.isAnimating(); }
    // Vertical offsets and opacities of the entering and leaving texts now.
    struct Frame {
        double enterOffset = 0.0;
        double enterOpacity = 1.0;
        double leaveOffset = 0.0;
        double leaveOpacity = 0.0;
    };
    Frame frame() const { return frameAt(m_roll.value(), m_direction, m_rollReduced); }
    static Frame frameAt(double progress, double direction, bool reduceMotion);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QString m_leaving;
    double m_direction = 1.0;
    bool m_rollReduced = false;
    BrandTween m_roll;
};

// A minute of the day as a rolling clock label ("9h", "9h30") that rolls up when
// the time goes forward and down when it goes back.
class RollingTime : public RollingText {
    Q_OBJECT
public:
    // What the label remembers between renders: the minute shown last and the
    // roll direction in force.
    struct Memory {
        std::optional<int> last;
        double direction = 1.0;

        // Notes minute `m` and returns the direction to roll with.
        double update(int m);
    };

    explicit RollingTime(int minute, QWidget* parent = nullptr);

    int minute() const { return m_minute; }
    void setMinute(int minute);
    const Memory& memory() const { return m_memory; }

    // "9h", "9h30", "24h", "1h05".
    static QString label(int minute);

private:
    int m_minute;
    Memory m_memory;
};

// A range of minutes as two rolling clock labels joined by an en dash.
class RollingRange : public QWidget {
    Q_OBJECT
public:
    RollingRange(int start, int end, QWidget* parent = nullptr);

    void setRange(int start, int end);
    RollingTime* startLabel() const { return m_start; }
    RollingTime* endLabel() const { return m_end; }
    // The text as read: start, en dash, end.
    QString text() const;

private:
    RollingTime* m_start;
    RollingTime* m_end;
};

} // namespace kestravin
