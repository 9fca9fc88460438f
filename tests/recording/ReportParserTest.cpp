// The report parser against golden files, whole and as a growing file.
#include "recording/ReportParser.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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
