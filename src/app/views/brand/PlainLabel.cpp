#include "app/views/brand/PlainLabel.h"

#include <QLabel>

namespace kestravin {

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace kestravin
