// Which way the alarm sounds, with stub players on PATH and a stand-in for
// the sound server's socket.
#include "alarms/AlarmSound.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "support/EventLoop.h"
#include "support/TempDir.h"

namespace {

// Sets variables for one test and puts them back afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(
        std::initializer_list<std::pair<const char*, std::optional<std::string>>> vars)
    {
        for (const auto& [name, value] : vars) {
            const char* old = std::getenv(name);
            saved_.emplace_back(
                name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
            if (value)
                ::setenv(name, value->c_str(), 1);
            else
                ::unsetenv(name);
        }
    }
    ~ScopedEnvironment()
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                ::setenv(name, value->c_str(), 1);
            else
                ::unsetenv(name);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

void makeFile(const std::string& path, const std::string& content = {}, bool executable = false)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteFile(path, content);
    if (executable)
        ::chmod(path.c_str(), 0755);
}

} // namespace

TEST(AlarmSound, PlaysThroughTheFirstPlayerWhenAServerListensElseRingsTheBell)
{
    const std::string stereo = "/sounds/freedesktop/stereo/";
    const struct {
        const char* name;
        std::vector<const char*> players;
        const char* socket; // under the runtime folder, "" for none
        bool pulseServerVariable;
        std::vector<const char*> sounds;
        const char* played; // "" for the bell; "FILE" stands for the sound's path
        const char* file;
    } cases[] = {
        { "canberra first", { "canberra-gtk-play", "pw-play", "paplay" }, "pulse/native", false,
            { "alarm-clock-elapsed.oga" }, "canberra-gtk-play -i alarm-clock-elapsed", "" },
        { "pipewire", { "pw-play", "paplay" }, "pipewire-0", false,
            { "alarm-clock-elapsed.oga", "dialog-warning.oga" }, "pw-play FILE",
            "alarm-clock-elapsed.oga" },
        { "the warning sound", { "paplay" }, "pulse/native", false, { "dialog-warning.oga" },
            "paplay FILE", "dialog-warning.oga" },
        { "PULSE_SERVER", { "paplay" }, "", true, { "alarm-clock-elapsed.oga" }, "paplay FILE",
            "alarm-clock-elapsed.oga" },
        { "no server", { "canberra-gtk-play", "paplay" }, "", false, { "alarm-clock-elapsed.oga" },
            "", "" },
        { "no player", {}, "pulse/native", false, { "alarm-clock-elapsed.oga" }, "", "" },
        { "no sound file", { "pw-play" }, "pulse/native", false, {}, "", "" },
        { "a player that fails", { "fails:paplay" }, "pulse/native", false,
            { "alarm-clock-elapsed.oga" }, "paplay FILE", "alarm-clock-elapsed.oga" },
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string log = dir / "played";
        for (std::string player : c.players) {
            const bool fails = player.rfind("fails:", 0) == 0;
            if (fails)
                player = player.substr(6);
            makeFile(dir / ("bin/" + player),
                "#!/bin/sh\necho \"${0##*/} $*\" >> " + log + (fails ? "\nexit 1\n" : "\n"), true);
        }
        for (const char* sound : c.sounds)
            makeFile(dir / "data" + stereo + sound);
        if (*c.socket != '\0')
            makeFile(dir / "run/" + c.socket);
        makeFile(dir / "elsewhere/native");
        ScopedEnvironment env({ { "PATH", dir / "bin" }, { "XDG_RUNTIME_DIR", dir / "run" },
            { "XDG_DATA_DIRS", dir / "nothing-here:" + dir / "data" },
            { "PULSE_SERVER",
                c.pulseServerVariable
                    ? std::optional<std::string>("unix:" + dir / "elsewhere/native")
                    : std::nullopt } });
        int bells = 0;
        AlarmSound sound([&] { ++bells; });
        sound.Play();
        ASSERT_TRUE(spinUntil([&] { return !sound.isPlaying(); })) << c.name;

        std::string expected = c.played;
        if (const auto at = expected.find("FILE"); at != std::string::npos)
            expected.replace(at, 4, dir / "data" + stereo + c.file);
        EXPECT_EQ(ReadFile(log), expected.empty() ? "" : expected + "\n") << c.name;
        const bool failing
            = !c.players.empty() && std::string(c.players[0]).rfind("fails:", 0) == 0;
        EXPECT_EQ(bells, expected.empty() || failing ? 1 : 0) << c.name;
    }
}

TEST(AlarmSound, OnePlayerAtATime)
{
    TempDir dir;
    makeFile(dir / "bin/canberra-gtk-play",
        "#!/bin/sh\necho $$ >> " + dir / "played" + "\nexec /bin/sleep 1000\n", true);
    makeFile(dir / "run/pulse/native");
    ScopedEnvironment env({ { "PATH", dir / "bin" }, { "XDG_RUNTIME_DIR", dir / "run" },
        { "PULSE_SERVER", std::nullopt } });
    int bells = 0;
    AlarmSound sound([&] { ++bells; });
    sound.Play();
    ASSERT_TRUE(spinUntil([&] { return !ReadFile(dir / "played").empty(); }));
    sound.Play();
    sound.Play();
    spinUntil([] { return false; }, 100);
    const std::string played = ReadFile(dir / "played");
    EXPECT_EQ(std::count(played.begin(), played.end(), '\n'), 1);
    EXPECT_TRUE(sound.isPlaying());
    EXPECT_EQ(bells, 0);
    ::kill(std::atoi(played.c_str()), SIGKILL);
    EXPECT_TRUE(spinUntil([&] { return !sound.isPlaying(); }));
}
