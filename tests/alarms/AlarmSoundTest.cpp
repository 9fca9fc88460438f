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

void setOrUnset(const char* name, const std::optional<std::string>& value)
{
    if (value)
        ::setenv(name, value->c_str(), 1);
    else
        ::unsetenv(name);
}

// Sets the sound's variables for one case and puts them back afterwards:
// the other suites of this program run players and commands too.
class SoundEnvironment {
public:
    SoundEnvironment(const TempDir& dir, bool pulseServer)
    {
        for (const char* name : { "PATH", "XDG_RUNTIME_DIR", "XDG_DATA_DIRS", "PULSE_SERVER" }) {
            const char* old = std::getenv(name);
            saved_.emplace_back(
                name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        }
        setOrUnset("PATH", dir / "bin");
        setOrUnset("XDG_RUNTIME_DIR", dir / "run");
        setOrUnset("XDG_DATA_DIRS", dir / "nothing-here:" + dir / "data");
        setOrUnset("PULSE_SERVER",
            pulseServer ? std::optional<std::string>("unix:" + dir / "elsewhere/native")
                        : std::nullopt);
    }
    ~SoundEnvironment()
    {
        for (const auto& [name, value] : saved_)
            setOrUnset(name, value);
    }
    SoundEnvironment(const SoundEnvironment&) = delete;
    SoundEnvironment& operator=(const SoundEnvironment&) = delete;

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

const std::string kStereo = "data/sounds/freedesktop/stereo/";

} // namespace

TEST(AlarmSound, PlaysThroughTheFirstPlayerWhenAServerListensElseRingsTheBell)
{
    const struct {
        std::vector<const char*> players; // "!name": one that exits with 1
        const char* server; // the socket under the runtime folder, "PULSE_SERVER", "" for none
        std::vector<const char*> sounds;
        const char* played; // "" for none; "@" stands for the sounds' folder
        int bells;
    } cases[] = {
        { { "canberra-gtk-play", "pw-play", "paplay" }, "pulse/native",
            { "alarm-clock-elapsed.oga" }, "canberra-gtk-play -i alarm-clock-elapsed", 0 },
        { { "pw-play", "paplay" }, "pipewire-0",
            { "alarm-clock-elapsed.oga", "dialog-warning.oga" }, "pw-play @alarm-clock-elapsed.oga",
            0 },
        { { "paplay" }, "pulse/native", { "dialog-warning.oga" }, "paplay @dialog-warning.oga", 0 },
        { { "paplay" }, "PULSE_SERVER", { "alarm-clock-elapsed.oga" },
            "paplay @alarm-clock-elapsed.oga", 0 },
        { { "canberra-gtk-play", "paplay" }, "", { "alarm-clock-elapsed.oga" }, "", 1 },
        { {}, "pulse/native", { "alarm-clock-elapsed.oga" }, "", 1 },
        { { "pw-play" }, "pulse/native", {}, "", 1 },
        { { "!paplay" }, "pulse/native", { "alarm-clock-elapsed.oga" },
            "paplay @alarm-clock-elapsed.oga", 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        TempDir dir;
        for (const char* player : c.players) {
            const bool fails = *player == '!';
            makeFile(dir / "bin/" + (player + (fails ? 1 : 0)),
                "#!/bin/sh\necho \"${0##*/} $*\" >> " + dir / "played" + (fails ? "\nexit 1" : ""),
                true);
        }
        for (const char* sound : c.sounds)
            makeFile(dir / kStereo + sound);
        const std::string server = c.server;
        if (!server.empty())
            makeFile(dir / (server == "PULSE_SERVER" ? "elsewhere/native" : "run/" + server));
        const SoundEnvironment env(dir, server == "PULSE_SERVER");
        int bells = 0;
        AlarmSound sound([&] { ++bells; });
        sound.Play();
        ASSERT_TRUE(spinUntil([&] { return !sound.isPlaying(); }));

        std::string expected = c.played;
        if (const auto at = expected.find('@'); at != std::string::npos)
            expected.replace(at, 1, dir / kStereo);
        EXPECT_EQ(ReadFile(dir / "played"), expected.empty() ? "" : expected + "\n");
        EXPECT_EQ(bells, c.bells);
    }
}

TEST(AlarmSound, OnePlayerAtATime)
{
    TempDir dir;
    makeFile(dir / "bin/canberra-gtk-play",
        "#!/bin/sh\necho $$ >> " + dir / "played" + "\nexec /bin/sleep 1000\n", true);
    makeFile(dir / "run/pulse/native");
    const SoundEnvironment env(dir, false);
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
