// qmg-dump run as a user runs it, on real files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome dump(const fs::path& dir, const std::string& args)
{
    const std::string command = std::string(QM482_QMG_DUMP) + " " + args + " >'"
        + (dir / "out").string() + "' 2>'" + (dir / "err").string() + "'";
    const int raw = std::system(command.c_str());
    return { WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(dir / "out"), readFile(dir / "err") };
}

} // namespace

TEST(QmgDump, PrintsChecksAndNamesTheDamagedOffset)
{
    const fs::path dir
        = fs::temp_directory_path() / ("qmg-dump-test-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string file;
    for (const char* name : { "example1.qmg", "example2.qmg", "example3.qmg", "negative.qmg" })
        file += readFile(fs::path(QM482_RECORDING_GOLDEN) / name);
    const fs::path qmg = dir / "run.qmg";
    std::ofstream(qmg, std::ios::binary) << file;

    const Outcome csv = dump(dir, "--csv '" + qmg.string() + "'");
    EXPECT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out,
        "time,serial_number,temperature_C,humidity_percent,pressure_hPa\n"
        "2009-10-05 12:30:00,1234,21.5,,\n"
        "2009-10-05 12:30:00,1234,21.5,45.2,1013.2\n"
        "2009-10-05 12:31:00,,,,\n"
        "2009-10-05 12:32:00,1234,-5.3,,1013.2\n");
    EXPECT_EQ(dump(dir, "'" + qmg.string() + "'").out,
        "2009-10-05 12:30:00  nr 1234  21.5 °C\n"
        "2009-10-05 12:30:00  nr 1234  21.5 °C  45.2 %  1013.2 hPa\n"
        "2009-10-05 12:31:00  no readings\n"
        "2009-10-05 12:32:00  nr 1234  -5.3 °C  1013.2 hPa\n");

    // One flipped byte in the second record (offset 36, 74 bytes), and the
    // last record cut short as if it were still being written.
    file[36 + 40] ^= 0x01;
    file.pop_back();
    std::ofstream(qmg, std::ios::binary | std::ios::trunc) << file;
    const Outcome check = dump(dir, "--check '" + qmg.string() + "'");
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.err.find("damaged: 74 bytes at offset 36\n"), std::string::npos) << check.err;
    EXPECT_NE(check.err.find("incomplete: 55 bytes at offset 128"), std::string::npos) << check.err;
    EXPECT_EQ(check.out,
        "records: 2\n"
        "damaged stretches: 1 (74 bytes)\n"
        "incomplete: 55 bytes at offset 128\n"
        "first: 2009-10-05 12:30:00\n"
        "last: 2009-10-05 12:31:00\n");

    EXPECT_EQ(dump(dir, "--check '" + (dir / "missing.qmg").string() + "'").status, 2);
    EXPECT_EQ(dump(dir, "--csv --check '" + qmg.string() + "'").status, 2);
    fs::remove_all(dir);
}
