#include "app/views/assistant/DesktopAIWindow.h"

#include "app/views/assistant/OrlaGlow.h"
#include "app/views/brand/BrandTokens.h"

#include <QPainter>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {

DesktopAIWindow::DesktopAIWindow(DesktopAIView::Services services, QWidget* parent) : QWidget(parent)
{
    setWindowTitle(u"Pedir ajuda à Orla"_s);
    setAccessibleName(u"Pedir ajuda à Orla"_s);
    setFixedSize(560, 640);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    if (!services.closeWindow) {
        services.closeWindow = [this] { close(); };
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 28, 28, 28);
    m_view = new DesktopAIView(std::move(services), this);
    layout->addWidget(m_view);
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void DesktopAIWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), desktopAIBackdrop(BrandPalette::schemeOf(this)));
}

} // namespace kestravin
