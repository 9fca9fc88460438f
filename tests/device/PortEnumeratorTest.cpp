#include "device/PortEnumerator.h"
#include "device/SystemCalls.h"
#include "resources/DeviceTexts.h"
#include "support/Pty.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

// Counts which devices are opened; refuses the ones listed as EACCES.
class WatchedCalls : public SystemCalls {
public:
    int Open(const char* path, int flags) override
    {
        opened.insert(fs::path(path).filename().string());
        if (denied.count(fs::path(path).filename().string()) != 0) {
            errno = EACCES;
            return -1;
        }
        return SystemCalls::Open(path, flags);
    }
    std::set<std::string> opened;
    std::set<std::string> denied;
};

// A fake /dev, /sys and link folder; serial devices are ptys, so that the
// probe's line-settings query answers.
class FakeTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        roots = { tree / "dev", tree / "sys", tree / "links" };
        for (const auto& d : { roots.dev, roots.sys + "/class/tty", roots.links })
            fs::create_directories(d);
    }
    void Device(const std::string& name, const testpty::Pty& pty)
    {
        fs::create_symlink(pty.slave(), roots.dev + "/" + name);
    }
    void SerialType(const std::string& name, int type)
    {
        fs::create_directories(roots.sys + "/class/tty/" + name);
        std::ofstream(roots.sys + "/class/tty/" + name + "/type") << type << "\n";
    }
    std::string Enumerate(PortEnumerator::DeviceSource source, unsigned& count)
    {
        PortEnumerator e(roots, calls, std::move(source));
        std::string text;
        EXPECT_TRUE(e.Enumerate(count, text));
        return text;
    }

    testpty::TempDir tree;
    PortRoots roots;
    WatchedCalls calls;
};

} // namespace

TEST_F(FakeTree, DatabaseDescriptionsWithDeviceNamesAndPortSuffixCut)
{
    testpty::Pty s0, s4;
    Device("ttyS0", s0);
    Device("ttyS4", s4);
    SerialType("ttyS0", 4);
    SerialType("ttyS4", 4);
    unsigned count = 0;
    const auto text = Enumerate(
        [&](std::vector<TtyDevice>& out) {
            out.push_back({ roots.dev + "/ttyS4", "ttyS4", "USB Serial Port (COM5)" });
            out.push_back({ roots.dev + "/ttyS0", "ttyS0", "Communications Port" });
            out.push_back({ "/dev/pts/99", "99", "not a table device" });
            return true;
        },
        count);
    EXPECT_EQ(text, "COM1:ttyS0, Communications Port\nCOM5:ttyS4, USB Serial Port\n");
    EXPECT_EQ(count, 2u);
}

TEST_F(FakeTree, WithoutDatabaseProbingFindsTheTableDevices)
{
    testpty::Pty usb, acm, phantom;
    Device("ttyUSB1", usb);
    Device("ttyACM0", acm);
    Device("ttyS1", phantom);
    SerialType("ttyS1", 0); // the 8250 driver's phantom port: absent, never opened
    std::ofstream(roots.dev + "/ttyS2") << "not a tty";
    unsigned count = 0;
    const auto text = Enumerate([](std::vector<TtyDevice>&) { return false; }, count);
    EXPECT_EQ(text, "COM66:ttyUSB1\nCOM129:ttyACM0\n");
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(calls.opened.count("ttyS1"), 0u);
    EXPECT_EQ(calls.opened.count("ttyS2"), 1u);
}

TEST_F(FakeTree, DeviceTheUserMayNotOpenSaysSo)
{
    testpty::Pty usb, acm;
    Device("ttyUSB0", usb);
    Device("ttyACM3", acm);
    calls.denied = { "ttyUSB0", "ttyACM3" };
    unsigned count = 0;
    const auto text = Enumerate(
        [&](std::vector<TtyDevice>& out) {
            out.push_back({ roots.dev + "/ttyUSB0", "ttyUSB0", "FT232R USB UART" });
            return true;
        },
        count);
    const std::string note = ", " + std::string(DeviceTexts::kNoAccess);
    EXPECT_EQ(text, "COM65:ttyUSB0, FT232R USB UART" + note + "\nCOM132:ttyACM3" + note + "\n");
}

TEST_F(FakeTree, LinkFolderEntriesAreListedAndWin)
{
    testpty::Pty sim, usb;
    Device("ttyUSB0", usb);
    fs::create_symlink(sim.slave(), roots.links + "/COM7");
    fs::create_symlink(sim.slave(), roots.links + "/COM65"); // overrides the table entry
    fs::create_symlink(tree / "gone", roots.links + "/COM9"); // its simulator ended
    fs::create_symlink(sim.slave(), roots.links + "/notaport");
    unsigned count = 0;
    const auto text = Enumerate({}, count);
    EXPECT_EQ(text, "COM7:" + sim.slave() + "\nCOM65:" + sim.slave() + "\n");
    EXPECT_EQ(count, 2u);
}

TEST(EnumeratePorts, RunsOnThisMachine)
{
    // Whatever the machine has, the text keeps its two line forms in port order.
    unsigned count = 0;
    std::string text;
    ASSERT_TRUE(EnumeratePorts(count, text));
    unsigned lines = 0;
    int last = 0;
    for (std::size_t at = 0; at < text.size();) {
        const auto end = text.find('\n', at);
        ASSERT_NE(end, std::string::npos);
        const std::string line = text.substr(at, end - at);
        ASSERT_EQ(line.substr(0, 3), "COM") << line;
        const int n = std::stoi(line.substr(3));
        EXPECT_GT(n, last);
        last = n;
        ++lines;
        at = end + 1;
    }
    EXPECT_EQ(lines, count);
}
