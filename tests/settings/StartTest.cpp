#include "device/PortControl.h"
#include "display/MainDialog.h"
#include "platform/WindowRaise.h"
#include "settings/Application.h"
#include "settings/CommandLine.h"
#include "settings/InstanceLock.h"
#include "settings/InstanceServer.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <QWidget>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

using namespace std::chrono_literals;
using Outcome = CommandLine::Outcome;

namespace {

// The real program started as a second start on `config`; its exit code.
int SecondStart(const TempDir& dir, const std::string& config, const char* token)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
        ::setenv("XDG_ACTIVATION_TOKEN", token, 1);
        ::unsetenv("DESKTOP_STARTUP_ID");
        ::execl(QM482_EXE, QM482_EXE, "--config", config.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = -1;
    // The server answers from this event loop.
    spinUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 10000);
    if (!WIFEXITED(status)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return -1;
    }
    return WEXITSTATUS(status);
}

int Connect(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): the sockets API
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    return fd;
}

// What the server sent before it closed, or "(open)" while it keeps the
// connection.
std::string Reply(int fd)
{
    std::string got;
    std::array<char, 64> buffer {};
    for (;;) {
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n > 0)
            got.append(buffer.data(), static_cast<std::size_t>(n));
        else if (n == 0 || errno != EAGAIN)
            return got;
        else
            return got + "(open)";
    }
}

} // namespace

TEST(CommandLine, OptionsAndWhatIsRefused)
{
    const struct {
        QStringList arguments;
        Outcome outcome;
        QString config;
    } cases[] = {
        { {}, Outcome::Run, {} },
        { { "--config", "hala2.ini" }, Outcome::Run, "hala2.ini" },
        { { "--config=/etc/qm482/hala 2.ini" }, Outcome::Run, "/etc/qm482/hala 2.ini" },
        { { "--help" }, Outcome::Help, {} },
        { { "-h", "--config", "x" }, Outcome::Help, {} },
        { { "--version" }, Outcome::Version, {} },
        { { "--config" }, Outcome::BadUsage, {} },
        { { "--config=" }, Outcome::BadUsage, {} },
        { { "--config", "a.ini", "--config", "b.ini" }, Outcome::BadUsage, {} },
        { { "hala.ini" }, Outcome::BadUsage, {} },
        { { "--port", "3" }, Outcome::BadUsage, {} },
    };
    for (const auto& c : cases) {
        const CommandLine got = ParseCommandLine(QStringList { "qm482" } + c.arguments);
        const QString where = c.arguments.join(' ');
        EXPECT_EQ(got.outcome, c.outcome) << where.toStdString();
        EXPECT_EQ(got.config, c.config) << where.toStdString();
        if (c.outcome == Outcome::BadUsage || c.outcome == Outcome::Help) {
            EXPECT_TRUE(got.output.contains("--config <PLIK>")) << got.output.toStdString();
        }
    }
    EXPECT_EQ(ParseCommandLine({ "qm482", "--version" }).output, "qm482 " QM482_VERSION "\n");
}

TEST(CommandLine, HelpAndVersionNeedNoDisplay)
{
    for (const char* option : { "--help", "--version" }) {
        TempDir dir;
        const std::string out = dir / "out";
        const pid_t pid = ::fork();
        if (pid == 0) {
            for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
                ::unsetenv(name);
            ::freopen(out.c_str(), "w", stdout);
            ::execl(QM482_EXE, QM482_EXE, option, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = -1;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << option;
        EXPECT_NE(ReadFile(out).find("qm482"), std::string::npos) << option;
    }
}

TEST(InstanceServer, ASecondStartOnTheSameFileRaisesTheWindowAndEndsWithZero)
{
    TempDir dir;
    const std::string config = dir / "hala.ini";
    WriteFile(config, "");
    std::filesystem::create_symlink(config, dir / "link.ini");
    InstanceLock lock(dir.path(), InstanceLock::CanonicalPath(config));
    ASSERT_EQ(lock.Acquire("raise", 0ms), InstanceLock::Outcome::Primary);
    std::vector<QString> raised;
    InstanceServer server(lock.listener(), [&](const QString& token) { raised.push_back(token); });

    EXPECT_EQ(SecondStart(dir, config, "tok-1"), 0);
    EXPECT_EQ(SecondStart(dir, dir / "link.ini", "tok 2"), 0);
    EXPECT_EQ(raised, (std::vector<QString> { "tok-1", "" })) << "a token with a space is dropped";
    spinUntil([&] { return server.clientCount() == 0; }, 1000);
    EXPECT_EQ(server.clientCount(), 0);
}

TEST(InstanceServer, ClientsThatSayNothingUsefulAreDroppedWithoutARaise)
{
    TempDir dir;
    InstanceLock lock(dir.path(), dir / "hala.ini");
    ASSERT_EQ(lock.Acquire("raise", 0ms), InstanceLock::Outcome::Primary);
    std::vector<QString> raised;
    InstanceServer server(lock.listener(), [&](const QString& token) { raised.push_back(token); });

    std::map<std::string, int> clients;
    for (const std::string& said : { std::string("raise abc\n"), std::string("hello\n"),
             std::string("raisex\n"), std::string(600, 'r'), std::string() }) {
        clients[said] = Connect(lock.socketPath());
        ::send(clients[said], said.data(), said.size(), MSG_NOSIGNAL);
    }
    spinUntil([] { return false; }, 300);
    EXPECT_EQ(Reply(clients["raise abc\n"]), "ok\n");
    EXPECT_EQ(Reply(clients["hello\n"]), "");
    EXPECT_EQ(Reply(clients["raisex\n"]), "");
    EXPECT_EQ(Reply(clients[std::string(600, 'r')]), "") << "a line without end is cut off";
    EXPECT_EQ(Reply(clients[std::string()]), "(open)") << "a silent client gets its time";
    EXPECT_EQ(raised, (std::vector<QString> { "abc" }));

    // Silent ones beyond the few served at once are closed at once; all go
    // after their time is up.
    std::vector<int> silent;
    for (int i = 0; i < 12; ++i) {
        silent.push_back(Connect(lock.socketPath()));
        spinUntil([] { return false; }, 20); // the backlog is short
    }
    EXPECT_LE(server.clientCount(), 8);
    EXPECT_TRUE(spinUntil([&] { return server.clientCount() == 0; }, 3000));
    EXPECT_EQ(Reply(clients[std::string()]), "");
    for (auto& [said, fd] : clients)
        ::close(fd);
    for (int fd : silent)
        ::close(fd);
}

TEST(InstanceServer, BringToFrontRestoresAMinimisedWindowAndLeavesAHiddenOne)
{
    QWidget shown;
    shown.show();
    shown.showMinimized();
    BringToFront(shown, QString());
    EXPECT_FALSE(shown.isMinimized());
    QWidget hidden;
    BringToFront(hidden, QString());
    EXPECT_FALSE(hidden.isVisible());
}

TEST(Application, AConfigFileIsCreatedKeptOrRefusedWithoutAWindow)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    WriteFile(dir / "large.ini", std::string((1U << 20U) + 1, 'x'));
    WriteFile(dir / "hand.ini", "[GENERAL]\r\nPORT_NR=5\r\n[MINE]\r\nX=1\r\n");
    const struct {
        std::string file;
        bool refused;
        int port;
    } cases[] = {
        { dir / "new.ini", false, 0 },
        { dir / "hand.ini", false, 5 },
        { dir / "folder", true, -1 },
        { dir / "large.ini", true, -1 },
        { dir / "none/x.ini", true, -1 },
    };
    for (const auto& c : cases) {
        bool ran = false;
        int port = -1;
        Application app(nullptr, [&](MainDialog& d) {
            ran = true;
            port = d.portControl().portNumber;
        });
        app.UseSettingsFile(c.file);
        app.Run();
        EXPECT_EQ(app.settingsRefused(), c.refused) << c.file;
        EXPECT_EQ(ran, !c.refused) << c.file;
        EXPECT_EQ(port, c.port) << c.file;
    }
    EXPECT_NE(ReadFile(dir / "new.ini").find("PORT_NR=0"), std::string::npos);
    EXPECT_NE(ReadFile(dir / "hand.ini").find("[MINE]\r\nX=1\r\n"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "large.ini").size(), (1U << 20U) + 1);
}
