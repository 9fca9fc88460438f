// The site's command, run for real: stub scripts that say what they got.
#include "alarms/AlarmCommand.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

#include "support/EventLoop.h"
#include "support/TempDir.h"

namespace {

std::string script(const TempDir& dir, const std::string& name, const std::string& body)
{
    const std::string path = dir / name;
    WriteFile(path, "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

AlarmLogEntry entry()
{
    AlarmLogEntry e;
    e.time = { 2026, 12, 9, 8, 15, 3 };
    e.serialNumber = 4660;
    e.kind = AlarmKind::HumidityHigh;
    e.type = AlarmEventType::End;
    e.value = 71.25;
    e.limit = 70;
    return e;
}

// None of this process's children has ended unreaped.
bool noZombie()
{
    siginfo_t info {};
    return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == 0;
}

} // namespace

TEST(AlarmCommand, RunsWithoutAShellWithTheAlarmInItsEnvironment)
{
    TempDir dir;
    const std::string stub = script(dir, "stub",
        "printf '%s\\n' \"$@\" > \"" + dir / "args" + "\"\nenv > \"" + dir / "env" + "\"");
    ::setenv("QM482_INHERITED", "yes", 1);
    AlarmCommand command;
    QSignalSpy failed(&command, &AlarmCommand::failed);
    command.Start(stub + " 'two words' \"$HOME\" ;", entry());
    ASSERT_TRUE(spinUntil([&] { return command.running() == 0; }));
    ::unsetenv("QM482_INHERITED");

    EXPECT_EQ(ReadFile(dir / "args"), "two words\n$HOME\n;\n");
    const std::string env = ReadFile(dir / "env");
    for (const char* line : { "QM482_INHERITED=yes", "QM482_SERIAL=4660", "QM482_ALARM=RH_HIGH",
             "QM482_STATE=end", "QM482_VALUE=71.25", "QM482_LIMIT=70" })
        EXPECT_NE(env.find(std::string("\n") + line + "\n"), std::string::npos) << line;
    EXPECT_EQ(failed.count(), 0);
    EXPECT_TRUE(noZombie());
}

TEST(AlarmCommand, EveryWayOfFailingIsReported)
{
    TempDir dir;
    const std::string badInterpreter = script(dir, "bad-interpreter", "");
    WriteFile(badInterpreter, "#!/nonexistent/interpreter\n");
    const struct {
        std::string line;
        const char* says;
    } cases[] = {
        { "/nonexistent/program", "nie można go uruchomić" },
        { "no-such-program-on-path-482", "nie znaleziono programu" },
        { "'unbalanced", "cudzysłów" },
        { badInterpreter + " x", "nie można go uruchomić" },
        { "false", "zakończyło się kodem 1" },
        { script(dir, "exit3", "exit 3"), "kodem 3" },
        { script(dir, "killed", "kill -TERM $$"), "sygnałem 15" },
    };
    for (const auto& c : cases) {
        AlarmCommand command;
        QSignalSpy failed(&command, &AlarmCommand::failed);
        command.Start(c.line, entry());
        EXPECT_EQ(failed.count(), 0) << "reported from within Start: " << c.line;
        ASSERT_TRUE(spinUntil([&] { return failed.count() == 1; })) << c.line;
        const std::string message = failed.at(0).at(0).toString().toStdString();
        EXPECT_NE(
            message.find("Polecenie alarmu " + c.line + " nie powiodło się: "), std::string::npos)
            << message;
        EXPECT_NE(message.find(c.says), std::string::npos) << message;
        EXPECT_EQ(command.running(), 0);
    }
    EXPECT_TRUE(noZombie());
}

TEST(AlarmCommand, HangingCommandsAreBoundedAndOutliveTheirOwner)
{
    TempDir dir;
    std::vector<pid_t> sleepers;
    {
        AlarmCommand command;
        QSignalSpy failed(&command, &AlarmCommand::failed);
        for (int i = 0; i < AlarmCommand::kMaxRunning; ++i) {
            const std::string pidFile = dir / ("pid" + std::to_string(i));
            command.Start(script(dir, "sleeper" + std::to_string(i),
                              "echo $$ > " + pidFile + "\nexec sleep 1000"),
                entry());
        }
        EXPECT_EQ(command.running(), AlarmCommand::kMaxRunning);
        command.Start("true", entry());
        ASSERT_TRUE(spinUntil([&] { return failed.count() == 1; }));
        EXPECT_NE(failed.at(0).at(0).toString().indexOf("działa już 8"), -1);
        for (int i = 0; i < AlarmCommand::kMaxRunning; ++i) {
            const std::string pidFile = dir / ("pid" + std::to_string(i));
            ASSERT_TRUE(
                spinUntil([&] { return ReadFile(pidFile).find('\n') != std::string::npos; }));
            sleepers.push_back(std::atoi(ReadFile(pidFile).c_str()));
        }
    }
    for (const pid_t pid : sleepers) {
        EXPECT_EQ(::kill(pid, 0), 0) << "stopped with its owner";
        EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), -1) << "a child of ours";
        ::kill(pid, SIGKILL);
    }
}
