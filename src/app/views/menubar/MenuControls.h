#pragma once

#include "app/views/brand/BrandButton.h"
#include "app/views/brand/SummaryLink.h"

#include <QAbstractButton>
#include <QWidget>

class QHBoxLayout;

namespace kestravin {

class LinkPressStyle;

// A small on/off switch; a checkable button, so assistive technology reads
// its state.
class MenuSwitch : public QAbstractButton {
    Q_OBJECT
public:
    explicit MenuSwitch(const QString& accessibleName, QWidget* parent = nullptr);
    QSize sizeHint() const override { return { 34, 20 }; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A square step button of the custom duration: a symbol on the field surface
// with a hairline border, faded while disabled.
class StepButton : public QAbstractButton {
    Q_OBJECT
public:
    StepButton(const QString& symbol, const QString& accessibleName, QWidget* parent = nullptr);
    QSize sizeHint() const override { return { 40, 30 }; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    LinkPressStyle* m_press;
};

// A brand button whose label is a row of child widgets (texts, rolling text,
// icons), laid out leading-aligned across the whole width.
class RowButton : public BrandButton {
    Q_OBJECT
public:
    explicit RowButton(bool prominent, QWidget* parent = nullptr);
    QHBoxLayout* row() const { return m_row; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    QHBoxLayout* m_row;
};

// A small filled circle; decorative, the status text says the same.
class StatusDot : public QWidget {
    Q_OBJECT
public:
    explicit StatusDot(QWidget* parent = nullptr);
    void setColor(const QColor& color);
    QColor color() const { return m_color; }
    QSize sizeHint() const override { return { 6, 6 }; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};

// A symbol drawn in a fixed colour (the accent unless told); decorative.
class SymbolIcon : public QWidget {
    Q_OBJECT
public:
    SymbolIcon(const QString& name, int size, QWidget* parent = nullptr);
    void setColor(const QColor& color);
    QSize sizeHint() const override { return { m_size, m_size }; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
    int m_size;
    QColor m_color;
};

} // namespace kestravin
