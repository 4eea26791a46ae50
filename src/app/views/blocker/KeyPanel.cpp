#include "app/views/blocker/KeyPanel.h"

#include "app/platform/WindowStates.h"
#include "app/views/blocker/AppBlockView.h"
#include "app/views/blocker/FloatingPanel.h"
#include "app/views/brand/Appearance.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

constexpr QSize startingSize(420, 300);
constexpr double cardRadius = 28.0;

// A borderless window moved by dragging its background; the view's buttons
// take their own presses, everything else reaches here.
class PanelWindow : public QWidget {
public:
    PanelWindow() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    {
        setWindowTitle(u"Kestravin"_s);
        FloatingPanel::prepare(this);
        resize(startingSize);
        connect(&Appearance::shared(), &Appearance::changed, this,
            [this] { FloatingPanel::shape(this, size(), cardRadius); });
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && windowHandle() != nullptr) {
            windowHandle()->startSystemMove();
        }
    }
};

QScreen* screenForPanel()
{
    // The screen the user is looking at: the one under the pointer.
    if (QScreen* screen = QGuiApplication::screenAt(QCursor::pos())) {
        return screen;
    }
    return QGuiApplication::primaryScreen();
}

} // namespace

KeyPanel::KeyPanel() = default;

KeyPanel::~KeyPanel() = default;

bool KeyPanel::isVisible() const
{
    return m_window && m_window->isVisible();
}

void KeyPanel::show(const Content& content)
{
    if (!m_window) {
        m_window = std::make_unique<PanelWindow>();
    }
    if (m_view) {
        // The old view may be the one whose button led here.
        m_view->hide();
        m_view->deleteLater();
    }
    m_view = new AppBlockView(
        content.name, content.icon, content.endsAt, content.onFolga, content.onReturn, m_window.get());
    const QSize size = m_view->sizeHint();
    m_view->setGeometry(QRect(QPoint(0, 0), size));
    m_view->show();
    m_window->setFixedSize(size);

    FloatingPanel::shape(m_window.get(), size, cardRadius);

    if (QScreen* screen = screenForPanel()) {
        const QRect area = screen->availableGeometry();
        m_window->move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
    }

    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    WindowStates::current().keepAboveOnEveryDesktop(m_window->windowHandle());
    // Window managers that prevent focus stealing refuse the application's
    // own request; the panel must hold the keyboard all the same.
    WindowStates::current().requestActivation(m_window->windowHandle());
    m_view->setFocus(Qt::ActiveWindowFocusReason);
}

void KeyPanel::hide()
{
    if (m_window) {
        m_window->hide();
    }
}

} // namespace kestravin
