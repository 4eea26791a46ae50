#pragma once

#include "app/services/appblocker/AppBlockPanel.h"
#include "app/views/blocker/AppBlockView.h"

#include <QPointer>

#include <memory>

class QWidget;

namespace kestravin {

// The covering panel: one frameless window, created on first use and reused,
// that takes the keyboard, stays above every other window (full-screen ones
// included) on every desktop, and shows an AppBlockView centred on the
// screen. Each show replaces the view, fits the window to it and centres it
// again, so there is never more than one.
class KeyPanel final : public AppBlockPanel {
public:
    KeyPanel();
    ~KeyPanel() override;
    KeyPanel(const KeyPanel&) = delete;
    KeyPanel& operator=(const KeyPanel&) = delete;

    void show(const Content& content) override;
    void hide() override;

    // The panel's window (nullptr before the first show) and its current view.
    QWidget* window() const { return m_window.get(); }
    AppBlockView* view() const { return m_view; }
    bool isVisible() const;

private:
    std::unique_ptr<QWidget> m_window;
    QPointer<AppBlockView> m_view;
};

} // namespace kestravin
