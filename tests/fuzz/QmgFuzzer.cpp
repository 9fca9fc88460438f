// Any bytes through the binary file reader: records and damaged stretches
// cover the input in order and nothing else; a good record is exactly what
// the writer makes of it; and a follower that read only the first part and
// went on from where it stopped finds the same records as one reading all.
#include "recording/BinaryRecord.h"
#include "recording/QmgReader.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

struct Seen {
    std::vector<std::uint64_t> records;
    std::uint64_t stop = 0; // where a follower goes on
};

Seen readAll(std::string_view data, std::uint64_t offset)
{
    qmg::Reader reader(data, offset);
    Seen seen;
    std::uint64_t at = offset;
    bool afterDamage = false;
    for (;;) {
        switch (reader.Next()) {
        case qmg::Reader::Step::Record: {
            const qmg::ReadRecord& r = reader.record();
            check(r.offset == at && r.size >= 18 && r.size <= data.size() - (at - offset));
            bool exact = true; // past 15 digits a value's text is not what printf writes
            for (int i = 0; i < r.count; ++i)
                exact = exact && std::fabs(r.samples[i].value) < 1e15;
            const std::string_view stored = data.substr(at - offset, r.size);
            if (exact)
                check(qmg::Record(r.time, r.readings()) == stored);
            seen.records.push_back(at);
            at += r.size;
            afterDamage = false;
            break;
        }
        case qmg::Reader::Step::Damage:
            // One stretch runs up to the next good or unfinished record.
            check(!afterDamage && reader.damage().offset == at && reader.damage().size > 0);
            at += reader.damage().size;
            check(at <= offset + data.size());
            afterDamage = true;
            break;
        case qmg::Reader::Step::Incomplete:
            check(reader.position() == at && at < offset + data.size());
            check(reader.Next() == qmg::Reader::Step::Incomplete);
            seen.stop = at;
            return seen;
        case qmg::Reader::Step::End:
            check(reader.position() == at && at == offset + data.size());
            seen.stop = at;
            return seen;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    const std::string_view data(reinterpret_cast<const char*>(bytes), size);
    const Seen whole = readAll(data, 0);

    // The file as a follower saw it while it grew: cut, then the rest.
    const std::size_t cut = size == 0 ? 0 : (bytes[0] * 257U + bytes[size - 1]) % (size + 1);
    Seen followed = readAll(data.substr(0, cut), 0);
    const Seen rest = readAll(data.substr(followed.stop), followed.stop);
    followed.records.insert(followed.records.end(), rest.records.begin(), rest.records.end());
    check(followed.records == whole.records && rest.stop == whole.stop);
    return 0;
}
