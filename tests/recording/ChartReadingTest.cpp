// Reading recordings back for the chart: the report parser against golden
// files, the binary path through the shared reader, following a file that
// a writer appends to, empties or replaces.
#include "recording/BinaryRecord.h"
#include "recording/ChartRecording.h"
#include "recording/FileFollower.h"
#include "recording/ReportParser.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

const std::string kGolden = QM482_RECORDING_GOLDEN;

std::string quantity(const RecordedQuantity& q)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", q.value);
    return q.valid ? buf : "-";
}

// One line per row, as the baselines hold them.
struct RowDump : report::Parser::Sink {
    std::string text;
    void Row(const report::ParsedRow& r) override
    {
        char date[64];
        std::snprintf(date, sizeof date, "%04d.%02d.%02d %02d:%02d:%02d", r.time.year, r.time.month,
            r.time.day, r.time.hour, r.time.minute, r.time.second);
        text += std::to_string(r.readings.serialNumber) + " " + date + " "
            + quantity(r.readings.temperature) + " " + quantity(r.readings.humidity) + " "
            + quantity(r.readings.pressure) + "\n";
    }
};

void append(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

Readings readings(int serial, double t, double h, double p)
{
    Readings r;
    r.serialNumber = serial;
    r.temperature = { t, true };
    r.humidity = { h, true };
    r.pressure = { p, true };
    return r;
}

std::string record(int second, int serial = 1234, double t = 21.5)
{
    return qmg::Record({ 2026, 12, 8, 10, 0, second }, readings(serial, t, 45.0, 1013.2));
}

} // namespace

TEST(ReportParser, GoldenReportsReadAsTheirBaselines)
{
    // Every separator, Windows-1250 and UTF-8 titles, repeated headers,
    // comment blocks (one line starting with a date), "???", bad rows, an
    // unfinished last line, LF and CR LF.
    for (const char* name : { "report_reading", "report_worked_example", "report_column_change",
             "report_pressure_semicolon", "report_no_columns", "report_comment_appended" }) {
        SCOPED_TRACE(name);
        const std::string bytes = ReadFile(kGolden + "/" + name + ".txt");
        report::Parser parser;
        RowDump dump;
        parser.Feed(bytes, dump);
        dump.text += "bad rows " + std::to_string(parser.badRows()) + "\n";
        EXPECT_EQ(dump.text, ReadFile(kGolden + "/" + name + ".rows"));

        // A growing file read in pieces of any size gives the same rows.
        report::Parser pieces;
        RowDump again;
        std::string pending;
        for (char c : bytes) {
            pending += c;
            pending.erase(0, pieces.Feed(pending, again));
        }
        again.text += "bad rows " + std::to_string(pieces.badRows()) + "\n";
        EXPECT_EQ(again.text, dump.text);
    }
}

TEST(ChartRecording, BinaryRecordsBySerialNumberDamageCountedAndSkipped)
{
    ChartRecording rec(ChartRecording::Kind::Binary);
    std::string bytes = record(0) + record(1, 77) + record(2);
    std::string damaged = record(3);
    damaged[5] = static_cast<char>(damaged[5] ^ 0x10);
    bytes += damaged + record(4) + ReadFile(kGolden + "/example3.qmg");
    rec.Feed(bytes);

    EXPECT_EQ(rec.records(), 5U);
    EXPECT_EQ(rec.damaged(), 1U);
    ASSERT_EQ(rec.series().size(), 3U); // 1234, 77 and a record with no quantity
    const ChartSeries& main = rec.series().at(1234);
    ASSERT_EQ(main.size(), 3U);
    EXPECT_EQ(main.times()[2] - main.times()[0], 4);
    EXPECT_FLOAT_EQ(main.values(2)[1], 1013.2F);
    EXPECT_TRUE(std::isnan(rec.series().at(0).values(0)[0]));
    EXPECT_EQ(ChartRecording::KindOf("/a/b.QMG"), ChartRecording::Kind::Binary);
    EXPECT_EQ(ChartRecording::KindOf("raport.csv"), ChartRecording::Kind::Report);
}

TEST(FileFollower, FollowsAWriterThroughAppendsTruncationAndReplacement)
{
    TempDir dir;
    const std::string path = dir / "pomiar.qmg";
    append(path, record(0) + record(1));
    ChartRecording rec(ChartRecording::Kind::Binary);
    FileFollower follower(path, rec);
    EXPECT_EQ(follower.Poll(), FileFollower::Result::Grew);
    EXPECT_EQ(rec.records(), 2U);
    EXPECT_EQ(follower.Poll(), FileFollower::Result::Unchanged);

    // A record written in two parts is read once, when whole.
    const std::string next = record(2);
    append(path, next.substr(0, 7));
    follower.Poll();
    EXPECT_EQ(rec.records(), 2U);
    append(path, next.substr(7));
    follower.Poll();
    EXPECT_EQ(rec.records(), 3U);

    // Emptied ("Nie" in the dialog) and written again from the start.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << record(30, 1234, -3.0);
    EXPECT_EQ(follower.Poll(), FileFollower::Result::Restarted);
    ASSERT_EQ(rec.records(), 1U);
    EXPECT_FLOAT_EQ(rec.series().at(1234).values(0)[0], -3.0F);

    // Replaced by a longer file under the same name.
    const std::string other = dir / "inny.qmg";
    append(other, record(40) + record(41) + record(42) + record(43));
    std::filesystem::rename(other, path);
    EXPECT_EQ(follower.Poll(), FileFollower::Result::Restarted);
    EXPECT_EQ(rec.records(), 4U);
    EXPECT_EQ(rec.damaged(), 0U);

    std::filesystem::remove(path);
    EXPECT_EQ(follower.Poll(), FileFollower::Result::Failed);
}

TEST(FileFollower, FollowsAGrowingReport)
{
    TempDir dir;
    const std::string path = dir / "raport.txt";
    append(path,
        "Data i Godzina;Temperatura \xB0"
        "C\r\n2026.12.08 10:00:00;21.5\r\n2026.12.08 10:00:01;2");
    ChartRecording rec(ChartRecording::Kind::Report);
    FileFollower follower(path, rec);
    follower.Poll();
    EXPECT_EQ(rec.records(), 1U);
    append(path, "1.7\r\n");
    follower.Poll();
    ASSERT_EQ(rec.records(), 2U);
    EXPECT_FLOAT_EQ(rec.series().at(0).values(0)[1], 21.7F);
    EXPECT_EQ(rec.damaged(), 0U);
}
