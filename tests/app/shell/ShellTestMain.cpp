#include "app/views/brand/Appearance.h"

#include <QApplication>

#include <gtest/gtest.h>

// The shell's tests run on the offscreen platform in the light appearance.
// CTest runs each case as its own process, several at once, in one
// throw-away home: each process keeps its settings in a file of its own.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("KestravinTest"));
    QApplication::setApplicationName(QStringLiteral("KestravinTest-%1").arg(QCoreApplication::applicationPid()));
    kestravin::Appearance::shared().overrideColorScheme(kestravin::ColorScheme::Light);
    return RUN_ALL_TESTS();
}
