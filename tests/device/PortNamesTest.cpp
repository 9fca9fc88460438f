#include "device/PortNames.h"
#include "support/Pty.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(PortNames, FixedTableBothWays)
{
    const struct {
        int port;
        const char* name;
    } cases[] = { { 1, "ttyS0" }, { 64, "ttyS63" }, { 65, "ttyUSB0" }, { 128, "ttyUSB63" },
        { 129, "ttyACM0" }, { 192, "ttyACM63" }, { 193, "ttyAMA0" }, { 256, "ttyAMA63" } };
    for (const auto& c : cases) {
        EXPECT_EQ(PortNames::TableName(c.port), c.name);
        EXPECT_EQ(PortNames::PortForTableName(c.name), c.port);
    }
    for (int port = 1; port <= 256; ++port)
        EXPECT_EQ(PortNames::PortForTableName(PortNames::TableName(port)), port);
    EXPECT_EQ(PortNames::TableName(0), "");
    EXPECT_EQ(PortNames::TableName(257), "");
    for (const char* name : { "ttyS64", "ttyS", "ttyS01", "ttyUSB-1", "ttys0", "ttyS1x", "pts/0" })
        EXPECT_EQ(PortNames::PortForTableName(name), 0) << name;
    EXPECT_EQ(PortNames::PortForLinkName("COM7"), 7);
    for (const char* name : { "COM0", "COM257", "COM7x", "COM07", "com7", "COM" })
        EXPECT_EQ(PortNames::PortForLinkName(name), 0) << name;
}

TEST(PortNames, LinkFolderWinsOverTable)
{
    testpty::TempDir tree;
    PortRoots roots { tree / "dev", tree / "sys", tree / "links" };
    std::filesystem::create_directories(roots.links);
    std::filesystem::create_directories(roots.dev);
    EXPECT_EQ(PortNames::DevicePath(65, roots), roots.dev + "/ttyUSB0");
    EXPECT_EQ(PortNames::DevicePath(0, roots), "");

    std::filesystem::create_symlink("/dev/null", roots.links + "/COM65");
    EXPECT_EQ(PortNames::DevicePath(65, roots), roots.links + "/COM65");
    EXPECT_EQ(PortNames::PortForDevicePath("/dev/null", roots), 65);
    EXPECT_EQ(PortNames::PortForDevicePath(roots.dev + "/ttyACM1", roots), 130);
    EXPECT_EQ(PortNames::PortForDevicePath("/elsewhere/ttyACM1", roots), 0);
}

TEST(PortNames, LinkFolderFromEnvironment)
{
    ::setenv("QM482_PORTS_DIR", "/tmp/some/ports", 1);
    EXPECT_EQ(PortNames::LinkFolder(), "/tmp/some/ports");
    ::unsetenv("QM482_PORTS_DIR");
    ::setenv("HOME", "/home/op", 1);
    EXPECT_EQ(PortNames::LinkFolder(), "/home/op/.config/qm482/ports");
}
