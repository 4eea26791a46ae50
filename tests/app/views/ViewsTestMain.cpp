#include "app/views/brand/Appearance.h"

#include <QApplication>

#include <gtest/gtest.h>

// Widget tests run on the offscreen platform with a fixed appearance; each test
// that needs another one forces it and the fixture puts it back.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    kestravin::Appearance::shared().overrideColorScheme(kestravin::ColorScheme::Light);
    kestravin::Appearance::shared().overrideReduceMotion(false);
    return RUN_ALL_TESTS();
}
