#include "app/views/blocker/FloatingPanel.h"

#include "app/platform/WindowStates.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QRegion>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace kestravin::FloatingPanel {

namespace {

bool translucent()
{
    return QGuiApplication::platformName() != u"xcb"_s || WindowStates::current().compositingManagerRunning();
}

} // namespace

void prepare(QWidget* window)
{
    window->setAttribute(Qt::WA_TranslucentBackground, translucent());
}

void shape(QWidget* window, QSize size, double radius)
{
    if (window->testAttribute(Qt::WA_TranslucentBackground)) {
        window->clearMask();
        return;
    }
    // The card's soft edge then blends into its own colour.
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, BrandPalette::current().paper);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    const QPainterPath card = BrandShapes::continuousRect(QRectF(QPointF(0, 0), QSizeF(size)), radius);
    window->setMask(QRegion(card.toFillPolygon().toPolygon()));
}

} // namespace kestravin::FloatingPanel
