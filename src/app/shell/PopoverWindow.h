#pragma once

#include "app/platform/Clock.h"

#include <QDateTime>
#include <QPointer>
#include <QWidget>

class QVBoxLayout;

namespace kestravin {

// The frameless window under the tray item that hosts the popover's view.
// It closes when it loses the focus; a tray click that arrives right after
// such a close (the click that took the focus away) does not reopen it.
// Escape closes it too, as it closes a menu.
class PopoverWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int popoverWidth = 360;
    static constexpr int maximumHeight = 520;
    // A tray click this soon after a focus-loss close belongs to that close.
    static constexpr qint64 reopenGuardMs = 400;

    explicit PopoverWindow(Clock& clock = Clock::system(), QWidget* parent = nullptr);

    // The view shown inside; the window takes it over and drops the old one.
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }

    // The tray item's action: closes an open popover, otherwise opens it at
    // `anchor` (the cursor when null).
    void toggle(QPoint anchor);
    void showAt(QPoint anchor);

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    Clock& m_clock;
    QVBoxLayout* m_layout;
    QPointer<QWidget> m_content;
    QDateTime m_closedByFocusLossAt;
};

} // namespace kestravin
