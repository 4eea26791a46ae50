#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QLabel>

class QTextLayout;

namespace kestravin {

// Small pieces the account pages share.
namespace AccountWidgets {

// A label in the design system's font; wraps unless told otherwise.
QLabel* text(const QString& content, int size, QFont::Weight weight, QWidget* parent, bool wrap = true);
// The same for texts from outside (the server's messages, an address): a
// word longer than the line breaks too (a MessageLabel).
QLabel* message(int size, QFont::Weight weight, QWidget* parent);
// Sets a label's (or any widget's) text colour.
void setInk(QWidget* widget, const QColor& color);

} // namespace AccountWidgets

// A plain-text label whose lines break between words and, inside a word too
// long for its width (an address, a path, a code), anywhere: it never asks
// for more width than its longest line needs nor paints past its edge.
// text() and the accessible name stay the text as given.
class MessageLabel : public QLabel {
    Q_OBJECT
public:
    explicit MessageLabel(QWidget* parent = nullptr);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Lays the text out at `width` (pixels, without margins); returns its height.
    double layOut(QTextLayout& layout, double width) const;
};

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
