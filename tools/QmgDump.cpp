// qmg-dump: reads a binary measurement file back, checks every record and
// prints the readings, as text or CSV, or only a summary. Damaged bytes are
// named on standard error with their offsets.
#include "common/ValueFormat.h"
#include "recording/BinaryRecord.h"
#include "recording/QmgReader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

enum class Mode { Text, Csv, Check };

constexpr int kClean = 0;
constexpr int kDamaged = 1;
constexpr int kFailed = 2;

// Large reads keep a file of hundreds of megabytes quick without holding it
// in memory; the reader goes on from where it stopped in each chunk.
constexpr std::size_t kChunk = std::size_t { 8 } << 20;
constexpr std::size_t kFlushAt = std::size_t { 1 } << 20;

const char* program = "qmg-dump";

void usage(std::FILE* to)
{
    std::fprintf(to,
        "usage: qmg-dump [--csv | --check] FILE\n"
        "  (none)    one line per record: time, serial number, readings\n"
        "  --csv     the same as CSV with a header line\n"
        "  --check   only verify; print a summary\n"
        "Damaged bytes are named on standard error with their offsets.\n"
        "Exit status: 0 clean, 1 damage found, 2 wrong usage or a read error.\n");
}

std::string timeText(const LocalTime& t)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
        t.minute, t.second);
    return buf;
}

bool writeAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

class Dump {
public:
    Dump(Mode mode, const char* path)
        : mode_(mode)
        , path_(path)
    {
        if (mode_ == Mode::Csv)
            out_ = "time,serial_number,temperature_C,humidity_percent,pressure_hPa\n";
    }

    bool Record(const qmg::ReadRecord& r)
    {
        flushDamage();
        if (records_ == 0)
            first_ = r.time;
        last_ = r.time;
        ++records_;
        if (mode_ == Mode::Text)
            textLine(r);
        else if (mode_ == Mode::Csv)
            csvLine(r);
        return out_.size() < kFlushAt || flush();
    }

    // Stretches that meet (one cut by a chunk's end) are one.
    void Damage(const qmg::Damage& d)
    {
        if (pending_.size != 0 && pending_.offset + pending_.size == d.offset) {
            pending_.size += d.size;
            return;
        }
        flushDamage();
        pending_ = d;
    }

    void Incomplete(std::uint64_t offset, std::uint64_t size)
    {
        flushDamage();
        incompleteOffset_ = offset;
        incompleteSize_ = size;
        std::fprintf(stderr,
            "%s: %s: incomplete: %llu bytes at offset %llu (a record still being written?)\n",
            program, path_, static_cast<unsigned long long>(size),
            static_cast<unsigned long long>(offset));
    }

    bool Finish()
    {
        flushDamage();
        if (mode_ == Mode::Check) {
            out_ += "records: " + std::to_string(records_) + "\n";
            out_ += "damaged stretches: " + std::to_string(damaged_) + " ("
                + std::to_string(damagedBytes_) + " bytes)\n";
            if (incompleteSize_ != 0)
                out_ += "incomplete: " + std::to_string(incompleteSize_) + " bytes at offset "
                    + std::to_string(incompleteOffset_) + "\n";
            if (records_ != 0) {
                out_ += "first: " + timeText(first_) + "\n";
                out_ += "last: " + timeText(last_) + "\n";
            }
        }
        return flush();
    }

    bool damaged() const { return damaged_ != 0; }

private:
    void textLine(const qmg::ReadRecord& r)
    {
        out_ += timeText(r.time);
        if (r.count == 0) {
            out_ += "  no readings\n";
            return;
        }
        out_ += "  nr " + std::to_string(r.serialNumber);
        for (int i = 0; i < r.count; ++i) {
            const qmg::Sample& s = r.samples[i];
            out_ += "  ";
            out_ += FormatFixed(s.value, 1);
            out_ += s.code == qmg::kTemperature ? " °C" : s.code == qmg::kHumidity ? " %" : " hPa";
        }
        out_ += '\n';
    }

    void csvLine(const qmg::ReadRecord& r)
    {
        out_ += timeText(r.time);
        out_ += ',';
        if (r.count != 0)
            out_ += std::to_string(r.serialNumber);
        for (const int code : { qmg::kTemperature, qmg::kHumidity, qmg::kPressure }) {
            out_ += ',';
            if (const qmg::Sample* s = r.find(code))
                out_ += FormatFixed(s->value, 1);
        }
        out_ += '\n';
    }

    void flushDamage()
    {
        if (pending_.size == 0)
            return;
        ++damaged_;
        damagedBytes_ += pending_.size;
        std::fprintf(stderr, "%s: %s: damaged: %llu bytes at offset %llu\n", program, path_,
            static_cast<unsigned long long>(pending_.size),
            static_cast<unsigned long long>(pending_.offset));
        pending_ = {};
    }

    bool flush()
    {
        const bool ok = writeAll(STDOUT_FILENO, out_);
        out_.clear();
        return ok;
    }

    Mode mode_;
    const char* path_;
    std::string out_;
    std::uint64_t records_ = 0;
    std::uint64_t damaged_ = 0;
    std::uint64_t damagedBytes_ = 0;
    qmg::Damage pending_;
    std::uint64_t incompleteOffset_ = 0;
    std::uint64_t incompleteSize_ = 0;
    LocalTime first_;
    LocalTime last_;
};

// Feeds the file through the reader chunk by chunk; the bytes of a record
// cut by a chunk's end are kept and read again with the next chunk.
int dumpFile(int fd, Dump& dump, const char* path)
{
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    std::string buffer;
    std::uint64_t base = 0; // file offset of buffer[0]
    for (;;) {
        const std::size_t kept = buffer.size();
        buffer.resize(kept + kChunk);
        ssize_t n = 0;
        do
            n = ::read(fd, buffer.data() + kept, kChunk);
        while (n < 0 && errno == EINTR);
        if (n < 0) {
            std::fprintf(stderr, "%s: %s: %s\n", program, path, std::strerror(errno));
            return kFailed;
        }
        buffer.resize(kept + static_cast<std::size_t>(n));
        const bool atEnd = n == 0;

        qmg::Reader reader(buffer, base);
        for (bool more = true; more;) {
            switch (reader.Next()) {
            case qmg::Reader::Step::Record:
                if (!dump.Record(reader.record())) {
                    std::fprintf(stderr, "%s: writing: %s\n", program, std::strerror(errno));
                    return kFailed;
                }
                break;
            case qmg::Reader::Step::Damage:
                dump.Damage(reader.damage());
                break;
            case qmg::Reader::Step::Incomplete:
            case qmg::Reader::Step::End:
                more = false;
                break;
            }
        }
        const std::size_t used = static_cast<std::size_t>(reader.position() - base);
        if (atEnd) {
            if (used < buffer.size())
                dump.Incomplete(reader.position(), buffer.size() - used);
            return kClean;
        }
        buffer.erase(0, used);
        base += used;
    }
}

} // namespace

int main(int argc, char** argv)
{
    Mode mode = Mode::Text;
    const char* path = nullptr;
    bool modeGiven = false;
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (!optionsEnd && (a == "--help" || a == "-h")) {
            usage(stdout);
            return kClean;
        }
        if (!optionsEnd && (a == "--csv" || a == "--check")) {
            if (modeGiven) {
                usage(stderr);
                return kFailed;
            }
            modeGiven = true;
            mode = a == "--csv" ? Mode::Csv : Mode::Check;
        } else if (!optionsEnd && a == "--") {
            optionsEnd = true;
        } else if (!optionsEnd && a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "%s: unknown option %s\n", program, argv[i]);
            usage(stderr);
            return kFailed;
        } else if (path == nullptr) {
            path = argv[i];
        } else {
            usage(stderr);
            return kFailed;
        }
    }
    if (path == nullptr) {
        usage(stderr);
        return kFailed;
    }

    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "%s: %s: %s\n", program, path, std::strerror(errno));
        return kFailed;
    }
    Dump dump(mode, path);
    const int status = dumpFile(fd, dump, path);
    ::close(fd);
    if (status != kClean)
        return status;
    if (!dump.Finish()) {
        std::fprintf(stderr, "%s: writing: %s\n", program, std::strerror(errno));
        return kFailed;
    }
    return dump.damaged() ? kDamaged : kClean;
}
