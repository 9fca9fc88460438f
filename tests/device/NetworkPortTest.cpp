// Network ports against a real ser2net serving qm482-sim's pty, and against
// small servers of the test's own that misbehave.
#include "device/FrameDecoder.h"
#include "device/SerialPort.h"
#include "device/SerialPortOwner.h"
#include "device/SystemCalls.h"
#include "support/Pty.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

namespace {

class Owner : public SerialPortOwner {
public:
    void PostBytes(DeliveryGate::Ticket ticket) override
    {
        std::lock_guard lock(mutex);
        largestRun = std::max(largestRun, ticket.bytes().size());
        for (const auto b : ticket.bytes()) {
            if (!ticket.Claim())
                break;
            ++bytes;
            line.push_back(b);
            if (b == 0x0D || line.size() > 1024) {
                good += decoder.decode(line.data(), line.size()) ? 1 : 0;
                line.clear();
            }
        }
        ticket.Complete();
        changed.notify_all();
    }
    void PostDeviceLost(DeliveryGate::Ticket) override
    {
        std::lock_guard lock(mutex);
        ++lost;
        changed.notify_all();
    }
    bool WaitFor(Clock::duration timeout, const std::function<bool()>& pred)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, timeout, pred);
    }

    std::mutex mutex;
    std::condition_variable changed;
    Bytes line;
    FrameDecoder decoder;
    std::size_t bytes = 0;
    std::size_t largestRun = 0;
    std::atomic<int> good { 0 };
    std::atomic<int> lost { 0 };
};

pid_t Spawn(std::vector<std::string> args)
{
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    return ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

void End(pid_t& pid)
{
    if (pid > 0 && ::kill(pid, SIGTERM) == 0)
        ::waitpid(pid, nullptr, 0);
    pid = -1;
}

// A listening socket on the loopback; its port, 0 when none.
int Listen(int& fd)
{
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), size) != 0 || ::listen(fd, 4) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) != 0)
        return 0;
    return ntohs(a.sin_port);
}

// A port nobody listens on, for the moment.
int FreePort()
{
    int fd = -1;
    const int port = Listen(fd);
    ::close(fd);
    return port;
}

// Read from the kernel's tables: a trial connection would make ser2net open
// the pty and be busy with it for a moment after.
bool Listening(int port)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, ":%04X", port);
    for (const char* table : { "/proc/net/tcp", "/proc/net/tcp6" }) {
        std::ifstream in(table);
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            if (state == "0A" && local.size() > 5 && local.substr(local.size() - 5) == hex)
                return true;
        }
    }
    return false;
}

// qm482-sim at a hundred times the meter's pace, linked as COM1, and
// ser2net in front of its pty: raw TCP on [::1], RFC 2217 on 127.0.0.1.
// The pty starts at 9600 baud and 2 stop bits so that the line the program
// sets shows. (Its data size and parity cannot: the kernel keeps a pty at
// CS8 without parity, whatever is set.)
class Rig {
public:
    explicit Rig(const std::string& dir)
        : dir_(dir)
    {
        ::setenv("QM482_PORTS_DIR", (dir + "/sim").c_str(), 1);
        sim_ = Spawn({ QM482_SIM_PATH, "--port", "1", "--fast", "--quiet" });
        const std::string link = dir + "/sim/COM1";
        for (int i = 0; i < 500 && !fs::exists(link); ++i)
            std::this_thread::sleep_for(10ms);
        std::error_code ec;
        pty = fs::read_symlink(link, ec).string(); // ser2net wants the device itself
        std::ofstream config(dir + "/ser2net.yaml");
        for (const auto& accepter : { "tcp,::1," + std::to_string(raw),
                 "telnet(rfc2217),tcp,127.0.0.1," + std::to_string(telnet) }) {
            config << "connection: &c" << accepter.size() << "\n  accepter: " << accepter
                   << "\n  connector: serialdev," << pty << ",9600n82,local\n"
                   << "  options:\n    kickolduser: true\n";
        }
    }
    ~Rig()
    {
        Stop();
        End(sim_);
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    bool Start()
    {
        // Debian puts it in /usr/sbin, which a user's PATH may lack.
        server_
            = Spawn({ fs::exists("/usr/sbin/ser2net") ? "/usr/sbin/ser2net" : "/usr/bin/ser2net",
                "-n", "-u", "-P", dir_ + "/ser2net.pid", "-c", dir_ + "/ser2net.yaml" });
        for (int i = 0; i < 500 && !(Listening(raw) && Listening(telnet)); ++i)
            std::this_thread::sleep_for(10ms);
        return Listening(raw) && Listening(telnet);
    }
    void Stop() { End(server_); }
    // The pty's line once at `speed` (ser2net applies each setting as its
    // command arrives, which may be after the first frames), or after 2 s.
    termios LineAt(speed_t speed) const
    {
        termios t {};
        for (int i = 0; i < 200 && (i == 0 || cfgetospeed(&t) != speed); ++i) {
            std::this_thread::sleep_for(10ms);
            const int fd = ::open(pty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0 && ::tcgetattr(fd, &t) != 0)
                t = termios {};
            if (fd >= 0)
                ::close(fd);
        }
        return t;
    }

    std::string pty;
    int raw = FreePort();
    int telnet = FreePort();

private:
    std::string dir_;
    pid_t sim_ = -1;
    pid_t server_ = -1;
};

// Accepts one connection and sends what `chunk` gives for each round, or
// nothing, counting what comes back, until deleted.
class FakeServer {
public:
    explicit FakeServer(std::function<Bytes(int round)> chunk)
        : port(Listen(listen_))
        , thread_([this, chunk = std::move(chunk)] {
            pollfd p { listen_, POLLIN, 0 };
            while (going_ && ::poll(&p, 1, 50) == 0) { }
            const int fd = going_ ? ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK) : -1;
            std::uint8_t in[4096];
            for (int round = 0; fd >= 0 && going_; ++round) {
                const Bytes out = chunk ? chunk(round) : Bytes {};
                if (out.empty() || ::send(fd, out.data(), out.size(), MSG_NOSIGNAL) < 0)
                    std::this_thread::sleep_for(1ms);
                for (ssize_t n; (n = ::recv(fd, in, sizeof in, 0)) > 0;)
                    received += static_cast<std::size_t>(n);
            }
            if (fd >= 0)
                ::close(fd);
        })
    {
    }
    ~FakeServer()
    {
        going_ = false;
        thread_.join();
        ::close(listen_);
    }
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    int listen_ = -1; // declared first: the thread uses it
    int port;
    std::atomic<std::size_t> received { 0 };

private:
    std::atomic<bool> going_ { true };
    std::thread thread_;
};

class NetworkPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        roots.links = dir / "links";
        fs::create_directories(roots.links);
    }
    void Link(const std::string& target)
    {
        fs::remove(roots.links + "/COM5");
        fs::create_symlink(target, roots.links + "/COM5");
    }
    std::unique_ptr<SerialPort> Open(Owner& owner)
    {
        auto serial = std::make_unique<SerialPort>(SystemCalls::Real(), roots);
        if (!serial->Open(&owner, 5, 300, 'N', 7, 1, SerialPort::EV_RXCHAR)
            || !serial->StartMonitoring())
            return nullptr;
        return serial;
    }
    // The window's rule for a lost port (PortControl): open it again 2 s
    // after the loss, until a good frame comes or `limit` passes.
    bool ReadingsWithin(Clock::duration limit)
    {
        const auto until = Clock::now() + limit;
        while (Clock::now() < until) {
            port.reset();
            owner = std::make_unique<Owner>();
            port = Open(*owner);
            if (port == nullptr)
                return false;
            owner->WaitFor(
                until - Clock::now(), [&] { return owner->good > 0 || owner->lost > 0; });
            if (owner->good > 0)
                return true;
            std::this_thread::sleep_for(std::min<Clock::duration>(2s, until - Clock::now()));
        }
        return false;
    }
    // Deleting the port never waits on the network.
    void ExpectQuickDelete()
    {
        const auto start = Clock::now();
        port.reset();
        EXPECT_LT(Clock::now() - start, 500ms);
    }

    testpty::TempDir dir;
    PortRoots roots;
    std::unique_ptr<Owner> owner;
    std::unique_ptr<SerialPort> port; // declared after the owner: goes first
};

} // namespace

TEST_F(NetworkPort, ReadingsThroughSer2netAndBackAfterItsRestart)
{
    Rig rig(dir.path());
    ASSERT_FALSE(rig.pty.empty());
    ASSERT_TRUE(rig.Start());
    for (const bool rfc2217 : { false, true }) {
        SCOPED_TRACE(rfc2217 ? "rfc2217" : "raw");
        Link(rfc2217 ? "rfc2217://127.0.0.1:" + std::to_string(rig.telnet)
                     : "tcp://[::1]:" + std::to_string(rig.raw));
        // ser2net may still hold the pty for the connection just closed and
        // turn this one away once: a lost port, tried again.
        ASSERT_TRUE(ReadingsWithin(10s));
        // RFC 2217 sets the line ser2net holds; raw TCP leaves ser2net's own.
        const speed_t speed = rfc2217 ? B300 : B9600;
        const termios t = rig.LineAt(speed);
        EXPECT_EQ(cfgetospeed(&t), speed);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, !rfc2217);
        EXPECT_EQ(t.c_cflag & PARENB, 0U);

        rig.Stop();
        ASSERT_TRUE(owner->WaitFor(3s, [&] { return owner->lost == 1; }));
        ASSERT_TRUE(rig.Start());
        const auto back = Clock::now();
        std::this_thread::sleep_for(2s); // the window's retry
        EXPECT_TRUE(ReadingsWithin(3s));
        EXPECT_LT(Clock::now() - back, 5s);
        ExpectQuickDelete();
    }
}

TEST_F(NetworkPort, TargetsThatAreNoPortFailToOpen)
{
    const struct {
        const char* target;
        int error;
    } cases[] = { { "tcp://127.0.0.1", EINVAL }, { "socket://127.0.0.1:4001", EINVAL },
        { "rfc2217://[::1:4001", EINVAL }, { "not-a-device-nor-an-address", ENOENT } };
    for (const auto& c : cases) {
        Link(c.target);
        Owner idle;
        errno = 0;
        EXPECT_EQ(Open(idle), nullptr) << c.target;
        EXPECT_EQ(errno, c.error) << c.target;
    }
}

TEST_F(NetworkPort, AServerThatCannotBeReachedIsALostPort)
{
    const std::string refused = "127.0.0.1:" + std::to_string(FreePort());
    for (const std::string& target : { "tcp://" + refused, "rfc2217://" + refused,
             std::string("rfc2217://meter.invalid:4001"), std::string("tcp://[::1]:1") }) {
        SCOPED_TRACE(target);
        Link(target);
        owner = std::make_unique<Owner>();
        port = Open(*owner); // the connect happens on the port's thread
        ASSERT_NE(port, nullptr);
        EXPECT_TRUE(owner->WaitFor(6s, [&] { return owner->lost == 1; }));
        EXPECT_EQ(owner->bytes, 0U);
        port.reset();
    }
}

TEST_F(NetworkPort, ServersThatMisbehave)
{
    Bytes noise(1000);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<std::uint8_t>(i * 37 + 11);
    Bytes commands; // every option asked for both ways, with NOPs
    for (int option = 0; option < 256; ++option) {
        const auto o = static_cast<std::uint8_t>(option);
        commands.insert(commands.end(), { 255, 251, o, 255, 253, o, 255, 241 });
    }
    const struct {
        const char* what;
        const char* scheme;
        std::function<Bytes(int)> chunk;
        bool data; // bytes reach the owner
    } cases[] = {
        { "silent raw", "tcp", nullptr, false },
        { "silent telnet", "rfc2217", nullptr, false },
        { "noise raw", "tcp", [&](int) { return noise; }, true },
        { "noise telnet", "rfc2217", [&](int) { return noise; }, true },
        { "command storm", "rfc2217", [&](int) { return commands; }, false },
        { "never-ending subnegotiation", "rfc2217",
            [](int round) {
                return round == 0 ? Bytes { 255, 250, 44, 101 } : Bytes(1000, 0x41);
            },
            false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeServer server(c.chunk);
        ASSERT_NE(server.port, 0);
        Link(std::string(c.scheme) + "://127.0.0.1:" + std::to_string(server.port));
        owner = std::make_unique<Owner>();
        port = Open(*owner);
        ASSERT_NE(port, nullptr);
        std::this_thread::sleep_for(1500ms);
        {
            std::lock_guard lock(owner->mutex);
            EXPECT_EQ(owner->lost, 0); // connected, just no meter behind it
            EXPECT_EQ(owner->good, 0);
            EXPECT_EQ(owner->bytes > 0, c.data);
            EXPECT_LE(owner->largestRun, SerialPort::kChunkBytes);
        }
        EXPECT_TRUE(port->monitoring());
        ExpectQuickDelete();
        // Each request is answered once, not again at every repetition.
        EXPECT_LT(server.received.load(), 4096U);
    }
}
