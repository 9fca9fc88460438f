// Network ports against a real ser2net serving qm482-sim's pty, and against
// small servers of the test's own that misbehave.
#include "device/FrameDecoder.h"
#include "device/SerialPort.h"
#include "device/SerialPortOwner.h"
#include "device/SystemCalls.h"
#include "device/TelnetComPort.h"
#include "support/Pty.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
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
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

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
            if (b == 0x0D) {
                if (decoder.decode(line.data(), line.size()))
                    ++good;
                line.clear();
            } else if (line.size() > 1024) {
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
    template<typename Pred> bool WaitFor(std::chrono::milliseconds timeout, Pred pred)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, timeout, pred);
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::uint8_t> line;
    FrameDecoder decoder;
    std::size_t bytes = 0;
    std::size_t largestRun = 0;
    int good = 0;
    int lost = 0;
};

pid_t Spawn(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

void End(pid_t& pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
}

// A port nobody listens on, for the moment.
int FreePort(int family = AF_INET)
{
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_storage a {};
    socklen_t size = 0;
    if (family == AF_INET) {
        auto* in = reinterpret_cast<sockaddr_in*>(&a);
        in->sin_family = AF_INET;
        in->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        size = sizeof *in;
    } else {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&a);
        in6->sin6_family = AF_INET6;
        in6->sin6_addr = in6addr_loopback;
        size = sizeof *in6;
    }
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    return family == AF_INET ? ntohs(reinterpret_cast<sockaddr_in*>(&a)->sin_port)
                             : ntohs(reinterpret_cast<sockaddr_in6*>(&a)->sin6_port);
}

// Whether a socket listens on the port, read from the kernel's tables:
// a trial connection would make ser2net open the pty and be busy with it
// for a moment after.
bool Listening(int port)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, ":%04X", port);
    for (const char* table : { "/proc/net/tcp", "/proc/net/tcp6" }) {
        std::ifstream in(table);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            if (state == "0A" && local.size() > 5 && local.compare(local.size() - 5, 5, hex) == 0)
                return true;
        }
    }
    return false;
}

// The meter: qm482-sim at a hundred times its pace, its pty linked as COM1.
class Meter {
public:
    explicit Meter(const std::string& links)
    {
        ::setenv("QM482_PORTS_DIR", links.c_str(), 1);
        pid_ = Spawn({ QM482_SIM_PATH, "--port", "1", "--fast", "--quiet", "--serial", "1234" });
        const std::string link = links + "/COM1";
        for (int i = 0; i < 500 && !fs::exists(link); ++i)
            std::this_thread::sleep_for(10ms);
        std::error_code ec;
        pty_ = fs::read_symlink(link, ec).string(); // ser2net wants the device itself
    }
    ~Meter() { End(pid_); }
    Meter(const Meter&) = delete;
    Meter& operator=(const Meter&) = delete;
    const std::string& pty() const { return pty_; }

private:
    pid_t pid_ = -1;
    std::string pty_;
};

// ser2net in the foreground with a configuration of the test: one raw and
// one RFC 2217 accepter on the meter's pty, which starts at 9600 baud and 2
// stop bits so that the line the program sets shows. (The data size cannot
// show: the kernel keeps a pty at CS8 and without parity whatever is set.)
class Ser2net {
public:
    Ser2net(const std::string& dir, const std::string& pty, std::string host = "127.0.0.1")
        : host_(std::move(host))
        , config_(dir + "/ser2net.yaml")
        , pidFile_(dir + "/ser2net.pid")
    {
        const int family = host_.find(':') != std::string::npos ? AF_INET6 : AF_INET;
        raw = FreePort(family);
        telnet = FreePort(family);
        std::ofstream out(config_);
        for (const auto& [name, accepter] :
            { std::pair { "raw", "tcp," + host_ + "," + std::to_string(raw) },
                std::pair {
                    "telnet", "telnet(rfc2217),tcp," + host_ + "," + std::to_string(telnet) } }) {
            out << "connection: &" << name << "\n"
                << "  accepter: " << accepter << "\n"
                << "  connector: serialdev," << pty << ",9600n82,local\n"
                << "  options:\n    kickolduser: true\n";
        }
    }
    ~Ser2net() { Stop(); }
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    bool Start()
    {
        pid_ = Spawn({ "ser2net", "-n", "-u", "-P", pidFile_, "-c", config_ });
        for (int i = 0; i < 500; ++i) {
            if (Listening(raw) && Listening(telnet))
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    void Stop() { End(pid_); }

    int raw = 0;
    int telnet = 0;

private:
    std::string host_;
    std::string config_;
    std::string pidFile_;
    pid_t pid_ = -1;
};

// A server of the test's own on 127.0.0.1: accepts one connection and
// runs `behave` on it until the test ends.
class FakeServer {
public:
    using Behaviour = std::function<void(
        int fd, const std::atomic<bool>& going, std::atomic<std::size_t>& received)>;

    explicit FakeServer(Behaviour behave)
    {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), size);
        ::listen(listen_, 4);
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &size);
        port = ntohs(a.sin_port);
        thread_ = std::thread([this, behave = std::move(behave)] {
            pollfd p { listen_, POLLIN, 0 };
            while (going_ && ::poll(&p, 1, 50) == 0) { }
            if (!going_)
                return;
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0)
                return;
            behave(fd, going_, received);
            ::close(fd);
        });
    }
    ~FakeServer()
    {
        going_ = false;
        thread_.join();
        ::close(listen_);
    }
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    int port = 0;
    std::atomic<std::size_t> received { 0 }; // what the port sent back

private:
    int listen_ = -1;
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
    void Link(int port, const std::string& target)
    {
        const std::string link = roots.links + "/COM" + std::to_string(port);
        fs::remove(link);
        fs::create_symlink(target, link);
    }
    std::unique_ptr<SerialPort> Open(int port, Owner& owner)
    {
        auto serial = std::make_unique<SerialPort>(SystemCalls::Real(), roots);
        if (!serial->Open(&owner, port, 300, 'N', 7, 1, SerialPort::EV_RXCHAR)
            || !serial->StartMonitoring())
            return nullptr;
        return serial;
    }
    // The window's rule for a lost port (PortControl): open it again 2 s
    // after the loss, until `frames` good frames come or `limit` passes.
    bool ReadingsWithin(int number, std::chrono::milliseconds limit, int frames,
        std::unique_ptr<SerialPort>& serial, std::unique_ptr<Owner>& owner)
    {
        const auto until = Clock::now() + limit;
        while (Clock::now() < until) {
            serial.reset();
            owner = std::make_unique<Owner>();
            serial = Open(number, *owner);
            if (serial == nullptr)
                return false;
            const auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
            owner->WaitFor(left, [&] { return owner->good >= frames || owner->lost > 0; });
            if (owner->good >= frames)
                return true;
            std::this_thread::sleep_for(std::min<Clock::duration>(2s, until - Clock::now()));
        }
        return false;
    }
    // Deleting the port never waits on the network.
    static void ExpectQuickDelete(std::unique_ptr<SerialPort>& serial)
    {
        const auto start = Clock::now();
        serial.reset();
        EXPECT_LT(Clock::now() - start, 500ms);
    }

    testpty::TempDir dir;
    PortRoots roots;
};

termios LineOf(const std::string& pty)
{
    termios t {};
    const int fd = ::open(pty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::tcgetattr(fd, &t);
        ::close(fd);
    }
    return t;
}

// The line of the pty once `speed` is set (ser2net applies a setting when
// its command arrives, which may be after the first frames).
termios LineAt(const std::string& pty, speed_t speed)
{
    termios t = LineOf(pty);
    for (int i = 0; i < 200 && cfgetospeed(&t) != speed; ++i) {
        std::this_thread::sleep_for(10ms);
        t = LineOf(pty);
    }
    return t;
}

} // namespace

TEST_F(NetworkPort, ReadingsThroughSer2netRawAndRfc2217)
{
    Meter meter(dir / "sim");
    ASSERT_FALSE(meter.pty().empty());
    for (const std::string host : { "127.0.0.1", "::1" }) {
        Ser2net server(dir.path(), meter.pty(), host);
        ASSERT_TRUE(server.Start()) << host;
        const std::string written = host == "::1" ? "[::1]" : host;
        for (const bool rfc2217 : { false, true }) {
            SCOPED_TRACE(host + (rfc2217 ? " rfc2217" : " raw"));
            Link(5,
                (rfc2217 ? "rfc2217://" : "tcp://") + written + ":"
                    + std::to_string(rfc2217 ? server.telnet : server.raw));
            // ser2net may still hold the pty for the connection just
            // closed: then this one is turned away once, as a lost port.
            std::unique_ptr<SerialPort> port;
            std::unique_ptr<Owner> owner;
            EXPECT_TRUE(ReadingsWithin(5, 10s, 3, port, owner));
            const termios t = LineAt(meter.pty(), rfc2217 ? B300 : B9600);
            if (rfc2217) {
                // The line ser2net holds is the one asked for over Telnet.
                EXPECT_EQ(cfgetospeed(&t), speed_t { B300 });
                EXPECT_EQ(t.c_cflag & PARENB, 0U);
                EXPECT_EQ(t.c_cflag & CSTOPB, 0U);
            } else {
                // Raw TCP has no say over the line: ser2net's own settings stay.
                EXPECT_EQ(cfgetospeed(&t), speed_t { B9600 });
                EXPECT_NE(t.c_cflag & CSTOPB, 0U);
            }
            ExpectQuickDelete(port);
        }
    }
}

TEST_F(NetworkPort, Ser2netConfirmsEachFieldOfTheLine)
{
    // What a pty cannot show (7 data bits), ser2net's answers do: the
    // Telnet stream of the port, spoken over a plain socket.
    Meter meter(dir / "sim");
    Ser2net server(dir.path(), meter.pty());
    ASSERT_TRUE(server.Start());
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(server.telnet));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    TelnetComPort telnet(TelnetComPort::Line {});
    const auto hello = telnet.Start();
    ASSERT_EQ(::send(fd, hello.data(), hello.size(), MSG_NOSIGNAL), ssize_t(hello.size()));
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> replies;
    FrameDecoder decoder;
    int good = 0;
    std::vector<std::uint8_t> line;
    const auto until = Clock::now() + 10s;
    while (Clock::now() < until && (!telnet.confirmed() || good < 2)) {
        pollfd p { fd, POLLIN, 0 };
        if (::poll(&p, 1, 100) <= 0)
            continue;
        std::uint8_t in[512];
        const ssize_t n = ::recv(fd, in, sizeof in, 0);
        ASSERT_GT(n, 0);
        replies.clear();
        data.clear();
        telnet.Receive(in, static_cast<std::size_t>(n), data, replies);
        ::send(fd, replies.data(), replies.size(), MSG_NOSIGNAL);
        for (const auto b : data) {
            line.push_back(b);
            if (b == 0x0D) {
                good += decoder.decode(line.data(), line.size()) ? 1 : 0;
                line.clear();
            }
        }
    }
    ::close(fd);
    EXPECT_TRUE(telnet.lineSent());
    ASSERT_TRUE(telnet.confirmed().has_value());
    EXPECT_EQ(telnet.confirmed()->baud, 300U);
    EXPECT_EQ(telnet.confirmed()->dataSize, 7);
    EXPECT_EQ(telnet.confirmed()->parity, 1);
    EXPECT_EQ(telnet.confirmed()->stopSize, 1);
    EXPECT_GE(good, 2);
}

TEST_F(NetworkPort, Ser2netStoppedAndStartedTheReadingsComeBack)
{
    Meter meter(dir / "sim");
    Ser2net server(dir.path(), meter.pty());
    ASSERT_TRUE(server.Start());
    for (const bool rfc2217 : { false, true }) {
        SCOPED_TRACE(rfc2217 ? "rfc2217" : "raw");
        Link(5,
            std::string(rfc2217 ? "rfc2217" : "tcp")
                + "://127.0.0.1:" + std::to_string(rfc2217 ? server.telnet : server.raw));
        std::unique_ptr<SerialPort> port;
        std::unique_ptr<Owner> owner;
        ASSERT_TRUE(ReadingsWithin(5, 10s, 1, port, owner));

        server.Stop();
        ASSERT_TRUE(owner->WaitFor(3s, [&] { return owner->lost == 1; }));
        ASSERT_TRUE(server.Start());
        // Tried again 2 s after the loss, as the window does: frames within 5 s.
        const auto back = Clock::now();
        std::this_thread::sleep_for(2s);
        EXPECT_TRUE(ReadingsWithin(5, 3s, 1, port, owner));
        EXPECT_LT(Clock::now() - back, 5s);
        port.reset();
    }
}

TEST_F(NetworkPort, TargetsThatAreNoPortFailToOpen)
{
    const struct {
        const char* target;
        int error;
    } cases[] = { { "tcp://127.0.0.1", EINVAL }, { "socket://127.0.0.1:4001", EINVAL },
        { "rfc2217://[::1:4001", EINVAL }, { "tcp://x y:1", EINVAL },
        { "not-a-device-nor-an-address", ENOENT } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        Link(5, c.target);
        Owner owner;
        SerialPort port(SystemCalls::Real(), roots);
        errno = 0;
        EXPECT_FALSE(port.Open(&owner, 5, 300, 'N', 7, 1, SerialPort::EV_RXCHAR));
        EXPECT_EQ(errno, c.error);
    }
}

TEST_F(NetworkPort, AServerThatCannotBeReachedIsALostPort)
{
    const std::string refused = "tcp://127.0.0.1:" + std::to_string(FreePort());
    for (const std::string& target : { refused, "rfc2217://" + refused.substr(6),
             std::string("rfc2217://meter.invalid:4001"), std::string("tcp://[::1]:1") }) {
        SCOPED_TRACE(target);
        Link(5, target);
        Owner owner;
        auto port = Open(5, owner);
        ASSERT_NE(port, nullptr); // the connect happens on the port's thread
        EXPECT_TRUE(owner.WaitFor(6s, [&] { return owner.lost == 1; }));
        EXPECT_EQ(owner.bytes, 0U);
        for (int i = 0; i < 100 && port->monitoring(); ++i)
            std::this_thread::sleep_for(10ms);
        EXPECT_FALSE(port->monitoring());
    }
}

TEST_F(NetworkPort, ServersThatMisbehave)
{
    using Bytes = std::vector<std::uint8_t>;
    Bytes noise(1000);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<std::uint8_t>(i * 37 + 11);
    Bytes commands;
    for (int option = 0; option < 256; ++option)
        commands.insert(commands.end(),
            { 255, 251, std::uint8_t(option), 255, 253, std::uint8_t(option), 255, 241 });
    const Bytes endlessSub = { 255, 250, 44, 101 };
    const Bytes subFiller(1000, 0x41);
    const struct {
        const char* what;
        const char* scheme;
        std::function<Bytes(int)> chunk; // what the server sends, by round
        bool data; // the noise reaches the owner
    } cases[] = {
        { "silent raw", "tcp", nullptr, false },
        { "silent telnet", "rfc2217", nullptr, false },
        { "noise raw", "tcp", [&](int) { return noise; }, true },
        { "noise telnet", "rfc2217", [&](int) { return noise; }, true },
        { "command storm", "rfc2217", [&](int) { return commands; }, false },
        { "never-ending subnegotiation", "rfc2217",
            [&](int round) { return round == 0 ? endlessSub : subFiller; }, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        int round = 0;
        auto server = std::make_unique<FakeServer>(
            [&](int fd, const std::atomic<bool>& going, std::atomic<std::size_t>& received) {
                std::uint8_t in[4096];
                while (going) {
                    if (c.chunk) {
                        const Bytes bytes = c.chunk(round++);
                        if (::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0)
                            ::usleep(1000);
                    } else {
                        ::usleep(10000);
                    }
                    for (ssize_t n; (n = ::recv(fd, in, sizeof in, 0)) > 0;)
                        received += static_cast<std::size_t>(n);
                }
            });
        Link(5, std::string(c.scheme) + "://127.0.0.1:" + std::to_string(server->port));
        Owner owner;
        auto port = Open(5, owner);
        ASSERT_NE(port, nullptr);
        std::this_thread::sleep_for(1500ms);
        {
            std::lock_guard lock(owner.mutex);
            EXPECT_EQ(owner.lost, 0); // connected, just no meter behind it
            EXPECT_EQ(owner.good, 0);
            EXPECT_EQ(owner.bytes > 0, c.data);
            EXPECT_LE(owner.largestRun, SerialPort::kChunkBytes);
        }
        EXPECT_TRUE(port->monitoring());
        ExpectQuickDelete(port);
        // The answers to a storm of commands are a handful, not a stream.
        EXPECT_LT(server->received.load(), 4096U);
        server.reset();
    }
}
