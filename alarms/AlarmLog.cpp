#include "alarms/AlarmLog.h"

#include "alarms/AlarmSettings.h"

#include <cmath>
#include <cstdio>

namespace {

std::string Field(const std::optional<double>& v)
{
    return v ? FormatAlarmNumber(*v) : std::string("-");
}

std::string TimeText(const LocalTime& t, char between)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d%c%02d:%02d:%02d", t.year, t.month, t.day,
        between, t.hour, t.minute, t.second);
    return buf;
}

std::vector<std::string_view> SplitTabs(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        out.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos)
            return out;
        start = tab + 1;
    }
}

bool ParseOptional(std::string_view f, std::optional<double>& v)
{
    if (f == "-") {
        v.reset();
        return true;
    }
    double d = 0;
    if (!ParseSettingNumber(std::string(f), d) || f.find(',') != std::string_view::npos)
        return false;
    v = d;
    return true;
}

} // namespace

std::string FormatAlarmNumber(double value)
{
    return FormatSettingNumber(std::round(value * 100.0) / 100.0);
}

std::string FormatAlarmLogLine(const AlarmLogEntry& e)
{
    std::string line = TimeText(e.time, ' ');
    line += '\t';
    line += std::to_string(e.serialNumber);
    line += '\t';
    line += AlarmName(e.kind);
    line += '\t';
    line += AlarmEventName(e.type);
    line += '\t';
    line += Field(e.value);
    line += '\t';
    line += Field(e.limit);
    line += '\n';
    return line;
}

std::optional<AlarmLogEntry> ParseAlarmLogLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    const auto f = SplitTabs(line);
    if (f.size() != 6 || f[0].size() != 19)
        return std::nullopt;
    AlarmLogEntry e;
    char tail = 0;
    if (std::sscanf(std::string(f[0]).c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &e.time.year,
            &e.time.month, &e.time.day, &e.time.hour, &e.time.minute, &e.time.second, &tail)
        != 6)
        return std::nullopt;
    if (e.time.month < 1 || e.time.month > 12 || e.time.day < 1 || e.time.day > 31
        || e.time.hour > 23 || e.time.minute > 59 || e.time.second > 60)
        return std::nullopt;
    if (f[1].empty() || f[1].size() > 9 || f[1].find_first_not_of("0123456789") != f[1].npos)
        return std::nullopt;
    e.serialNumber = std::stol(std::string(f[1]));
    const auto kind = AlarmKindFromName(f[2]);
    const auto type = AlarmEventTypeFromName(f[3]);
    if (!kind || !type || !ParseOptional(f[4], e.value) || !ParseOptional(f[5], e.limit))
        return std::nullopt;
    e.kind = *kind;
    e.type = *type;
    return e;
}

std::vector<std::string> SplitCommandLine(std::string_view line)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
            else if (c == '\\' && quote == '"' && i + 1 < line.size()
                && (line[i + 1] == '"' || line[i + 1] == '\\'))
                word += line[++i];
            else
                word += c;
        } else if (c == ' ' || c == '\t') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == '\\') {
            if (i + 1 >= line.size())
                return {};
            word += line[++i];
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote != 0)
        return {};
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

std::vector<std::pair<std::string, std::string>> AlarmCommandEnvironment(const AlarmLogEntry& e)
{
    return {
        { "QM482_SERIAL", std::to_string(e.serialNumber) },
        { "QM482_ALARM", std::string(AlarmName(e.kind)) },
        { "QM482_STATE", std::string(AlarmEventName(e.type)) },
        { "QM482_VALUE", e.value ? FormatAlarmNumber(*e.value) : std::string() },
        { "QM482_LIMIT", e.limit ? FormatAlarmNumber(*e.limit) : std::string() },
        { "QM482_TIME", TimeText(e.time, 'T') },
    };
}
