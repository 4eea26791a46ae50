#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QLabel>

namespace kestravin {

// Small pieces the account pages share.
namespace AccountWidgets {

// A label in the design system's font; wraps unless told otherwise.
QLabel* text(const QString& content, int size, QFont::Weight weight, QWidget* parent, bool wrap = true);
// Sets a label's (or any widget's) text colour.
void setInk(QWidget* widget, const QColor& color);

} // namespace AccountWidgets

// A text-only button in the accent tone, as a link reads; named by its
// accessible text.
class LinkButton : public QAbstractButton {
    Q_OBJECT
public:
    LinkButton(const QString& title, const QString& accessibleText, int size, QWidget* parent = nullptr);
    void setTextColor(const QColor& color);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QColor m_color;
    bool m_hovered = false;
};

// A rounded panel filled with one colour and, optionally, outlined.
class RoundedPanel : public QWidget {
    Q_OBJECT
public:
    explicit RoundedPanel(double radius, QWidget* parent = nullptr);
    void setColors(const QColor& fill, const QColor& outline = {});

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_radius;
    QColor m_fill;
    QColor m_outline;
};

} // namespace kestravin
