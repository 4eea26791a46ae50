#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

namespace kestravin {

// The one-window-per-owner pattern of the application's windows: makes the
// window with `make` on first use (centred on the primary screen's available
// area), then shows it in front and gives it the keyboard. Returns it.
QWidget* presentWindow(QPointer<QWidget>& window, const std::function<QWidget*()>& make);

} // namespace kestravin
