#pragma once

#include "app/services/shield/ShieldPanelHost.h"
#include "app/views/shield/BrowserShieldView.h"

#include <QPointer>

#include <functional>

namespace kestravin {

// The browser shield's covering window: frameless, exactly over the browser
// window (560 x 440 centred when its frame is unknown), hosting a new
// BrowserShieldView for every covering. Raised, it stays above everything;
// glued, it sits at the normal level directly above the browser window, so
// that another application in front covers both.
class ShieldPanel final : public ShieldPanelHost {
public:
    explicit ShieldPanel(std::function<BrowserShieldView::Inputs()> inputs);
    ~ShieldPanel() override;
    ShieldPanel(const ShieldPanel&) = delete;
    ShieldPanel& operator=(const ShieldPanel&) = delete;

    void show(const Content& content, const std::optional<QRect>& frame) override;
    void close() override;
    bool exists() const override;
    QRect frame() const override;
    void setFrame(const QRect& frame) override;
    void raiseFloating() override;
    void glueAbove(quint32 window) override;
    void orderOut() override;

    QWidget* window() const { return m_window; }
    BrowserShieldView* view() const { return m_view; }

private:
    std::function<BrowserShieldView::Inputs()> m_inputs;
    QPointer<QWidget> m_window;
    QPointer<BrowserShieldView> m_view;
    bool m_raised = false;
};

} // namespace kestravin
