// The browser end-to-end tests run on a private accessible desktop: Xvfb with
// openbox and a session bus with the accessibility bus of at-spi2-core.
#include "AccessibleSession.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    // The private session bus has no dconf: the accessibility switch is then
    // kept in the launcher's memory.
    qputenv("GSETTINGS_BACKEND", "memory");
    kestravin::test::AccessibleSession session;
    QString error;
    if (!session.start(&error)) {
        std::fprintf(stderr, "no accessible desktop: %s\n", qPrintable(error));
        return 1;
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
