#pragma once

#include <QColor>
#include <QWidget>

namespace kestravin {

// A symbol of the design system drawn in one colour at a fixed size. It only
// repeats what the text beside it says, so it stays out of the accessibility
// tree.
class BrandSymbol : public QWidget {
    Q_OBJECT
public:
    BrandSymbol(const QString& name, int size, QColor color, QWidget* parent = nullptr);

    QString name() const { return m_name; }
    void setName(const QString& name);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    QSize sizeHint() const override { return { m_size, m_size }; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
    int m_size;
    QColor m_color;
};

// A one-pixel line across its width, in a colour the owner sets.
class BrandHairline : public QWidget {
    Q_OBJECT
public:
    explicit BrandHairline(QWidget* parent = nullptr);
    void setColor(const QColor& color);
    QColor color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};

} // namespace kestravin
