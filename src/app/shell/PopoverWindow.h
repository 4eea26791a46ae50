#pragma once

#include "app/platform/Clock.h"

#include <QDateTime>
#include <QPointer>
#include <QWidget>

namespace kestravin {

// The frameless window under the tray item that hosts the popover's view.
// It closes when it loses the focus; a tray click that arrives right after
// such a close (the click that took the focus away) does not reopen it.
// Escape closes it too, as it closes a menu. While open it follows the
// height its content asks for, so a line that wraps or a section that goes
// never leaves the column clipped or a gap below it.
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
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Sizes the window to its content and places it for the last anchor.
    void fitToContent();

    Clock& m_clock;
    QPointer<QWidget> m_content;
    QDateTime m_closedByFocusLossAt;
    QPoint m_anchor;
};

} // namespace kestravin
