// Arbitrary text through load -> save -> load, and as a value through
// write -> save -> load. A rewrite normalises a few forms the format cannot
// hold (an entry with an empty key but a value, a section under an empty
// header); once a loaded store has none of them, the rewrite must load back
// to exactly the same store and text.
#include "settings/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

class NoFiles : public IniFileLayer {
public:
    std::string LocateFile(std::string_view) override { return {}; }
    bool ReadForUpdate(const std::string&, bool, std::string&) override { return false; }
    bool ReplaceAtomically(const std::string&, std::string_view) override { return false; }
    bool Copy(const std::string&, const std::string&) override { return false; }
    bool ListDirectory(const std::string&, std::vector<std::string>&) override { return false; }
};

// The sections and entries a rewrite writes, in order.
struct Written {
    std::vector<std::string> names;
    std::vector<IniFile::Section> sections;
    bool operator==(const Written& o) const
    {
        if (names != o.names || sections.size() != o.sections.size())
            return false;
        for (std::size_t i = 0; i < sections.size(); ++i) {
            if (sections[i].keys != o.sections[i].keys
                || sections[i].values != o.sections[i].values)
                return false;
        }
        return true;
    }
};

Written WrittenPart(const IniFile& ini, bool& representable)
{
    Written w;
    representable = true;
    const auto& names = ini.sectionNames();
    const auto& sections = ini.sections();
    for (std::size_t i = 0; i < names.size() && i < sections.size(); ++i) {
        const IniFile::Section& s = sections[i];
        if (s.keys.size() != s.values.size())
            std::abort();
        if (s.keys.empty())
            continue;
        if (i > 0 && names[i].empty())
            representable = false;
        for (std::size_t e = 0; e < s.keys.size(); ++e) {
            if (s.keys[e].empty() && !s.values[e].empty())
                representable = false;
        }
        w.names.push_back(names[i]);
        w.sections.push_back(s);
    }
    return w;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    NoFiles files;
    IniFile first(4, files);
    first.ParseText(input);
    // Reads never go out of bounds, whatever was loaded.
    for (const std::string& name : first.sectionNames()) {
        (void)first.GetInt(name, "", 0);
        (void)first.GetUnsigned(name, name, 0);
    }
    // A value without a line break reads back as written, also after a rewrite.
    if (input.find_first_of("\r\n") == std::string_view::npos) {
        IniFile store(4, files);
        store.SetString("LOG", "FILE_NAME", input);
        IniFile reread(4, files);
        reread.ParseText(store.ToText());
        if (store.GetString("LOG", "FILE_NAME", "") != input
            || reread.GetString("LOG", "FILE_NAME", "") != input)
            std::abort();
    }
    bool firstRepresentable = false;
    Written firstWritten = WrittenPart(first, firstRepresentable);

    std::string text = first.ToText();
    IniFile second(4, files);
    second.ParseText(text);
    bool secondRepresentable = false;
    Written secondWritten = WrittenPart(second, secondRepresentable);
    if (firstRepresentable && !(secondWritten == firstWritten))
        std::abort();

    if (secondRepresentable) {
        IniFile third(4, files);
        third.ParseText(second.ToText());
        bool thirdRepresentable = false;
        if (!(WrittenPart(third, thirdRepresentable) == secondWritten)
            || second.ToText() != third.ToText())
            std::abort();
    }
    return 0;
}
