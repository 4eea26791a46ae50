#pragma once

#include "app/views/brand/BrandMotion.h"

#include <QList>
#include <QWidget>

namespace kestravin {

// The time left of an allowed exception ("4:05") with digits of equal width.
// When the time changes, only the characters that differ roll: the old one
// slides down and fades while the new one comes in from above, as a counter
// that counts down. Under reduce motion the text changes at once. The caller's
// font and text colour apply. Drawn only: its parent names it for the reader.
class CountdownDigits : public QWidget {
    Q_OBJECT
public:
    explicit CountdownDigits(QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);

    // Whether the character at `index` of the text is rolling now.
    bool isRolling(int index) const;

    // The vertical offsets (as a fraction of the roll distance) and opacities of
    // a character coming in and of the one it replaces, `progress` into its roll.
    struct Frame {
        double enterOffset = 0.0;
        double enterOpacity = 1.0;
        double leaveOffset = 0.0;
        double leaveOpacity = 0.0;
    };
    static Frame frameAt(double progress);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Slot {
        QChar shown;
        QChar leaving;
        BrandTween* roll = nullptr;
    };
    double advance(QChar c) const;

    QString m_text;
    QList<Slot> m_slots;
};

} // namespace kestravin
