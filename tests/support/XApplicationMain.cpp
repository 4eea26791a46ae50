// The gtest main of programs that run Qt's widgets as real X windows: a
// private Xvfb display with openbox, Qt's xcb platform on it, and the light
// appearance.
#include "support/XApplicationMain.h"

#include "app/views/brand/Appearance.h"
#include "support/XDisplay.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>

namespace kestravin::test {
namespace {

XDisplay* startedDisplay = nullptr;

} // namespace

XDisplay& applicationDisplay()
{
    return *startedDisplay;
}

} // namespace kestravin::test

// Qt's xcb platform loads the keymap through libxkbcommon-x11, which
// strndup()s atom names out of an X reply that holds them without a
// terminating NUL, and ASan's strndup check reads past the reply for that.
// Only programs that run Qt on X link this main, so only there is that check
// left out; the environment's ASAN_OPTIONS still win for every other flag.
extern "C" const char* __asan_default_options()
{
    return "intercept_strndup=0";
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    kestravin::test::XDisplay display;
    QString error;
    if (!display.start(&error)) {
        std::fprintf(stderr, "no X display: %s\n", qPrintable(error));
        return 1;
    }
    qputenv("DISPLAY", display.name().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    kestravin::test::startedDisplay = &display;
    int result = 0;
    {
        QApplication app(argc, argv);
        kestravin::Appearance::shared().overrideColorScheme(kestravin::ColorScheme::Light);
        result = RUN_ALL_TESTS();
    }
    kestravin::test::startedDisplay = nullptr;
    return result;
}
