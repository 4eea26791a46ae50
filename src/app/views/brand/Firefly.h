#pragma once

#include <QWidget>

namespace kestravin {

// The mascot artwork in a square frame of `size` × `size`. The artwork is drawn
// in a 3:2 frame, so it is fitted with its aspect kept (size × size/1.5, centred).
// Decorative; draws nothing when the artwork is missing.
class Firefly : public QWidget {
    Q_OBJECT
public:
    explicit Firefly(double size, QWidget* parent = nullptr);

    double artworkSize() const { return m_size; }
    QSize sizeHint() const override;

    // Paints the mascot fitted into a square of side `size` at `topLeft`.
    static void paint(QPainter& painter, const QPointF& topLeft, double size);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_size;
};

// The mascot beside the product name: a 48-point firefly, 8 points, then
// "Kestravin" in a 20-point semibold rounded face.
class BrandHeader : public QWidget {
    Q_OBJECT
public:
    explicit BrandHeader(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kestravin
