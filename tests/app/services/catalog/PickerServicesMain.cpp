#include <QGuiApplication>

#include <gtest/gtest.h>

// The picker services load icons and images: they need a GUI application,
// on the offscreen platform.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
