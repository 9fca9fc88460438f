// The bus tests run against a dbus-daemon of their own, started before the
// application object so that the session bus connection finds it.
#include "support/PrivateBus.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    PrivateBus bus;
    if (!bus.Start()) {
        std::fprintf(stderr, "cannot start a private dbus-daemon\n");
        return 1;
    }
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
