#pragma once

#include <QString>

class QBoxLayout;
class QLabel;
class QWidget;

namespace kestravin {

class RollingText;

// Pieces both pickers build the same way.
namespace PickerPage {
// The title block: a large rounded title over a muted line.
void addHeader(QBoxLayout* layout, const QString& title, const QString& subtitle);
QLabel* mutedLabel(const QString& text, int pixelSize, QWidget* parent = nullptr);
// The counter: a rolling number followed by " para depois", read as one.
QWidget* counter(RollingText** number, int initial, QWidget* parent = nullptr);
void setCount(QWidget* counter, RollingText* number, int count, double direction);
} // namespace PickerPage

} // namespace kestravin
