#include "device/SerialPort.h"
#include "device/SerialPortOwner.h"
#include "device/SystemCalls.h"
#include "support/Pty.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Handles bytes on the monitor thread itself, noting each hand-over; can
// hold the first one back so that the meter's next bytes pile up in the port.
class RecordingOwner : public SerialPortOwner {
public:
    void PostBytes(DeliveryGate::Ticket ticket) override
    {
        std::unique_lock lock(mutex_);
        if (holdFirst && !held_ && bytes_.empty()) {
            held_.emplace(std::move(ticket));
            changed_.notify_all();
            return;
        }
        if (ticket.Claim()) {
            bytes_.insert(bytes_.end(), ticket.bytes().begin(), ticket.bytes().end());
            runs_.push_back(ticket.bytes());
        }
        ticket.Complete();
        changed_.notify_all();
    }
    void PostDeviceLost(DeliveryGate::Ticket ticket) override
    {
        std::lock_guard lock(mutex_);
        if (ticket.Claim())
            ++losses_;
        changed_.notify_all();
    }

    // Waits (bounded, so a fault fails instead of hanging) for a condition.
    template<typename Pred> bool WaitFor(Pred pred)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return pred(*this); });
    }
    void ReleaseHeld()
    {
        std::lock_guard lock(mutex_);
        if (held_) {
            if (held_->Claim())
                bytes_.insert(bytes_.end(), held_->bytes().begin(), held_->bytes().end());
            held_->Complete();
        }
    }

    std::vector<std::uint8_t> bytes() const
    {
        std::lock_guard lock(mutex_);
        return bytes_;
    }
    std::vector<std::vector<std::uint8_t>> runs() const
    {
        std::lock_guard lock(mutex_);
        return runs_;
    }
    int losses() const
    {
        std::lock_guard lock(mutex_);
        return losses_;
    }
    bool holding() const { return held_.has_value(); }
    std::size_t size() const { return bytes_.size(); }
    int lossCount() const { return losses_; }

    bool holdFirst = false;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::uint8_t> bytes_;
    std::vector<std::vector<std::uint8_t>> runs_;
    std::optional<DeliveryGate::Ticket> held_;
    int losses_ = 0;
};

std::vector<std::uint8_t> everyByte(int copies)
{
    std::vector<std::uint8_t> out;
    for (int c = 0; c < copies; ++c)
        for (int b = 0; b < 256; ++b)
            out.push_back(static_cast<std::uint8_t>(b));
    return out;
}

double processCpuSeconds()
{
    timespec t {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A pty linked as COM7 in a link folder of its own.
class SerialPortPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        roots.links = dir / "ports";
        std::filesystem::create_directories(roots.links);
        std::filesystem::create_symlink(pty.slave(), roots.links + "/COM7");
    }
    bool OpenAndStart(SerialPort& port)
    {
        return port.Open(&owner, 7, 300, 'N', 7, 1, SerialPort::EV_RXCHAR)
            && port.StartMonitoring();
    }

    testpty::Pty pty;
    testpty::TempDir dir;
    PortRoots roots;
    RecordingOwner owner;
};

} // namespace

TEST_F(SerialPortPty, EveryByteExactlyOnceAndInOrder)
{
    SerialPort port(SystemCalls::Real(), roots);
    ASSERT_TRUE(OpenAndStart(port));
    const auto sent = everyByte(4);
    ASSERT_TRUE(pty.Write(sent));
    ASSERT_TRUE(owner.WaitFor([&](auto& o) { return o.size() >= sent.size(); }));
    std::this_thread::sleep_for(50ms); // nothing more may follow
    EXPECT_EQ(owner.bytes(), sent);
}

TEST_F(SerialPortPty, BurstWaitingInThePortIsDeliveredWholeAndInOrder)
{
    owner.holdFirst = true;
    SerialPort port(SystemCalls::Real(), roots);
    ASSERT_TRUE(OpenAndStart(port));
    ASSERT_TRUE(pty.Write({ 0x40 }));
    ASSERT_TRUE(owner.WaitFor([](auto& o) { return o.holding(); }));
    // While the first byte is being handled the rest arrives and waits.
    const auto burst = everyByte(2);
    ASSERT_TRUE(pty.Write(burst));
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(owner.bytes().empty());
    owner.ReleaseHeld();
    ASSERT_TRUE(owner.WaitFor([&](auto& o) { return o.size() >= burst.size() + 1; }));
    auto expected = burst;
    expected.insert(expected.begin(), 0x40);
    EXPECT_EQ(owner.bytes(), expected);
}

TEST_F(SerialPortPty, EachLineIsOneHandOverHoweverItsBytesTrickleIn)
{
    SerialPort port(SystemCalls::Real(), roots);
    ASSERT_TRUE(OpenAndStart(port));
    // A frame coming in pieces, the gaps well inside the quiet time.
    const std::vector<std::uint8_t> frame = { '1', '2', '3', '4', '5', '6', '7', 0x0D };
    for (const auto& piece : std::vector<std::vector<std::uint8_t>> {
             { '1', '2', '3' }, { '4', '5', '6', '7' }, { 0x0D } }) {
        ASSERT_TRUE(pty.Write(piece));
        std::this_thread::sleep_for(5ms);
    }
    // Two lines and the start of a third in one read: cut at each carriage return.
    ASSERT_TRUE(pty.Write({ 'a', 0x0D, 0x0D, 'b', 'c' }));
    ASSERT_TRUE(owner.WaitFor([](auto& o) { return o.size() >= 13; }));
    std::this_thread::sleep_for(50ms);
    const std::vector<std::vector<std::uint8_t>> expected
        = { frame, { 'a', 0x0D }, { 0x0D }, { 'b', 'c' } };
    EXPECT_EQ(owner.runs(), expected);
}

TEST_F(SerialPortPty, NoiseWithoutCarriageReturnFlowsInBoundedRuns)
{
    SerialPort port(SystemCalls::Real(), roots);
    ASSERT_TRUE(OpenAndStart(port));
    std::vector<std::uint8_t> noise(3 * SerialPort::kChunkBytes + 17, 0x55);
    ASSERT_TRUE(pty.Write(noise));
    ASSERT_TRUE(owner.WaitFor([&](auto& o) { return o.size() >= noise.size(); }));
    EXPECT_EQ(owner.bytes(), noise);
    for (const auto& run : owner.runs())
        EXPECT_LE(run.size(), SerialPort::kChunkBytes);
}

TEST_F(SerialPortPty, DeletingWhileTheMeterSendsEndsAndDeliversNothingAfterwards)
{
    std::atomic<bool> sending { true };
    std::thread meter([&] { pty.Flood(sending); });
    {
        SerialPort port(SystemCalls::Real(), roots);
        ASSERT_TRUE(OpenAndStart(port));
        ASSERT_TRUE(owner.WaitFor([](auto& o) { return o.size() > 100; }));
    }
    const auto atClose = owner.bytes().size();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(owner.bytes().size(), atClose);
    EXPECT_EQ(owner.losses(), 0);
    sending = false;
    meter.join();
}

TEST_F(SerialPortPty, DeletingReleasesAByteTheOwnerNeverHandled)
{
    owner.holdFirst = true;
    {
        SerialPort port(SystemCalls::Real(), roots);
        ASSERT_TRUE(OpenAndStart(port));
        ASSERT_TRUE(pty.Write({ 1, 2, 3 }));
        ASSERT_TRUE(owner.WaitFor([](auto& o) { return o.holding(); }));
    } // must not wait for the held byte
    owner.ReleaseHeld(); // too late: refused
    EXPECT_TRUE(owner.bytes().empty());
}

TEST_F(SerialPortPty, HangUpEndsTheThreadQuietlyAndIsReportedOnce)
{
    SerialPort port(SystemCalls::Real(), roots);
    ASSERT_TRUE(OpenAndStart(port));
    ASSERT_TRUE(pty.Write({ 1, 2 }));
    ASSERT_TRUE(owner.WaitFor([](auto& o) { return o.size() == 2; }));

    const double before = processCpuSeconds();
    pty.CloseMaster();
    ASSERT_TRUE(owner.WaitFor([](auto& o) { return o.lossCount() == 1; }));
    std::this_thread::sleep_for(300ms);
    const double spent = processCpuSeconds() - before;
    EXPECT_FALSE(port.monitoring());
    EXPECT_EQ(owner.losses(), 1);
    // A thread spinning on the hung-up port would burn the whole 300 ms.
    EXPECT_LT(spent, 0.1);
}

TEST_F(SerialPortPty, ClosedPortIsFreeForAUserWhoIsNotRoot)
{
    // As the operator has them: the device and the link folder open to the user.
    ASSERT_EQ(::chmod(pty.slave().c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    auto open7 = [&](SerialPort& port) { return port.Open(nullptr, 7, 300, 'N', 7, 1, 0); };

    // Choosing another port and coming back.
    EXPECT_EQ(testuser::RunUnprivileged([&](int) {
        {
            SerialPort first(SystemCalls::Real(), roots);
            if (!open7(first))
                return 1;
        }
        SerialPort second(SystemCalls::Real(), roots);
        return open7(second) ? 0 : 2;
    }),
        0)
        << "1: not opened at all, 2: not opened again";

    // The program ended (or moved on) while the meter's end stays open.
    {
        SerialPort port(SystemCalls::Real(), roots);
        ASSERT_TRUE(OpenAndStart(port));
    }
    EXPECT_EQ(testuser::RunUnprivileged([&](int) {
        const int fd = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        return fd >= 0 ? 0 : errno;
    }),
        0)
        << "errno " << EBUSY << " is the exclusive flag left behind";
}

TEST_F(SerialPortPty, ASecondInstanceIsRefusedTheOpenPortEvenAsRoot)
{
    auto first = std::make_unique<SerialPort>(SystemCalls::Real(), roots);
    ASSERT_TRUE(OpenAndStart(*first));
    SerialPort second(SystemCalls::Real(), roots);
    EXPECT_FALSE(second.Open(nullptr, 7, 300, 'N', 7, 1, 0))
        << "two readers of one line split its bytes between them";
    first.reset();
    EXPECT_TRUE(second.Open(nullptr, 7, 300, 'N', 7, 1, 0)) << "the port stays refused after close";
}

TEST(SerialPort, PortWithoutDeviceGivesFalseAndNoThread)
{
    testpty::TempDir dir;
    PortRoots roots { dir / "dev", dir / "sys", dir / "links" };
    RecordingOwner owner;
    for (int n : { 0, 3, 65, 257 }) {
        SerialPort port(SystemCalls::Real(), roots);
        EXPECT_FALSE(port.Open(&owner, n, 300, 'N', 7, 1, SerialPort::EV_RXCHAR)) << n;
        EXPECT_FALSE(port.StartMonitoring()) << n;
        EXPECT_FALSE(port.monitoring()) << n;
    }
}

namespace {

// The real calls, with modem-line requests recorded (a pty has no modem
// lines) and scripted failures of read, poll and the line settings.
class ScriptedCalls : public SystemCalls {
public:
    int Ioctl(int fd, unsigned long request, void* arg) override
    {
        std::lock_guard lock(mutex);
        if (request == TIOCMBIS || request == TIOCMBIC) {
            const int bits = *static_cast<int*>(arg);
            if (request == TIOCMBIS)
                lines |= bits;
            else
                lines &= ~bits;
            ++lineChanges;
            return 0;
        }
        return SystemCalls::Ioctl(fd, request, arg);
    }
    int GetAttributes(int fd, termios* t) override
    {
        if (refuseSettings) {
            errno = EINVAL;
            return -1;
        }
        return SystemCalls::GetAttributes(fd, t);
    }
    ssize_t Read(int fd, void* buffer, size_t size) override
    {
        {
            std::lock_guard lock(mutex);
            if (!readErrors.empty()) {
                errno = readErrors.front();
                readErrors.pop_front();
                ++readFailures;
                return -1;
            }
        }
        return SystemCalls::Read(fd, buffer, size);
    }
    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override
    {
        {
            std::lock_guard lock(mutex);
            if (pollInterrupts > 0) {
                --pollInterrupts;
                errno = EINTR;
                return -1;
            }
        }
        return SystemCalls::Poll(fds, count, timeoutMs);
    }

    std::mutex mutex;
    int lines = 0;
    int lineChanges = 0;
    bool refuseSettings = false;
    std::deque<int> readErrors;
    int readFailures = 0;
    int pollInterrupts = 0;
};

} // namespace

TEST_F(SerialPortPty, ModemLinesRaisedOnOpenAndLoweredOnClose)
{
    ScriptedCalls calls;
    {
        SerialPort port(calls, roots);
        ASSERT_TRUE(OpenAndStart(port));
        EXPECT_EQ(calls.lines, TIOCM_DTR | TIOCM_RTS);
    }
    EXPECT_EQ(calls.lines, 0);
    EXPECT_EQ(calls.lineChanges, 2);
}

TEST_F(SerialPortPty, RefusedLineSettingsStillCountAsOpened)
{
    ScriptedCalls calls;
    calls.refuseSettings = true;
    SerialPort port(calls, roots);
    ASSERT_TRUE(OpenAndStart(port));
    // The pty keeps its line discipline's cooked mode: a line ends at '\n'.
    ASSERT_TRUE(pty.Write({ 'a', '\n' }));
    ASSERT_TRUE(owner.WaitFor([](auto& o) { return o.size() == 2; }));
    EXPECT_EQ(owner.bytes(), (std::vector<std::uint8_t> { 'a', '\n' }));
}

TEST_F(SerialPortPty, InterruptedAndWouldBlockReadsAreRetried)
{
    ScriptedCalls calls;
    calls.readErrors = { EINTR, EAGAIN, EINTR };
    calls.pollInterrupts = 2;
    SerialPort port(calls, roots);
    ASSERT_TRUE(OpenAndStart(port));
    const auto sent = everyByte(1);
    ASSERT_TRUE(pty.Write(sent));
    ASSERT_TRUE(owner.WaitFor([&](auto& o) { return o.size() >= sent.size(); }));
    EXPECT_EQ(owner.bytes(), sent);
    EXPECT_EQ(calls.readFailures, 3);
    EXPECT_EQ(owner.losses(), 0);
    EXPECT_TRUE(port.monitoring());
}

TEST_F(SerialPortPty, ReadErrorIsADeviceLoss)
{
    ScriptedCalls calls;
    calls.readErrors = { EIO };
    SerialPort port(calls, roots);
    ASSERT_TRUE(OpenAndStart(port));
    ASSERT_TRUE(pty.Write({ 1 }));
    ASSERT_TRUE(owner.WaitFor([](auto& o) { return o.lossCount() == 1; }));
    EXPECT_TRUE(owner.bytes().empty());
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(port.monitoring());
}
