// The report and the binary file byte for byte against files written by
// hand from the published layouts, also under a decimal-comma locale.
#include "recording/BinaryRecord.h"
#include "recording/ReportFormat.h"
#include "support/PolishLocale.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string golden(const std::string& name)
{
    std::ifstream in(std::string(QM482_RECORDING_GOLDEN) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return { std::istreambuf_iterator<char>(in), {} };
}

LocalTime at(int minute, int second = 0)
{
    return { 2009, 10, 5, 12, minute, second };
}

Readings readings(double t, double rh, double p, bool valid = true)
{
    return { 1234, { t, valid }, { rh, valid }, { p, valid } };
}

RecordingSettings columns(int separator, int t, int rh, int p)
{
    RecordingSettings s;
    s.separatorFormat = separator;
    s.columnTemperature = t;
    s.columnHumidity = rh;
    s.columnPressure = p;
    return s;
}

void expectReportGoldens()
{
    // The worked example: a fresh file, comment and serial number, the link
    // lost before the third tick. Separators other than 1 and 2 are tabs.
    for (int separator : { 0, 3, -1, 1000 }) {
        const RecordingSettings s = columns(separator, 1, 1, 1);
        int written = -1;
        std::string file = report::CommentBlock(false, "Hala 2", true, 1234);
        file += report::Row(s, at(30), readings(21.5, 45.2, 1013.2), written);
        file += report::Row(s, at(31), readings(21.6, 45.0, 1013.1), written);
        file += report::Row(s, at(32), readings(21.7, 45.1, 1013.0, false), written);
        EXPECT_EQ(file, golden("report_worked_example.txt")) << "separator " << separator;
    }
    {
        int written = -1;
        EXPECT_EQ(report::Row(columns(2, 0, 0, 1), at(30), readings(21.5, 45.2, 1013.2), written),
            golden("report_pressure_semicolon.txt"));
    }
    {
        // Only a hand-edited settings file leaves no column.
        int written = -1;
        std::string file = report::Row(columns(0, 0, 0, 0), at(30), readings(1, 2, 3), written);
        file += report::Row(columns(0, 0, 0, 0), at(31), readings(1, 2, 3), written);
        EXPECT_EQ(file, golden("report_no_columns.txt"));
    }
    {
        // "," keeps the decimal point; -0.04 keeps its sign; one quantity
        // in error; the header again only when the column set changes.
        int written = -1;
        const RecordingSettings all = columns(1, 1, 1, 1);
        std::string file = report::Row(all, at(30), readings(21.5, 45.2, 1013.2), written);
        Readings r = readings(-0.04, 45.1, 1013.1);
        r.humidity.valid = false;
        file += report::Row(all, at(31), r, written);
        file += report::Row(columns(1, 1, 1, 0), at(32), readings(-5.3, 45.0, 1013.0), written);
        EXPECT_EQ(file, golden("report_column_change.txt"));
        EXPECT_EQ(written, 16 + 4);
    }
    // Appended to an old file; line breaks typed as LF, CR LF and a lone
    // CR; a character Windows-1250 lacks; no serial number known.
    EXPECT_EQ(report::CommentBlock(true, "Hala 2 – piętro 日\nŁódź\r\n\rkoniec", true, 0),
        golden("report_comment_appended.txt"));
}

void expectBinaryGoldens()
{
    Readings onlyTemperature = readings(21.5, 0, 0);
    onlyTemperature.humidity.valid = onlyTemperature.pressure.valid = false;
    EXPECT_EQ(qmg::Record(at(30), onlyTemperature), golden("example1.qmg"));
    EXPECT_EQ(qmg::Record(at(30), readings(21.5, 45.2, 1013.2)), golden("example2.qmg"));
    EXPECT_EQ(qmg::Record(at(31), readings(0, 0, 0, false)), golden("example3.qmg"));
    Readings negative = readings(-5.3, 45.0, 1013.2);
    negative.humidity.valid = false;
    EXPECT_EQ(qmg::Record(at(32), negative), golden("negative.qmg"));
}

} // namespace

TEST(ReportFormat, MatchesTheGoldenFiles)
{
    expectReportGoldens();
}

TEST(ReportFormat, HandEditedColumnFlagsAreTakenAsStored)
{
    // Any integer is a present column; the code must not overflow and a
    // repeated odd set must not repeat the header.
    int written = -1;
    const RecordingSettings odd = columns(0, 0x7FFFFFFF, -1, 2);
    EXPECT_EQ(report::Row(odd, at(32), readings(1, 2, 3), written),
        "Data i Godzina\tTemperatura \xB0"
        "C\tWilgotno\x9C\xE6 %\tCi\x9Cnienie hPa\r\n2009.10.05 12:32:00\t1.0\t2.0\t3.0\r\n");
    EXPECT_EQ(report::Row(odd, at(33), readings(1, 2, 3), written),
        "2009.10.05 12:33:00\t1.0\t2.0\t3.0\r\n");
}

TEST(BinaryRecord, MatchesTheGoldenFiles)
{
    expectBinaryGoldens();
}

TEST(RecordingFormats, ADecimalCommaLocaleChangesNoByte)
{
    // A missing locale would hide the one proof that a decimal comma never
    // reaches a file: a failure, not a skip (./check installs 'locales').
    ASSERT_TRUE(testlocale::UsePolishLocale()) << "no pl_PL locale can be made (install 'locales')";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    ASSERT_STREQ(buf, "1,5") << "the locale does not use a decimal comma";
    expectReportGoldens();
    expectBinaryGoldens();
    std::setlocale(LC_ALL, "C");
}
