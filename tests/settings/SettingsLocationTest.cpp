#include "settings/SettingsLocation.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

SettingsLocation::Inputs ProgramIn(const TempDir& dir, bool writable)
{
    std::filesystem::create_directories(dir / "opt/qm482");
    WriteFile(dir / "opt/qm482/qm482", "");
    // Started through a link, as from a bare name found on PATH.
    std::filesystem::create_symlink(dir / "opt/qm482/qm482", dir / "exe");
    SettingsLocation::Inputs inputs;
    inputs.exeLink = dir / "exe";
    inputs.home = dir / "home";
    if (!writable)
        inputs.writable = [](const std::string&) { return false; };
    return inputs;
}

TEST(SettingsLocation, BesideTheExecutableWhenItsFolderIsWritable)
{
    TempDir dir;
    EXPECT_EQ(SettingsLocation::Locate("qm480cfg.ini", ProgramIn(dir, true)),
        dir / "opt/qm482/qm480cfg.ini");
}

TEST(SettingsLocation, ConfigFolderWhenTheProgramFolderIsNotWritable)
{
    TempDir dir;
    auto inputs = ProgramIn(dir, false);
    EXPECT_EQ(
        SettingsLocation::Locate("qm480cfg.ini", inputs), dir / "home/.config/qm482/qm480cfg.ini");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "home/.config/qm482"));

    inputs.xdgConfigHome = dir / "xdg";
    EXPECT_EQ(SettingsLocation::Locate("qm480cfg.ini", inputs), dir / "xdg/qm482/qm480cfg.ini");
    // A relative value is ignored, as the base directory rules say.
    inputs.xdgConfigHome = "relative";
    EXPECT_EQ(
        SettingsLocation::Locate("qm480cfg.ini", inputs), dir / "home/.config/qm482/qm480cfg.ini");

    inputs.xdgConfigHome.clear();
    inputs.home.clear();
    EXPECT_EQ(SettingsLocation::Locate("qm480cfg.ini", inputs), "");
}

TEST(SettingsLocation, CurrentDirectoryWhenTheExecutableCannotBeFound)
{
    TempDir dir;
    std::vector<char> cwd(4096);
    ASSERT_NE(::getcwd(cwd.data(), cwd.size()), nullptr);
    EXPECT_EQ(SettingsLocation::ProgramDirectory(dir / "no-such-link"), cwd.data());
}

TEST(SettingsLocation, RealProcessFindsItsOwnFolder)
{
    std::string dir = SettingsLocation::ProgramDirectory("/proc/self/exe");
    EXPECT_TRUE(std::filesystem::exists(dir + "/settings_tests"));
}

} // namespace
