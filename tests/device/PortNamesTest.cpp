#include "device/PortNames.h"
#include "support/Pty.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(PortNames, FixedTable)
{
    const struct {
        int port;
        const char* name;
    } cases[] = { { 1, "ttyS0" }, { 64, "ttyS63" }, { 65, "ttyUSB0" }, { 128, "ttyUSB63" },
        { 129, "ttyACM0" }, { 192, "ttyACM63" }, { 193, "ttyAMA0" }, { 256, "ttyAMA63" } };
    for (const auto& c : cases)
        EXPECT_EQ(PortNames::TableName(c.port), c.name);
    EXPECT_EQ(PortNames::TableName(0), "");
    EXPECT_EQ(PortNames::TableName(257), "");
}

TEST(PortNames, LinkFolderEntryDecidesItsPortEvenWhenDangling)
{
    testpty::TempDir tree;
    PortRoots roots { tree / "dev", tree / "sys", tree / "links" };
    std::filesystem::create_directories(roots.links);
    std::filesystem::create_directories(roots.dev);
    EXPECT_EQ(PortNames::Device(65, roots).path, roots.dev + "/ttyUSB0");
    EXPECT_FALSE(PortNames::Device(65, roots).linked);
    EXPECT_EQ(PortNames::Device(0, roots).path, "");
    EXPECT_EQ(PortNames::Device(257, roots).path, "");

    std::filesystem::create_symlink("/dev/null", roots.links + "/COM65");
    std::filesystem::create_symlink(tree / "unplugged", roots.links + "/COM66");
    for (int port : { 65, 66 }) {
        const auto device = PortNames::Device(port, roots);
        EXPECT_EQ(device.path, roots.links + "/COM" + std::to_string(port));
        EXPECT_TRUE(device.linked);
    }
}

TEST(PortNames, LinkFolderFromEnvironment)
{
    ::setenv("QM482_PORTS_DIR", "/tmp/some/ports", 1);
    EXPECT_EQ(PortNames::LinkFolder(), "/tmp/some/ports");
    ::unsetenv("QM482_PORTS_DIR");
    ::setenv("HOME", "/home/op", 1);
    EXPECT_EQ(PortNames::LinkFolder(), "/home/op/.config/qm482/ports");
}
