#include <QCoreApplication>

#include <gtest/gtest.h>

// The services need an event loop and the D-Bus machinery of a Qt application.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
