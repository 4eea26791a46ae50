#include "app/views/brand/Appearance.h"

#include <QApplication>

#include <gtest/gtest.h>

// The shell's tests run on the offscreen platform in the light appearance,
// with the settings of a test organisation (scripts/test gives each run a
// throw-away home).
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("KestravinTest"));
    QApplication::setApplicationName(QStringLiteral("KestravinTest"));
    kestravin::Appearance::shared().overrideColorScheme(kestravin::ColorScheme::Light);
    return RUN_ALL_TESTS();
}
