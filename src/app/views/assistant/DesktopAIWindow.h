#pragma once

#include "app/views/assistant/DesktopAIView.h"

#include <QWidget>

namespace kestravin {

// The assistant's window: 560 × 640, fixed, titled "Pedir ajuda à Orla", with
// the view padded 28 points on the flat backdrop. Closing it only hides it, so
// the form and the conversation survive until it is shown again.
class DesktopAIWindow : public QWidget {
    Q_OBJECT
public:
    explicit DesktopAIWindow(DesktopAIView::Services services, QWidget* parent = nullptr);

    DesktopAIView* view() const { return m_view; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DesktopAIView* m_view;
};

} // namespace kestravin
