#include "settings/IniFile.h"
#include "settings/PosixFileLayer.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

namespace {

const std::string kGolden = QM482_GOLDEN_DIR;

struct GoldenCase {
    const char* input;
    const char* expected;
    std::function<void(IniFile&)> act;
};

const std::vector<GoldenCase>& GoldenCases()
{
    static const std::vector<GoldenCase> cases = {
        { "worked_example.ini", "worked_example.expected.ini",
            [](IniFile& ini) {
                EXPECT_EQ(ini.GetInt("GENERAL", "PORT_NR", 0), 3);
                EXPECT_EQ(ini.GetString("GENERAL", "PORT_NR", ""), "3 ");
                EXPECT_EQ(ini.GetString("", "; settings", "d"), "");
                EXPECT_EQ(ini.GetString("LOG", "FILE_NAME", ""), "C:\\x.txt");
                ini.SetInt("GENERAL", "PORT_NR", 3);
                EXPECT_TRUE(ini.dirty());
            } },
        { "worked_example_lf.ini", "worked_example.expected.ini",
            [](IniFile& ini) {
                EXPECT_EQ(ini.GetString("LOG", "FILE_NAME", ""), "C:\\x.txt");
                ini.SetInt("GENERAL", "PORT_NR", 3);
            } },
        { "section_case.ini", "section_case.expected.ini",
            [](IniFile& ini) {
                EXPECT_EQ(ini.GetString("temp", "A", ""), "1");
                // The second section of the same name is never reached.
                EXPECT_EQ(ini.GetString("TEMP", "B", "none"), "none");
                ini.SetString("Temp", "B", "3");
            } },
        { "duplicate_key.ini", "duplicate_key.expected.ini",
            [](IniFile& ini) {
                EXPECT_EQ(ini.GetString("S", "K", ""), "2");
                ini.SetString("S", "k", "3");
            } },
        { "values.ini", "values.expected.ini",
            [](IniFile& ini) {
                EXPECT_EQ(ini.GetString("TEMP", "FONT_NAME_TEMP", ""), "Times New Roman");
                EXPECT_EQ(ini.GetString("TEMP", "A", ""), "b;c");
                EXPECT_EQ(ini.GetString("TEMP", "F", ""), "Arial ");
                EXPECT_EQ(ini.GetInt("TEMP", "E", 7), 0);
                EXPECT_EQ(ini.GetInt("TEMP", "MISSING", 7), 7);
                EXPECT_EQ(ini.GetInt("NOSECTION", "E", -7), -7);
                EXPECT_EQ(ini.GetUnsigned("TEMP", "E", 7), 0U);
                EXPECT_EQ(ini.GetUnsigned("TEMP", "N", 0), 4294967295U);
                EXPECT_EQ(ini.GetInt("TEMP", "N", 0), -1);
                EXPECT_EQ(ini.GetInt("TEMP", "KEY ", 0), 5);
                EXPECT_EQ(ini.GetString("TEMP", "KEY", "d"), "d");
                EXPECT_FALSE(ini.dirty());
                ini.SetString("TEMP", "NEW", "x");
            } },
        { "odd_lines.ini", "odd_lines.expected.ini",
            [](IniFile& ini) {
                EXPECT_EQ(ini.GetString("", "; note", "d"), "");
                EXPECT_EQ(ini.GetString("", "[LOG] ", "d"), "");
                // The entries under '[]' and under a header with no entries
                // cannot be found by name.
                EXPECT_EQ(ini.GetString("", "K", "d"), "d");
                EXPECT_EQ(ini.GetString("EMPTY", "K", "d"), "d");
                EXPECT_EQ(ini.GetString("LOG", "K", "d"), "2");
                ini.SetString("LOG", "K", "3");
            } },
        { "unnamed_section.ini", "unnamed_section.expected.ini",
            [](IniFile& ini) {
                EXPECT_EQ(ini.GetInt("", "B", 0), 2);
                ini.SetInt("", "C", 3);
                ini.SetString("NEW", "K", "v");
            } },
    };
    return cases;
}

TEST(IniFileGolden, LoadSetSaveMatchesExpectedBytes)
{
    for (const GoldenCase& c : GoldenCases()) {
        SCOPED_TRACE(c.input);
        TempDir dir;
        std::string path = dir / "test.ini";
        WriteFile(path, ReadFile(kGolden + "/" + c.input));
        PosixFileLayer files;
        {
            IniFile ini(4, files);
            ASSERT_TRUE(ini.Load(path, true, false, true, false));
            c.act(ini);
        }
        EXPECT_EQ(ReadFile(path), ReadFile(kGolden + "/" + c.expected));
    }
}

TEST(IniFile, OnlyAsciiLettersFold)
{
    TempDir dir;
    std::string path = dir / "t.ini";
    WriteFile(path, "[ŁÓDŹ]\nzażółć=1\n");
    PosixFileLayer files;
    IniFile ini(4, files);
    ASSERT_TRUE(ini.Load(path, false, false, true, false));
    EXPECT_EQ(ini.GetInt("łÓDŹ", "ZAżółć", 0), 0);
    EXPECT_EQ(ini.GetInt("ŁÓDŹ", "ZAżółć", 0), 1);
    ASSERT_TRUE(ini.Load(path, false, false, false, false));
    EXPECT_EQ(ini.GetInt("ŁÓDŹ", "ZAżółć", 0), 0);
}

TEST(IniFile, SameValueOrCaseOnlyChangeLeavesFileUntouched)
{
    TempDir dir;
    std::string path = dir / "t.ini";
    const std::string content = "[GENERAL]\nFONT=Arial\nN=5\n";
    WriteFile(path, content);
    AgeFile(path);
    PosixFileLayer files;
    {
        IniFile ini(4, files);
        ASSERT_TRUE(ini.Load(path, true, false, true, false));
        ini.SetString("general", "font", "ARIAL");
        ini.SetInt("GENERAL", "N", 5);
        EXPECT_FALSE(ini.dirty());
        EXPECT_EQ(ini.GetString("GENERAL", "FONT", ""), "ARIAL");
    }
    EXPECT_EQ(ModificationTime(path), 946684800);
    EXPECT_EQ(ReadFile(path), content);
}

TEST(IniFile, MissingFileIsCreatedEmptyAndWrittenOnlyWhenSet)
{
    TempDir dir;
    std::string path = dir / "new.ini";
    PosixFileLayer files;
    {
        IniFile ini(4, files);
        EXPECT_FALSE(ini.Load(path, true, false, true, false));
        EXPECT_FALSE(ini.IsLoaded());
        ASSERT_TRUE(ini.Load(path, true, true, true, false));
        EXPECT_EQ(ReadFile(path), "");
        AgeFile(path);
    }
    EXPECT_EQ(ModificationTime(path), 946684800);
    {
        IniFile ini(4, files);
        ASSERT_TRUE(ini.Load(path, true, true, true, false));
        ini.SetInt("A", "B", -2);
    }
    EXPECT_EQ(ReadFile(path), "[A]\r\nB=-2\r\n");
}

TEST(IniFile, WritesWithoutALoadedFileGoNowhere)
{
    TempDir dir;
    PosixFileLayer files;
    IniFile ini(4, files);
    ini.SetString("A", "B", "c");
    EXPECT_EQ(ini.GetString("A", "B", ""), "c");
    EXPECT_EQ(ini.Save(true), "");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(IniFile, TypedReadsWrap)
{
    struct Case {
        const char* text;
        std::uint32_t value;
    };
    for (Case c : { Case { "", 0 }, Case { "  \t+12x", 12 }, Case { "-1", 4294967295U },
             Case { "4294967296", 0 }, Case { "4294967297", 1 }, Case { "- 5", 0 },
             Case { "abc", 0 }, Case { "0099", 99 } }) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IniFile::ParseWrapping(c.text), c.value);
    }
}

// Text values.

TEST(IniFileText, ValuesReadBackWholeAndAnUnchangedOneLeavesTheStoreClean)
{
    PosixFileLayer files;
    IniFile ini(4, files);
    IniFile again(4, files);
    ini.ParseText("[LOG]\r\nFILE_NAME=/tmp/a.txt;main report\r\n");
    ini.SetString("LOG", "FILE_NAME", "/tmp/a.txt");
    EXPECT_FALSE(ini.dirty()) << "a comment after the value is no change";
    for (std::string value : { "/home/op/pomiary;2024.txt", "a;", ";", ";;x;;", " ;", "" }) {
        SCOPED_TRACE(value);
        ini.SetString("LOG", "FILE_NAME", value);
        again.ParseText(ini.ToText());
        EXPECT_EQ(again.GetString("LOG", "FILE_NAME", "d"), value);
        again.SetString("LOG", "FILE_NAME", value);
        EXPECT_FALSE(again.dirty());
    }
}

TEST(IniFileText, AWriteThatWouldBreakItsLineIsRefusedAndSaid)
{
    PosixFileLayer files;
    IniFile ini(4, files);
    ini.ParseText("[LOG]\r\nFILE_NAME=/tmp/a.txt\r\n");
    const std::string before = ini.ToText();
    // Each write, and the name its message gives.
    for (auto [section, key, value, named] : std::vector<std::array<const char*, 4>> {
             { "LOG", "FILE_NAME", "/tmp/b.txt\r\n[GENERAL]\r\nPORT_NR=9", "[LOG] FILE_NAME" },
             { "LOG", "FILE_NAME", "a\rb", "[LOG] FILE_NAME" }, { "LOG", "K=x", "y", "[LOG] K=x" },
             { "LOG", "[GENERAL", "]", "[LOG] [GENERAL" }, { "LOG", "", "[GENERAL]", "[LOG] " },
             { "LOG]\n[GENERAL", "PORT_NR", "9", "[LOG]\\n[GENERAL] PORT_NR" } }) {
        testing::internal::CaptureStderr();
        ini.SetString(section, key, value);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(ini.ToText(), before) << said;
        EXPECT_FALSE(ini.dirty());
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find(named), std::string::npos) << said;
    }
}

// Backups.

TEST(IniFileBackup, NumberFollowsLargestThreeDigitSuffix)
{
    struct Case {
        std::vector<std::string> names;
        const char* expected;
    };
    const std::vector<Case> cases = {
        { { "qm480cfg.ini" }, "/d/qm480cfg.ini.001" },
        { { "qm480cfg.ini", "qm480cfg.ini.001", "qm480cfg.ini.007" }, "/d/qm480cfg.ini.008" },
        { { "qm480cfg.bak042", "other.ini.500" }, "/d/qm480cfg.ini.043" },
        // Past 999 the numbers go on with more digits; nothing is overwritten.
        { { "qm480cfg.ini.999" }, "/d/qm480cfg.ini.1000" },
        { { "qm480cfg.ini.999", "qm480cfg.ini.1000" }, "/d/qm480cfg.ini.1001" },
        { { "qm480cfg.ini.12345" }, "/d/qm480cfg.ini.12346" },
        { { "qm480cfg.ini.999999999" }, "/d/qm480cfg.ini.999999999" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(IniFile::NextBackupName("/d/qm480cfg.ini", c.names), c.expected);
    }
}

TEST(IniFileBackup, NextBackupCopiesOldFileAndIsChosenOncePerStore)
{
    TempDir dir;
    std::string path = dir / "qm480cfg.ini";
    WriteFile(path, "A=1\n");
    WriteFile(dir / "qm480cfg.ini.001", "one");
    WriteFile(dir / "qm480cfg.ini.007", "seven");
    PosixFileLayer files;
    {
        IniFile ini(4, files);
        ASSERT_TRUE(ini.Load(path, true, false, true, true));
        ini.SetInt("", "A", 2);
        EXPECT_EQ(ini.Save(true), path + ".008");
        EXPECT_EQ(ReadFile(path + ".008"), "A=1\n");
        // A new load in the same store reuses the name.
        ASSERT_TRUE(ini.Load(path, true, false, true, true));
        ini.SetInt("", "A", 3);
    }
    EXPECT_EQ(ReadFile(path + ".008"), "A=2\r\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".009"));
    EXPECT_EQ(ReadFile(path), "A=3\r\n");
}

// The atomic save.

PosixFileLayer::Calls FailingCalls(const std::string& which)
{
    PosixFileLayer::Calls calls = PosixFileLayer::SystemCalls();
    if (which == "write") {
        // Half the bytes, then a full disk.
        calls.write
            = [real = calls.write, first = true](int fd, const void* data, size_t size) mutable {
                  if (first && size > 1) {
                      first = false;
                      return real(fd, data, size / 2);
                  }
                  errno = ENOSPC;
                  return ssize_t { -1 };
              };
    } else if (which == "fsync") {
        calls.fsync = [](int) {
            errno = EIO;
            return -1;
        };
    } else if (which == "rename") {
        calls.rename = [](const char*, const char*) {
            errno = EXDEV;
            return -1;
        };
    }
    return calls;
}

TEST(IniFileAtomicSave, FailedSaveLeavesOldFileIntact)
{
    for (const char* which : { "write", "fsync", "rename" }) {
        SCOPED_TRACE(which);
        TempDir dir;
        std::string path = dir / "qm480cfg.ini";
        const std::string old = "[GENERAL]\r\nPORT_NR=3\r\n";
        WriteFile(path, old);
        PosixFileLayer files(SettingsLocation::Inputs {}, FailingCalls(which));
        {
            IniFile ini(4, files);
            ASSERT_TRUE(ini.Load(path, true, false, true, false));
            for (int i = 0; i < 2000; ++i)
                ini.SetInt("GENERAL", "KEY_" + std::to_string(i), i);
            EXPECT_EQ(ini.Save(false), "");
        }
        EXPECT_EQ(ReadFile(path), old);
        // No temporary file is left behind.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                      std::filesystem::directory_iterator()),
            1);
    }
}

TEST(IniFileAtomicSave, AProgramKilledWhileSavingLeavesNoFileBehind)
{
    TempDir dir;
    const std::string path = dir / "qm480cfg.ini";
    WriteFile(path, "A=1\r\n");
    // What the folder holds while the new content is written and flushed:
    // what a kill at that moment would leave there.
    std::vector<std::string> seen;
    auto look = [&] {
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            seen.push_back(e.path().filename().string());
    };
    PosixFileLayer::Calls calls = PosixFileLayer::SystemCalls();
    calls.write = [&, real = calls.write](int fd, const void* data, size_t size) {
        look();
        return real(fd, data, size);
    };
    calls.fsync = [&, real = calls.fsync](int fd) {
        look();
        return real(fd);
    };
    PosixFileLayer files(SettingsLocation::Inputs {}, calls);
    {
        IniFile ini(4, files);
        ASSERT_TRUE(ini.Load(path, true, false, true, false));
        ini.SetInt("", "A", 2);
        EXPECT_EQ(ini.Save(false), "");
    }
    EXPECT_EQ(ReadFile(path), "A=2\r\n");
    ASSERT_FALSE(seen.empty());
    for (const std::string& name : seen)
        EXPECT_EQ(name, "qm480cfg.ini") << "a kill now would leave it behind";
}

TEST(IniFileAtomicSave, KeepsPermissionsAndLinks)
{
    TempDir dir;
    std::string path = dir / "real.ini";
    WriteFile(path, "A=1\n");
    ::chmod(path.c_str(), 0640);
    std::filesystem::create_symlink(path, dir / "link.ini");
    PosixFileLayer files;
    {
        IniFile ini(4, files);
        ASSERT_TRUE(ini.Load(dir / "link.ini", true, false, true, false));
        ini.SetInt("", "A", 2);
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(ReadFile(path), "A=2\r\n");
    struct stat st { };
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640U);
}

using testuser::Identity;
using testuser::RunAs;

TEST(IniFileAtomicSave, ReadOnlyFolderLeavesOldFileIntact)
{
    TempDir dir;
    std::string path = dir / "qm480cfg.ini";
    WriteFile(path, "A=1\n");
    auto save = [&] {
        PosixFileLayer files;
        IniFile ini(4, files);
        if (!ini.Load(path, true, false, true, false))
            return 1;
        ::chmod(dir.path().c_str(), 0500);
        ini.SetInt("", "A", 2);
        return 0;
    };
    if (::geteuid() == 0) {
        // Root writes into any folder: the save runs as an ordinary user.
        const Identity user { 48201, 48201, 48201 };
        ASSERT_EQ(::chown(dir.path().c_str(), user.uid, user.gid), 0);
        ASSERT_EQ(::chown(path.c_str(), user.uid, user.gid), 0);
        ASSERT_EQ(RunAs(user, save), 0);
    } else {
        ASSERT_EQ(save(), 0);
    }
    EXPECT_EQ(ReadFile(path), "A=1\n");
}

TEST(IniFileAtomicSave, AfterAGroupMemberSavesTheOwnerStillCan)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make two users who share a group";
    static constexpr gid_t kShared = 48200;
    const Identity owner { 48201, 48201, kShared };
    const Identity member { 48202, 48202, kShared };
    TempDir dir;
    const std::string folder = dir / "shared";
    const std::string path = folder + "/qm480cfg.ini";
    ASSERT_EQ(::mkdir(folder.c_str(), 0), 0);
    WriteFile(path, "[GENERAL]\r\nPORT_NR=1\r\n");
    for (auto [name, mode] : { std::pair { &folder, 0770 }, std::pair { &path, 0660 } })
        ASSERT_TRUE(::chown(name->c_str(), owner.uid, kShared) == 0
            && ::chmod(name->c_str(), static_cast<mode_t>(mode)) == 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);

    auto changePort = [&path](int from, int to) {
        return [&path, from, to] {
            PosixFileLayer files;
            IniFile ini(4, files);
            if (!ini.Load(path, false, false, true, false)
                || ini.GetInt("GENERAL", "PORT_NR", 0) != from)
                return 1;
            ini.SetInt("GENERAL", "PORT_NR", to);
            ini.Save(false);
            return 0;
        };
    };
    auto expectFile = [&path](int port) {
        struct stat st { };
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_gid, kShared);
        EXPECT_EQ(st.st_mode & 07777, 0660U);
        EXPECT_EQ(ReadFile(path), "[GENERAL]\r\nPORT_NR=" + std::to_string(port) + "\r\n");
    };
    const int byMember = RunAs(member, changePort(1, 2));
    if (byMember == 125)
        GTEST_SKIP() << "cannot take another user's credentials here";
    ASSERT_EQ(byMember, 0);
    expectFile(2);
    ASSERT_EQ(RunAs(owner, changePort(2, 3)), 0) << "the owner cannot load the file any more";
    expectFile(3);
}

// What is loaded.

TEST(IniFileLoad, AFileOverOneMiBIsNeitherLoadedNorReplaced)
{
    TempDir dir;
    const std::string path = dir / "qm480cfg.ini";
    const std::string head = "[GENERAL]\r\nPORT_NR=4\r\n";
    const std::string padding(std::size_t { 1 } << 20U, 'x');
    PosixFileLayer files;

    WriteFile(path, head + padding.substr(head.size()));
    {
        IniFile ini(4, files);
        ASSERT_TRUE(ini.Load(path, true, false, true, false)) << "exactly 1 MiB loads";
        EXPECT_EQ(ini.GetInt("GENERAL", "PORT_NR", 0), 4);
    }

    WriteFile(path, head + padding.substr(head.size() - 1));
    testing::internal::CaptureStderr();
    {
        IniFile ini(4, files);
        EXPECT_FALSE(ini.Load(path, true, true, true, false));
        EXPECT_EQ(ini.GetInt("GENERAL", "PORT_NR", 0), 0);
        ini.SetInt("GENERAL", "PORT_NR", 5);
    }
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(path), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(ReadFile(path).size(), padding.size() + 1) << "the file was replaced";
}

} // namespace
