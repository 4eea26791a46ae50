// The main of test programs that need a Qt event loop: a QCoreApplication
// exists for the whole run, so timers, QProcess and D-Bus connections work.

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
