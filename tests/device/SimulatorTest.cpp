#include "device/FrameDecoder.h"
#include "device/SerialPort.h"
#include "device/SerialPortOwner.h"
#include "device/SystemCalls.h"
#include "support/Pty.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

// Cuts lines at CR and decodes them, as the main window's link does.
class DecodingOwner : public SerialPortOwner {
public:
    void PostBytes(DeliveryGate::Ticket ticket) override
    {
        std::lock_guard lock(mutex);
        for (const auto b : ticket.bytes()) {
            if (!ticket.Claim())
                break;
            line.push_back(b);
            if (b == 0x0D) {
                if (decoder.decode(line.data(), line.size()))
                    good.push_back(decoder.measurement());
                line.clear();
            }
        }
        ticket.Complete();
        changed.notify_all();
    }
    void PostDeviceLost(DeliveryGate::Ticket) override { }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::uint8_t> line;
    FrameDecoder decoder;
    std::vector<Measurement> good;
};

} // namespace

TEST(Simulator, FramesFromQm482SimDecodeThroughTheSerialPort)
{
    testpty::TempDir dir;
    const std::string links = dir / "ports";
    ::setenv("QM482_PORTS_DIR", links.c_str(), 1);
    std::vector<std::string> args = { QM482_SIM_PATH, "--port", "9", "--fast", "--quiet",
        "--serial", "1234", "--temp", "-5.5", "--error", "pressure" };
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, QM482_SIM_PATH, nullptr, nullptr, argv.data(), environ), 0);

    const std::string link = links + "/COM9";
    for (int i = 0; i < 500 && !std::filesystem::exists(link); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(std::filesystem::exists(link));

    DecodingOwner owner;
    {
        PortRoots roots;
        roots.links = links;
        SerialPort port(SystemCalls::Real(), roots);
        ASSERT_TRUE(port.Open(&owner, 9, 300, 'N', 7, 1, SerialPort::EV_RXCHAR));
        ASSERT_TRUE(port.StartMonitoring());
        std::unique_lock lock(owner.mutex);
        ASSERT_TRUE(owner.changed.wait_for(
            lock, std::chrono::seconds(10), [&] { return owner.good.size() >= 3; }));
        const Measurement& m = owner.good.back();
        EXPECT_EQ(m.serialNumber, 1234);
        EXPECT_DOUBLE_EQ(m.temperature, -55 * 0.1);
        EXPECT_TRUE(m.pressureError);
        EXPECT_FALSE(m.temperatureError);
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}
