#include "device/SerialByteBridge.h"
#include "device/SerialPort.h"
#include "device/SystemCalls.h"
#include "support/EventLoop.h"
#include "support/Pty.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

namespace {

void pumpFor(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

class Bridge : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        roots.links = dir / "ports";
        std::filesystem::create_directories(roots.links);
        std::filesystem::create_symlink(pty.slave(), roots.links + "/COM3");
    }
    std::unique_ptr<SerialPort> OpenPort(SerialByteBridge& bridge)
    {
        auto port = std::make_unique<SerialPort>(SystemCalls::Real(), roots);
        if (!port->Open(&bridge, 3, 300, 'N', 7, 1, SerialPort::EV_RXCHAR)
            || !port->StartMonitoring())
            return nullptr;
        return port;
    }

    testpty::Pty pty;
    testpty::TempDir dir;
    PortRoots roots;
    std::vector<std::uint8_t> received;
    bool offThread = false;
    int losses = 0;
};

} // namespace

TEST_F(Bridge, BytesArriveInOrderOnceOnTheUiThread)
{
    SerialByteBridge bridge(
        [this](std::uint8_t b) {
            offThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
            received.push_back(b);
        },
        [this] { ++losses; });
    auto port = OpenPort(bridge);
    ASSERT_TRUE(port);
    std::vector<std::uint8_t> sent;
    for (int i = 0; i < 1024; ++i)
        sent.push_back(static_cast<std::uint8_t>(i * 7));
    ASSERT_TRUE(pty.Write(sent));
    ASSERT_TRUE(spinUntil([&] { return received.size() >= sent.size(); }));
    pumpFor(30);
    EXPECT_EQ(received, sent);
    EXPECT_FALSE(offThread);
    EXPECT_EQ(losses, 0);
}

TEST_F(Bridge, DestroyingWhileTheMeterSendsDeliversNothingAfterwards)
{
    SerialByteBridge bridge(
        [this](std::uint8_t b) { received.push_back(b); }, [this] { ++losses; });
    auto port = OpenPort(bridge);
    ASSERT_TRUE(port);
    std::atomic<bool> sending { true };
    std::thread meter([&] { pty.Flood(sending); });
    ASSERT_TRUE(spinUntil([&] { return received.size() > 200; }));
    // The monitor thread is now (most likely) waiting on a posted byte that
    // has not been handled: the destructor must release it, not pump events.
    port.reset();
    const auto atClose = received.size();
    pumpFor(50);
    EXPECT_EQ(received.size(), atClose);
    EXPECT_EQ(losses, 0);
    sending = false;
    meter.join();
}

TEST_F(Bridge, HandlerMayDeleteThePortItCameFrom)
{
    std::unique_ptr<SerialPort> port;
    SerialByteBridge bridge([&](std::uint8_t b) {
        received.push_back(b);
        port.reset(); // e.g. the user picks another port from a dialog run here
    });
    port = OpenPort(bridge);
    ASSERT_TRUE(port);
    ASSERT_TRUE(pty.Write({ 1, 2, 3, 4 }));
    ASSERT_TRUE(spinUntil([&] { return !port; }));
    pumpFor(30);
    EXPECT_EQ(received, std::vector<std::uint8_t> { 1 });
}

TEST_F(Bridge, LostDeviceIsReportedOnceOnTheUiThread)
{
    SerialByteBridge bridge([this](std::uint8_t b) { received.push_back(b); },
        [this] {
            offThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
            ++losses;
        });
    auto port = OpenPort(bridge);
    ASSERT_TRUE(port);
    pty.CloseMaster();
    ASSERT_TRUE(spinUntil([&] { return losses > 0; }));
    pumpFor(50);
    EXPECT_EQ(losses, 1);
    EXPECT_FALSE(offThread);
    EXPECT_FALSE(port->monitoring());
}

TEST_F(Bridge, LossReportArrivingAfterDeletionIsDropped)
{
    SerialByteBridge bridge([](std::uint8_t) {}, [this] { ++losses; });
    auto port = OpenPort(bridge);
    ASSERT_TRUE(port);
    pty.CloseMaster();
    // Let the monitor thread post its report, but do not dispatch it yet.
    for (int i = 0; i < 1000 && port->monitoring(); ++i)
        QThread::msleep(2);
    ASSERT_FALSE(port->monitoring());
    port.reset();
    pumpFor(30);
    EXPECT_EQ(losses, 0);
}
