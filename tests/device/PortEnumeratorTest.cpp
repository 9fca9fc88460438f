#include "device/PortEnumerator.h"
#include "device/SerialPort.h"
#include "device/SystemCalls.h"
#include "resources/DeviceTexts.h"
#include "support/Pty.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sys/inotify.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// Sees every open of the devices it watches, by anyone: opening a tty
// raises DTR and RTS and closing drops them, which resets many boards.
class OpenWatch {
public:
    OpenWatch()
        : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
    }
    ~OpenWatch() { ::close(fd_); }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    bool Add(const std::string& path)
    {
        return ::inotify_add_watch(fd_, path.c_str(), IN_OPEN) >= 0;
    }
    // True when one of the devices was opened since the last call.
    bool Opened()
    {
        alignas(inotify_event) char buffer[4096];
        bool any = false;
        while (::read(fd_, buffer, sizeof buffer) > 0)
            any = true;
        return any;
    }

private:
    int fd_;
};

// A fake /dev, /sys and link folder. Its devices are links to pty slaves:
// real character devices, and ptys so that the test sees any open.
class FakeTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        roots = { tree / "dev", tree / "sys", tree / "links" };
        for (const auto& d : { roots.dev, roots.sys + "/class/tty", roots.links })
            fs::create_directories(d);
    }
    // A device node and its sysfs entry.
    void Device(const std::string& name, const testpty::Pty& pty)
    {
        fs::create_symlink(pty.slave(), roots.dev + "/" + name);
        fs::create_directories(roots.sys + "/class/tty/" + name);
        ASSERT_TRUE(watch.Add(pty.slave()));
    }
    void SerialType(const std::string& name, int type)
    {
        std::ofstream(roots.sys + "/class/tty/" + name + "/type") << type << "\n";
    }
    std::string Enumerate(PortEnumerator::DeviceSource source = {})
    {
        PortEnumerator e(roots, std::move(source));
        unsigned count = 0;
        std::string text;
        EXPECT_TRUE(e.Enumerate(count, text));
        EXPECT_EQ(count, static_cast<unsigned>(std::count(text.begin(), text.end(), '\n')));
        return text;
    }

    testpty::TempDir tree;
    PortRoots roots;
    OpenWatch watch;
};

} // namespace

TEST_F(FakeTree, DatabaseAddsModelsAndThePortSuffixIsCut)
{
    testpty::Pty s0, s4, usb;
    Device("ttyS0", s0);
    Device("ttyS4", s4);
    Device("ttyUSB2", usb);
    SerialType("ttyS0", 4);
    SerialType("ttyS4", 4);
    const auto text = Enumerate([&](std::vector<TtyDevice>& out) {
        out.push_back({ roots.dev + "/ttyS4", "ttyS4", "USB Serial Port (COM5)" });
        out.push_back({ roots.dev + "/ttyS0", "ttyS0", "Communications Port" });
        out.push_back({ roots.dev + "/ttyACM0", "ttyACM0", "not in the tree" });
        out.push_back({ "/dev/pts/99", "99", "not a table device" });
        return true;
    });
    EXPECT_EQ(
        text, "COM1:ttyS0, Communications Port\nCOM5:ttyS4, USB Serial Port\nCOM67:ttyUSB2\n");
    EXPECT_FALSE(watch.Opened());
}

TEST_F(FakeTree, TableDevicesAreFoundWithoutOpeningAny)
{
    testpty::Pty usb, acm, phantom, unknown, noSys;
    Device("ttyUSB1", usb);
    Device("ttyACM0", acm);
    Device("ttyS1", phantom);
    SerialType("ttyS1", 0); // the 8250 driver's port without hardware
    Device("ttyS2", unknown); // no type at all
    fs::create_symlink(noSys.slave(), roots.dev + "/ttyUSB5"); // no sysfs entry
    fs::create_directories(roots.sys + "/class/tty/ttyAMA0");
    std::ofstream(roots.dev + "/ttyAMA0") << "not a character device";
    const std::string expected = "COM66:ttyUSB1\nCOM129:ttyACM0\n";
    EXPECT_EQ(Enumerate(), expected);
    EXPECT_FALSE(watch.Opened()) << "the listing opened a device";
    // A database that fails midway costs the models, not the ports.
    EXPECT_EQ(Enumerate([](std::vector<TtyDevice>&) -> bool { throw std::runtime_error("udev"); }),
        expected);
    // The watch itself works.
    ::close(::open(usb.slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
    EXPECT_TRUE(watch.Opened());
}

TEST_F(FakeTree, LinkDecidesItsPortInTheListAndWhenOpening)
{
    testpty::Pty sim, usb0, usb1;
    Device("ttyUSB0", usb0);
    Device("ttyUSB1", usb1);
    ASSERT_TRUE(watch.Add(sim.slave()));
    fs::create_symlink(sim.slave(), roots.links + "/COM7");
    fs::create_symlink(sim.slave(), roots.links + "/COM66"); // overrides ttyUSB1
    fs::create_symlink(tree / "by-id-unplugged", roots.links + "/COM65"); // hides ttyUSB0
    fs::create_symlink(sim.slave(), roots.links + "/notaport");
    EXPECT_EQ(Enumerate(), "COM7:" + sim.slave() + "\nCOM66:" + sim.slave() + "\n");
    EXPECT_FALSE(watch.Opened());

    // The port opens what the list shows, and nothing for an absent port.
    SerialPort port(SystemCalls::Real(), roots);
    EXPECT_FALSE(port.Open(nullptr, 65, 300, 'N', 7, 1, 0));
    ASSERT_TRUE(port.Open(nullptr, 66, 300, 'N', 7, 1, 0));
    EXPECT_EQ(fs::canonical(port.devicePath()).string(), sim.slave());
}

TEST_F(FakeTree, ServersAreListedByTheirAddressAndBrokenTargetsNotAtAll)
{
    testpty::Pty usb0;
    Device("ttyUSB0", usb0);
    fs::create_symlink("tcp://10.0.0.5:4001", roots.links + "/COM9");
    fs::create_symlink("RFC2217://[::1]:2217", roots.links + "/COM10");
    fs::create_symlink("tcp://10.0.0.5", roots.links + "/COM11"); // no port
    fs::create_symlink("rfc2217://meter.lab:4001", roots.links + "/COM65"); // hides ttyUSB0
    EXPECT_EQ(Enumerate(),
        "COM9:tcp://10.0.0.5:4001\nCOM10:rfc2217://[::1]:2217\n"
        "COM65:rfc2217://meter.lab:4001\n");
}

TEST_F(FakeTree, AsAUserWhoIsNotRootTheHeldPortIsListedAndRefusalIsNoted)
{
    testpty::Pty held, denied;
    Device("ttyUSB0", held);
    Device("ttyACM3", denied); // a fresh pty slave: root's, group tty, mode 0620
    ASSERT_EQ(::chmod(held.slave().c_str(), 0666), 0);
    ASSERT_EQ(::chmod(tree.path().c_str(), 0755), 0);
    // The program holds the port (exclusively) while the dialog lists.
    SerialPort port(SystemCalls::Real(), roots);
    ASSERT_TRUE(port.Open(nullptr, 65, 300, 'N', 7, 1, 0));

    std::string text;
    const int status = testuser::RunUnprivileged(
        [&](int out) {
            std::string t;
            unsigned count = 0;
            PortEnumerator e(roots, {}); // no database: nothing vouches for the held port

            if (!e.Enumerate(count, t))
                return 1;
            return ::write(out, t.data(), t.size()) == static_cast<ssize_t>(t.size()) ? 0 : 2;
        },
        &text);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(
        text, "COM65:ttyUSB0\nCOM132:ttyACM3, " + std::string(texts::device::kNoAccess) + "\n");
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
