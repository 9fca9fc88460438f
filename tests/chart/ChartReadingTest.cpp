// Reading recordings back for the chart: the binary path through the shared
// reader, following a file that a writer appends to, empties or replaces.
#include "chart/ChartRecording.h"
#include "chart/FileFollower.h"
#include "recording/BinaryRecord.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace {

const std::string kGolden = QM482_RECORDING_GOLDEN;

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

TEST(ChartRecording, DewPointKeptOnDemandForRecordsReadAndToCome)
{
    ChartRecording rec(ChartRecording::Kind::Binary);
    Readings dry = readings(1234, 20.0, 50.0, 1013.0);
    dry.humidity.valid = false;
    // Out of time order, as across a clock change.
    rec.Feed(record(5, 1234, 25.0) + qmg::Record({ 2026, 12, 8, 10, 0, 1 }, dry));
    ASSERT_TRUE(rec.series().at(1234).values(ChartSeries::kDewPoint).empty());
    rec.KeepDewPoint(true);
    rec.Feed(record(9, 1234, 10.0) + record(2, 77, 30.0)); // a meter first seen later
    for (auto& [serial, series] : rec.series())
        series.SortIfNeeded();
    const ChartSeries& s = rec.series().at(1234);
    const auto& dew = s.values(ChartSeries::kDewPoint);
    ASSERT_EQ(dew.size(), 3U);
    EXPECT_TRUE(std::isnan(dew[0])); // humidity not valid
    EXPECT_NEAR(dew[1], 12.24, 0.01); // 25 °C at 45 %
    EXPECT_NEAR(dew[2], -1.40, 0.01); // 10 °C at 45 %
    EXPECT_EQ(s.summary(ChartSeries::kDewPoint).blocks.size(), 1U);
    EXPECT_EQ(rec.series().at(77).values(ChartSeries::kDewPoint).size(), 1U);
    rec.KeepDewPoint(false);
    EXPECT_TRUE(rec.series().at(1234).values(ChartSeries::kDewPoint).empty());
}
