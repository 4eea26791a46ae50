#include "app/views/brand/BrandTextField.h"

#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kestravin {

namespace {

constexpr double radius = 12.0;
constexpr int paddingX = 12;
constexpr int paddingY = 7;
// QLineEdit keeps 2 pixels of its own between its margin and the text.
constexpr int lineEditInnerMargin = 2;
constexpr int fieldMinimumHeight = 36;
constexpr int editorPadding = 10;
constexpr int editorMinimumHeight = 100;

void makeTransparent(QWidget* widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Window, Qt::transparent);
    widget->setPalette(palette);
    widget->setAutoFillBackground(false);
}

} // namespace

void paintBrandInputSurface(QPainter& painter, const QRectF& rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(BrandPalette::current().paper);
    painter.drawPath(BrandShapes::continuousRect(rect, radius));
    painter.restore();
}

void paintBrandInputBorder(QPainter& painter, const QRectF& rect, bool focused)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const BrandPalette& palette = BrandPalette::current();
    const double width = focused ? 2.0 : 1.0;
    painter.setPen(QPen(focused ? palette.focusRing : palette.hairline, width));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(BrandShapes::strokeInside(rect, radius, width));
    painter.restore();
}

void paintBrandInputFrame(QPainter& painter, const QRectF& rect, bool focused)
{
    paintBrandInputSurface(painter, rect);
    paintBrandInputBorder(painter, rect, focused);
}

BrandTextFieldStyle* BrandTextFieldStyle::apply(QLineEdit* field)
{
    return new BrandTextFieldStyle(field);
}

BrandTextFieldStyle::BrandTextFieldStyle(QLineEdit* field) : QObject(field), m_field(field)
{
    field->setFrame(false);
    field->setTextMargins(paddingX - lineEditInnerMargin, paddingY, paddingX - lineEditInnerMargin, paddingY);
    field->setMinimumHeight(fieldMinimumHeight);
    field->setAttribute(Qt::WA_MacShowFocusRect, false);
    makeTransparent(field);
    m_focused = field->hasFocus();
    field->installEventFilter(this);
    connect(&Appearance::shared(), &Appearance::changed, field, qOverload<>(&QWidget::update));
}

void BrandTextFieldStyle::nameByPlaceholder()
{
    // A field that nobody captioned is read by what it asks for, as its
    // placeholder says; a caption (labelField, or a QLabel buddy) names it instead.
    if (!m_field->accessibleName().isEmpty() || m_field->placeholderText().isEmpty()) {
        return;
    }
    if (QWidget* parent = m_field->parentWidget()) {
        for (QObject* child : parent->children()) {
            auto* label = qobject_cast<QLabel*>(child);
            if (label != nullptr && label->buddy() == m_field) {
                return;
            }
        }
    }
    m_field->setAccessibleName(m_field->placeholderText());
}

bool BrandTextFieldStyle::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_field) {
        return false;
    }
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        m_focused = event->type() == QEvent::FocusIn;
        m_field->update();
        return false;
    case QEvent::Show:
        nameByPlaceholder();
        return false;
    case QEvent::Paint: {
        // Surface under the field's own drawing, border over it.
        {
            QPainter painter(m_field);
            paintBrandInputSurface(painter, m_field->rect());
        }
        static_cast<QObject*>(m_field.data())->event(event);
        QPainter painter(m_field);
        paintBrandInputBorder(painter, m_field->rect(), m_focused);
        return true;
    }
    default:
        return false;
    }
}

BrandTextEditor::BrandTextEditor(QWidget* parent) : QWidget(parent), m_editor(new QPlainTextEdit(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(editorPadding, editorPadding, editorPadding, editorPadding);
    layout->addWidget(m_editor);
    m_editor->setFrameShape(QFrame::NoFrame);
    makeTransparent(m_editor);
    makeTransparent(m_editor->viewport());
    m_editor->document()->setDocumentMargin(0);
    m_editor->installEventFilter(this);
    setFocusProxy(m_editor);
    setMinimumHeight(editorMinimumHeight);
    connect(m_editor, &QPlainTextEdit::textChanged, this, &BrandTextEditor::textChanged);
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

QString BrandTextEditor::text() const
{
    return m_editor->toPlainText();
}

void BrandTextEditor::setText(const QString& text)
{
    if (text != this->text()) {
        m_editor->setPlainText(text);
    }
}

QSize BrandTextEditor::sizeHint() const
{
    return QSize(240, editorMinimumHeight);
}

QSize BrandTextEditor::minimumSizeHint() const
{
    return QSize(2 * editorPadding + 20, editorMinimumHeight);
}

void BrandTextEditor::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintBrandInputFrame(painter, rect(), m_focused);
}

bool BrandTextEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editor && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        m_focused = event->type() == QEvent::FocusIn;
        update();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kestravin
