#include "settings/IniFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

namespace {

constexpr char kSeparator = '/';

char FoldAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// What a read gives for a stored value: the text before its last ';' (what
// follows is a comment).
std::string_view ReadForm(std::string_view stored)
{
    std::size_t semicolon = stored.rfind(';');
    return semicolon == std::string_view::npos ? stored : stored.substr(0, semicolon);
}

// The stored form that reads back as `value`: a value holding a ';' gets one
// more, which the read then cuts off.
std::string StoredForm(std::string_view value)
{
    std::string stored(value);
    if (value.find(';') != std::string_view::npos)
        stored += ';';
    return stored;
}

bool HoldsLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Why a write of `section`/`key`/`value` could not be read back as the same
// entry, or nullptr when it can. A line break would start a line of its own;
// a key that is empty, holds '=' or starts with '[' would read back as
// another key, a header or an entry of another name.
const char* Unwritable(std::string_view section, std::string_view key, std::string_view value)
{
    if (HoldsLineBreak(section) || HoldsLineBreak(key))
        return "its name holds a line break";
    if (key.empty() || key.find('=') != std::string_view::npos || key.front() == '[')
        return "its name cannot be written as a key";
    if (HoldsLineBreak(value))
        return "the value holds a line break";
    return nullptr;
}

// A name as one line of a message.
std::string OneLine(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

template<typename T> std::string FormatDecimal(T value)
{
    std::array<char, 16> buffer {};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

} // namespace

IniFile::IniFile(int growBy, IniFileLayer& files)
    : files_(files)
    , growBy_(std::max(growBy, 1))
{
}

IniFile::~IniFile()
{
    // A destructor must not throw; a save that cannot complete is lost, as
    // any failed save is.
    try {
        if (saveOnClose_)
            Save(backupOnSave_);
    } catch (...) {
    }
    Clear();
}

bool IniFile::Open(std::string_view fileName, bool saveOnClose, bool createIfMissing,
    bool ignoreCase, bool backupOnSave)
{
    return Load(
        files_.LocateFile(fileName), saveOnClose, createIfMissing, ignoreCase, backupOnSave);
}

bool IniFile::Load(const std::string& fullPath, bool saveOnClose, bool createIfMissing,
    bool ignoreCase, bool backupOnSave)
{
    if (!path_.empty()) {
        Save(false);
        Clear();
    }
    ignoreCase_ = ignoreCase;
    saveOnClose_ = saveOnClose;
    backupOnSave_ = backupOnSave;

    std::string content;
    if (fullPath.empty() || !files_.ReadForUpdate(fullPath, createIfMissing, content))
        return false;
    ParseText(content);
    path_ = fullPath;
    return true;
}

void IniFile::ParseText(std::string_view text)
{
    sectionNames_.clear();
    sections_.clear();
    sections_.reserve(static_cast<std::size_t>(growBy_));
    sections_.emplace_back();
    dirty_ = false;

    std::string currentName;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        std::string_view line
            = text.substr(pos, (end == std::string_view::npos ? text.size() : end) - pos);
        // Only a CR that comes with an LF belongs to the line end.
        if (end != std::string_view::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        pos = next;

        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            AppendSection();
            currentName.assign(line.substr(1, line.size() - 2));
            continue;
        }
        std::size_t eq = line.find('=');
        Section& section = sections_.back();
        if (eq == std::string_view::npos) {
            section.keys.emplace_back(line);
            section.values.emplace_back();
        } else {
            section.keys.emplace_back(line.substr(0, eq));
            section.values.emplace_back(line.substr(eq + 1));
        }
        SetSectionName(sections_.size() - 1, currentName);
    }
}

std::string IniFile::ToText() const
{
    std::string out;
    for (std::size_t i = 0; i < sectionNames_.size() && i < sections_.size(); ++i) {
        if (!sectionNames_[i].empty()) {
            out += '[';
            out += sectionNames_[i];
            out += "]\r\n";
        }
        const Section& section = sections_[i];
        for (std::size_t e = 0; e < section.keys.size(); ++e) {
            out += section.keys[e];
            if (!section.keys[e].empty())
                out += '=';
            out += section.values[e];
            out += "\r\n";
        }
    }
    return out;
}

void IniFile::AppendSection()
{
    if (sections_.size() == sections_.capacity())
        sections_.reserve(sections_.size() + static_cast<std::size_t>(growBy_));
    sections_.emplace_back();
}

void IniFile::SetSectionName(std::size_t index, std::string_view name)
{
    if (sectionNames_.size() <= index)
        sectionNames_.resize(index + 1);
    sectionNames_[index].assign(name);
}

bool IniFile::Equal(std::string_view a, std::string_view b) const
{
    if (a.size() != b.size())
        return false;
    if (!ignoreCase_)
        return a == b;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

int IniFile::FindSection(std::string_view name) const
{
    for (std::size_t i = 0; i < sectionNames_.size(); ++i) {
        if (Equal(sectionNames_[i], name))
            return static_cast<int>(i);
    }
    return -1;
}

int IniFile::FindKey(const Section& section, std::string_view key) const
{
    for (std::size_t i = section.keys.size(); i-- > 0;) {
        if (Equal(section.keys[i], key))
            return static_cast<int>(i);
    }
    return -1;
}

std::string IniFile::GetString(
    std::string_view section, std::string_view key, std::string_view defaultValue) const
{
    int s = FindSection(section);
    if (s < 0 || static_cast<std::size_t>(s) >= sections_.size())
        return std::string(defaultValue);
    const Section& entries = sections_[static_cast<std::size_t>(s)];
    int k = FindKey(entries, key);
    if (k < 0)
        return std::string(defaultValue);
    return std::string(ReadForm(entries.values[static_cast<std::size_t>(k)]));
}

std::uint32_t IniFile::ParseWrapping(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10U + static_cast<std::uint32_t>(text[i] - '0');
    return negative ? 0U - value : value;
}

std::int32_t IniFile::GetInt(
    std::string_view section, std::string_view key, std::int32_t defaultValue) const
{
    return static_cast<std::int32_t>(
        ParseWrapping(GetString(section, key, FormatDecimal(defaultValue))));
}

std::uint32_t IniFile::GetUnsigned(
    std::string_view section, std::string_view key, std::uint32_t defaultValue) const
{
    return ParseWrapping(GetString(section, key, FormatDecimal(defaultValue)));
}

void IniFile::SetString(std::string_view section, std::string_view key, std::string_view value)
{
    if (const char* reason = Unwritable(section, key, value)) {
        std::fprintf(stderr, "qm482: setting [%s] %s not changed: %s\n", OneLine(section).c_str(),
            OneLine(key).c_str(), reason);
        return;
    }
    if (sections_.empty())
        sections_.emplace_back(); // a store that never loaded still keeps its writes in memory
    int s = FindSection(section);
    if (s < 0 || static_cast<std::size_t>(s) >= sections_.size()) {
        AppendSection();
        s = static_cast<int>(sections_.size() - 1);
        SetSectionName(static_cast<std::size_t>(s), section);
        dirty_ = true;
    }
    Section& entries = sections_[static_cast<std::size_t>(s)];
    int k = FindKey(entries, key);
    if (k < 0) {
        entries.keys.emplace_back(key);
        entries.values.push_back(StoredForm(value));
        dirty_ = true;
        return;
    }
    // Compared as read, so a value written back unchanged keeps a comment
    // after it and leaves the file as it is.
    std::string& old = entries.values[static_cast<std::size_t>(k)];
    std::string_view current = ReadForm(old);
    if (current == value)
        return;
    if (!Equal(current, value))
        dirty_ = true;
    old = StoredForm(value);
}

void IniFile::SetInt(std::string_view section, std::string_view key, std::int32_t value)
{
    SetString(section, key, FormatDecimal(value));
}

void IniFile::SetUnsigned(std::string_view section, std::string_view key, std::uint32_t value)
{
    SetString(section, key, FormatDecimal(value));
}

std::string IniFile::NextBackupName(const std::string& path, const std::vector<std::string>& names)
{
    std::size_t slash = path.rfind(kSeparator);
    std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    std::size_t dot = fileName.rfind('.');
    std::string stem = dot == std::string::npos ? fileName : fileName.substr(0, dot);

    // Numbers up to 999 come from the last three characters of every name
    // that starts with the stem; longer ones from a purely numeric suffix
    // after "<file>.", so numbering goes on past 999 instead of repeating.
    constexpr std::int64_t kLargest = 999999999;
    std::int64_t largest = 0;
    for (const std::string& name : names) {
        if (name.compare(0, stem.size(), stem) != 0)
            continue;
        if (name.size() >= 3) {
            auto n = static_cast<std::int32_t>(
                ParseWrapping(std::string_view(name).substr(name.size() - 3)));
            largest = std::max<std::int64_t>(largest, n);
        }
        if (name.size() > fileName.size() + 1 && name.compare(0, fileName.size(), fileName) == 0
            && name[fileName.size()] == '.') {
            std::string_view digits = std::string_view(name).substr(fileName.size() + 1);
            if (digits.size() <= 9 && std::all_of(digits.begin(), digits.end(), [](char c) {
                    return c >= '0' && c <= '9';
                }))
                largest = std::max<std::int64_t>(
                    largest, static_cast<std::int64_t>(ParseWrapping(digits)));
        }
    }
    std::int64_t next = std::min(largest + 1, kLargest);
    std::array<char, 16> number {};
    std::snprintf(number.data(), number.size(), "%.3d", static_cast<int>(next));
    return path + "." + number.data();
}

std::string IniFile::Save(bool makeBackup)
{
    if (!dirty_ || path_.empty())
        return {};
    if (makeBackup) {
        if (backupName_.empty()) {
            std::size_t slash = path_.rfind(kSeparator);
            std::string directory = slash == std::string::npos ? "." : path_.substr(0, slash);
            if (directory.empty())
                directory = "/";
            std::vector<std::string> names;
            files_.ListDirectory(directory, names);
            backupName_ = NextBackupName(path_, names);
        }
        files_.Copy(path_, backupName_); // a failed backup does not stop the save
    }
    const std::string text = ToText();
    if (!(ownerOnly_ ? files_.ReplaceOwnerOnly(path_, text)
                     : files_.ReplaceAtomically(path_, text)))
        return {};
    return backupName_;
}

void IniFile::Clear()
{
    sectionNames_.clear();
    sections_.clear();
    path_.clear();
    dirty_ = false;
}
