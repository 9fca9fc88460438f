// Test main for window suites: a private dbus-daemon first, so the program's
// bus service never meets the desktop's, then the QApplication (offscreen).
#include "support/PrivateBus.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    PrivateBus bus;
    if (!bus.Start()) {
        std::fprintf(stderr, "cannot start a private dbus-daemon\n");
        return 1;
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
