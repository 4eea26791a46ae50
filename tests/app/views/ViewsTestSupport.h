#pragma once

#include "app/views/brand/Appearance.h"

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace kestravin::testing_support {

// Puts the forced appearance back to light with full motion after each test.
class AppearanceTest : public ::testing::Test {
protected:
    void SetUp() override { setAppearance(ColorScheme::Light, false); }
    void TearDown() override { setAppearance(ColorScheme::Light, false); }

    static void setAppearance(ColorScheme scheme, bool reduceMotion)
    {
        Appearance::shared().overrideColorScheme(scheme);
        Appearance::shared().overrideReduceMotion(reduceMotion);
    }
};

inline QImage grabImage(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// True when two colours differ by at most `tolerance` in each 8-bit channel.
inline ::testing::AssertionResult sameColor(const QColor& actual, const QColor& expected, int tolerance = 2)
{
    const bool close = std::abs(actual.red() - expected.red()) <= tolerance
        && std::abs(actual.green() - expected.green()) <= tolerance
        && std::abs(actual.blue() - expected.blue()) <= tolerance;
    if (close) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "got " << actual.name().toStdString() << " expected "
                                         << expected.name().toStdString();
}

inline QColor pixel(const QImage& image, int x, int y)
{
    return QColor::fromRgba(image.pixel(x, y));
}

// Spins the event loop until `done` holds or `timeoutMs` passes.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qWait(5);
    }
    return true;
}

} // namespace kestravin::testing_support
