#pragma once

#include "settings/IniFileLayer.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The program's own INI reader and writer. The whole file is read at load,
// reads and writes are served from memory, and the file is written back in
// one pass at close, only when something changed. Text is held byte for
// byte; nothing is trimmed.
class IniFile {
public:
    struct Section {
        std::vector<std::string> keys;
        std::vector<std::string> values;
    };

    IniFile(int growBy, IniFileLayer& files);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    // Loads `fileName` from the place the file layer gives the program's
    // own files.
    bool Open(std::string_view fileName, bool saveOnClose, bool createIfMissing, bool ignoreCase,
        bool backupOnSave);
    bool Load(const std::string& fullPath, bool saveOnClose, bool createIfMissing, bool ignoreCase,
        bool backupOnSave);

    std::string GetString(
        std::string_view section, std::string_view key, std::string_view defaultValue) const;
    std::int32_t GetInt(
        std::string_view section, std::string_view key, std::int32_t defaultValue) const;
    std::uint32_t GetUnsigned(
        std::string_view section, std::string_view key, std::uint32_t defaultValue) const;

    // A value holding ';' is stored with one more, so that GetString gives it
    // back whole. A write that would break its line (a CR or LF anywhere, a
    // key that is empty, holds '=' or starts with '[') is refused with a line
    // on stderr, and the old value stays.
    void SetString(std::string_view section, std::string_view key, std::string_view value);
    void SetInt(std::string_view section, std::string_view key, std::int32_t value);
    void SetUnsigned(std::string_view section, std::string_view key, std::uint32_t value);

    // Writes the file back when dirty; the result is the backup name in use
    // (empty when none, or when the write failed).
    std::string Save(bool makeBackup);
    // From now on the file is saved readable by its owner only (it holds a password).
    void SetOwnerOnly(bool ownerOnly) { ownerOnly_ = ownerOnly; }
    void Clear();

    // The in-memory side of load and save, without any file.
    void ParseText(std::string_view text);
    std::string ToText() const;

    bool IsLoaded() const { return !path_.empty(); }
    bool dirty() const { return dirty_; }
    const std::string& path() const { return path_; }
    const std::vector<std::string>& sectionNames() const { return sectionNames_; }
    const std::vector<Section>& sections() const { return sections_; }

    // "%s.%.3d" after the largest backup number present in `names` (the
    // names of the file's folder). Past 999 the numbers go on with more
    // digits, so no backup is ever overwritten.
    static std::string NextBackupName(
        const std::string& path, const std::vector<std::string>& names);
    // Decimal conversion as the typed reads do it: leading white space, one
    // sign, digits up to the first non-digit, wrapping modulo 2^32.
    static std::uint32_t ParseWrapping(std::string_view text);

private:
    bool Equal(std::string_view a, std::string_view b) const;
    int FindSection(std::string_view name) const;
    int FindKey(const Section& section, std::string_view key) const;
    void AppendSection();
    void SetSectionName(std::size_t index, std::string_view name);

    IniFileLayer& files_;
    int growBy_;
    std::string path_;
    std::vector<std::string> sectionNames_;
    std::vector<Section> sections_;
    bool ignoreCase_ = true;
    bool saveOnClose_ = false;
    bool backupOnSave_ = false;
    std::string backupName_;
    bool dirty_ = false;
    bool ownerOnly_ = false;
};
