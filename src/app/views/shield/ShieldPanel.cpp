#include "app/views/shield/ShieldPanel.h"

#include "app/platform/WindowStates.h"
#include "app/views/blocker/FloatingPanel.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

constexpr QSize defaultSize(560, 440);

} // namespace

ShieldPanel::ShieldPanel(std::function<BrowserShieldView::Inputs()> inputs) : m_inputs(std::move(inputs))
{
}

ShieldPanel::~ShieldPanel()
{
    delete m_window;
}

void ShieldPanel::show(const Content& content, const std::optional<QRect>& frame)
{
    close();
    m_window = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    // Window lists and screen readers name the window; it says what the
    // panel says.
    m_window->setWindowTitle(content.message);
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    FloatingPanel::prepare(m_window);
    auto* layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new BrowserShieldView(content.host, content.message, content.endsAt,
        m_inputs ? m_inputs() : BrowserShieldView::Inputs {}, content.onFolga, content.onRequest, content.onCloseTab,
        content.onDismiss, m_window);
    layout->addWidget(m_view);

    QRect geometry = frame.value_or(QRect(QPoint(0, 0), defaultSize));
    if (!frame) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            geometry.moveCenter(screen->geometry().center());
        }
    }
    m_window->setGeometry(geometry);
    m_window->show();
    WindowStates::current().setAbove(m_window->windowHandle(), true);
    m_raised = true;
    m_window->raise();
    m_window->activateWindow();
    WindowStates::current().requestActivation(m_window->windowHandle());
    m_view->setFocus(Qt::ActiveWindowFocusReason);
}

void ShieldPanel::close()
{
    if (m_window) {
        m_window->hide();
        // The button that led here may still be on the stack.
        m_window->deleteLater();
        m_window = nullptr;
        m_view = nullptr;
    }
}

bool ShieldPanel::exists() const
{
    return !m_window.isNull();
}

QRect ShieldPanel::frame() const
{
    return m_window ? m_window->geometry() : QRect();
}

void ShieldPanel::setFrame(const QRect& frame)
{
    if (m_window) {
        m_window->setGeometry(frame);
    }
}

void ShieldPanel::raiseFloating()
{
    if (!m_window) {
        return;
    }
    if (!m_window->isVisible()) {
        m_window->show();
    }
    if (!m_raised) {
        WindowStates::current().setAbove(m_window->windowHandle(), true);
        m_raised = true;
    }
    m_window->raise();
}

void ShieldPanel::glueAbove(quint32 window)
{
    if (!m_window) {
        return;
    }
    if (!m_window->isVisible()) {
        m_window->show();
    }
    if (m_raised) {
        WindowStates::current().setAbove(m_window->windowHandle(), false);
        m_raised = false;
    }
    WindowStates::current().restackAbove(m_window->windowHandle(), window);
}

void ShieldPanel::orderOut()
{
    if (m_window) {
        m_window->hide();
    }
}

} // namespace kestravin
