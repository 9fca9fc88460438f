#pragma once

#include "recording/Readings.h"

#include <cstddef>
#include <string_view>

namespace report {

// One data row read back from a report. A quantity without a column, or
// written as "???", is not valid.
struct ParsedRow {
    LocalTime time;
    Readings readings; // serialNumber from the last "QM-482 nr" line, else 0
};

// Reads the text report back as the writer lays it out: header lines that
// name the columns (and so the separator), data rows, comment blocks in
// between. Fed whole files or a growing file piece by piece; only whole
// lines are taken, so a row still being written is read on the next call.
class Parser {
public:
    class Sink {
    public:
        virtual ~Sink() = default;
        virtual void Row(const ParsedRow& row) = 0;
    };

    // Parses the whole lines of `bytes` (Windows-1250 or UTF-8, CR LF or LF)
    // and returns how many bytes were taken; the rest begins a line not yet
    // ended and must be offered again with what follows it.
    std::size_t Feed(std::string_view bytes, Sink& sink);

    // Lines that look like a data row but cannot be read (a value that is no
    // number, a row of the wrong width, a row before any header).
    std::size_t badRows() const { return badRows_; }

private:
    void line(std::string_view text, Sink& sink);
    bool header(std::string_view text);
    void dataRow(std::string_view text, const LocalTime& time, Sink& sink);

    enum Quantity { kTemperature, kHumidity, kPressure };
    static constexpr int kMaxColumns = 3;

    bool haveHeader_ = false;
    char separator_ = '\t';
    int columnCount_ = 0;
    Quantity columns_[kMaxColumns] = {};
    int serialNumber_ = 0;
    std::size_t badRows_ = 0;
};

// The date and time a row starts with, "%04d.%02d.%02d %02d:%02d:%02d";
// false when `text` does not start with one.
bool ParseRowTime(std::string_view text, LocalTime& time);

} // namespace report
