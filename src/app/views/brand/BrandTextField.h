#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

namespace kestravin {

// The look of a single-line brand input, given to any QLineEdit: paper surface,
// rounded rectangle of radius 12, a 1-point hairline border that becomes a
// 2-point focus-ring border while the field has keyboard focus (drawn inside the
// edge, so the field keeps its size), 12/7 padding and a 36-point minimum height.
// The text keeps the caller's font and colour.
class BrandTextFieldStyle : public QObject {
    Q_OBJECT
public:
    // Styles `field`; the style lives as long as the field.
    static BrandTextFieldStyle* apply(QLineEdit* field);

    bool isFocused() const { return m_focused; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit BrandTextFieldStyle(QLineEdit* field);
    void nameByPlaceholder();

    QPointer<QLineEdit> m_field;
    bool m_focused = false;
};

// Paints the brand input surface and its border into `rect` of `widget`.
void paintBrandInputFrame(QPainter& painter, const QRectF& rect, bool focused);
void paintBrandInputSurface(QPainter& painter, const QRectF& rect);
void paintBrandInputBorder(QPainter& painter, const QRectF& rect, bool focused);

// The multi-line counterpart: a plain-text editor in the body font on the same
// surface and border, 10 points of padding, at least 100 points high; longer
// text scrolls inside with no scroll background of its own.
class BrandTextEditor : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
public:
    explicit BrandTextEditor(QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    QPlainTextEdit* editor() const { return m_editor; }
    bool isFocused() const { return m_focused; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void textChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* m_editor;
    bool m_focused = false;
};

} // namespace kestravin
