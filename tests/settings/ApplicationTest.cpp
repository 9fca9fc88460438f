#include "settings/Application.h"
#include "device/PortControl.h"
#include "display/MainDialog.h"
#include "display/ValuePanel.h"
#include "mqtt/MqttPublisher.h"
#include "settings/PosixFileLayer.h"
#include "support/ProgramFolder.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(Application, FirstRunWritesEveryDefaultAndARunWithoutChangesLeavesTheFile)
{
    ProgramFolder program;
    program.Run([](MainDialog& d) {
        EXPECT_EQ(d.recording.settings.intervalSeconds, 60) << "FILE_INTERVAL default";
        EXPECT_EQ(d.portControl().portNumber, 0);
    });
    EXPECT_EQ(ReadFile(program.ini()),
        ReadFile(std::string(QM482_GOLDEN_DIR) + "/first_run.expected.ini"));

    AgeFile(program.ini());
    const long long before = ModificationTime(program.ini());
    program.Run([](MainDialog&) {});
    EXPECT_EQ(ModificationTime(program.ini()), before) << "an unchanged run rewrote the file";
}

TEST(Application, TheMqttSectionIsWrittenOnlyOnceConfiguredAndAPasswordMakesTheFilePrivate)
{
    ProgramFolder program;
    program.Run([](MainDialog&) {});
    const std::string first = ReadFile(program.ini());
    ::chmod(program.ini().c_str(), 0644);
    AgeFile(program.ini());
    const long long before = ModificationTime(program.ini());
    program.Run([](MainDialog& d) { EXPECT_FALSE(d.mqtt().settings.configured); });
    EXPECT_EQ(ModificationTime(program.ini()), before) << "an untouched run rewrote the file";
    EXPECT_EQ(ReadFile(program.ini()), first);
    EXPECT_EQ(first.find("[MQTT]"), std::string::npos) << first;

    program.Run([](MainDialog& d) {
        MqttSettings& s = d.mqtt().settings;
        s.configured = true;
        s.host = "broker.lan";
        s.user = "hala";
        s.password = "tajne;haslo";
    });
    const std::string text = ReadFile(program.ini());
    EXPECT_EQ(text.rfind(first, 0), 0U) << "the 36 settings stay as they were, first";
    EXPECT_NE(text.find("[MQTT]\r\nENABLED=0\r\nHOST=broker.lan\r\n"), std::string::npos) << text;
    struct stat st { };
    ASSERT_EQ(::stat(program.ini().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600U) << "a file holding a password is the owner's only";

    program.Run([](MainDialog& d) {
        EXPECT_TRUE(d.mqtt().settings.configured);
        EXPECT_EQ(d.mqtt().settings.password, "tajne;haslo");
        EXPECT_EQ(d.mqtt().settings.host, "broker.lan");
    });
}

TEST(Application, SettingsSurviveBetweenRunsThroughTheMembers)
{
    ProgramFolder program;
    WriteFile(program.ini(),
        "[temp]\r\nfont_italic_temp=257\r\nFONT_NAME_TEMP=Liberation Serif\r\n"
        "[general]\r\nport_nr=3\r\nTOPMOST=1\r\n");
    program.Run([](MainDialog& d) {
        EXPECT_EQ(d.portControl().portNumber, 3) << "lower-case keys are found";
        EXPECT_TRUE(d.topmost);
        EXPECT_EQ(d.temperaturePanel().valueFontDescription().italic, 1);
        EXPECT_EQ(d.temperaturePanel().valueFontDescription().faceName, "Liberation Serif");
        d.portControl().portNumber = 5;
        d.humidityPanel().SetBackgroundColour(255);
        d.recording.settings.reportFileName = "/home/op/pomiary;2024.txt";
    });
    const std::string text = ReadFile(program.ini());
    EXPECT_NE(text.find("font_italic_temp=1\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("port_nr=5\r\n"), std::string::npos) << text;
    program.Run([](MainDialog& d) {
        EXPECT_EQ(d.portControl().portNumber, 5);
        EXPECT_EQ(d.humidityPanel().backgroundColour(), 255u);
        EXPECT_EQ(d.recording.settings.reportFileName, "/home/op/pomiary;2024.txt");
    });
}

TEST(Application, RectangleIsPulledBackOntoTheScreenAtExit)
{
    ProgramFolder program;
    const QSize screen = QGuiApplication::primaryScreen()->size();
    program.Run([&](MainDialog& d) { d.savedRect = { -50, 10, screen.width() + 200, 300 }; });
    const std::string text = ReadFile(program.ini());
    EXPECT_NE(
        text.find("WINDOW_RIGHT=" + std::to_string(screen.width()) + "\r\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("WINDOW_LEFT=0\r\n"), std::string::npos) << text;
}

namespace {

// Starts a copy of the program in `dir` (its settings file lies beside it),
// with its error output going to `dir`/stderr.txt.
pid_t StartProgram(const TempDir& dir)
{
    const std::string exe = dir / "qm482";
    std::filesystem::copy_file(QM482_EXE, exe);
    const std::string errors = dir / "stderr.txt";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("QM482_PORTS_DIR", (dir / "ports").c_str(), 1);
        const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd >= 0)
            ::dup2(fd, STDERR_FILENO);
        ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

// Sends SIGTERM once the program had time to start; its exit code, or a
// failure when it does not end within ten seconds.
testing::AssertionResult EndsOnSigterm(pid_t pid, int& exitCode)
{
    // The port dialog opens half a second after the window; let it.
    ::usleep(1500 * 1000);
    ::kill(pid, SIGTERM);
    int status = 0;
    QElapsedTimer t;
    t.start();
    while (::waitpid(pid, &status, WNOHANG) == 0 && t.elapsed() < 10000)
        ::usleep(20 * 1000);
    if (t.elapsed() >= 10000) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return testing::AssertionFailure() << "the program did not end on SIGTERM";
    }
    if (!WIFEXITED(status))
        return testing::AssertionFailure() << "the program died of a signal";
    exitCode = WEXITSTATUS(status);
    return testing::AssertionSuccess();
}

} // namespace

TEST(ProgramExecutable, SigtermWhileThePortDialogIsOpenSavesTheSettings)
{
    TempDir dir;
    WriteFile(dir / "qm480cfg.ini", "[GENERAL]\r\nPORT_NR=0\r\nWINDOW_LEFT=30\r\n");
    int exitCode = -1;
    ASSERT_TRUE(EndsOnSigterm(StartProgram(dir), exitCode));
    EXPECT_EQ(exitCode, 0);
    const std::string text = ReadFile(dir / "qm480cfg.ini");
    EXPECT_NE(text.find("BACKGROUND_TEMP=16770250"), std::string::npos) << text;
    EXPECT_NE(text.find("PORT_NR=0"), std::string::npos) << text;
}

TEST(ProgramExecutable, AFifoAtTheSettingsPathNeitherHoldsUpTheStartNorIsReplaced)
{
    TempDir dir;
    const std::string ini = dir / "qm480cfg.ini";
    ASSERT_EQ(::mkfifo(ini.c_str(), 0600), 0);
    int exitCode = -1;
    ASSERT_TRUE(EndsOnSigterm(StartProgram(dir), exitCode));
    EXPECT_EQ(exitCode, 0);
    struct stat st { };
    ASSERT_EQ(::lstat(ini.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    const std::string said = ReadFile(dir / "stderr.txt");
    EXPECT_NE(said.find(ini + " is not used"), std::string::npos) << said;
}
