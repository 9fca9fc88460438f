#include "chart/ChartSettings.h"

#include "settings/IniFile.h"
#include "settings/PosixFileLayer.h"
#include "settings/SettingsTable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace {

// Far beyond what the program writes, as its own reader holds.
constexpr std::size_t kLargestFile = std::size_t { 1 } << 20U;

// The program's file layer with reading only: opened read-only, and every
// write refused.
class ReadOnlyFileLayer : public PosixFileLayer {
public:
    bool ReadForUpdate(
        const std::string& path, bool /*createIfMissing*/, std::string& content) override
    {
        missing_ = false;
        // Without blocking: a FIFO under the name would hold the start.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) {
            missing_ = errno == ENOENT;
            return false;
        }
        const bool ok = ReadRegular(fd, content);
        ::close(fd);
        if (!ok)
            content.clear();
        return ok;
    }
    bool ReplaceAtomically(const std::string& /*path*/, std::string_view /*content*/) override
    {
        return false;
    }
    bool ReplaceOwnerOnly(const std::string& /*path*/, std::string_view /*content*/) override
    {
        return false;
    }
    bool Copy(const std::string& /*from*/, const std::string& /*to*/) override { return false; }

    bool missing() const { return missing_; }

private:
    static bool ReadRegular(int fd, std::string& content)
    {
        struct stat st { };
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)
            || st.st_size > static_cast<off_t>(kLargestFile))
            return false;
        std::array<char, 8192> buffer {};
        for (;;) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return false;
            if (n == 0)
                return true;
            content.append(buffer.data(), static_cast<std::size_t>(n));
            if (content.size() > kLargestFile)
                return false;
        }
    }

    bool missing_ = false;
};

} // namespace

namespace chart {

std::string ProgramSettingsPath()
{
    // As SettingsLocation::Locate, but without making the fallback folder.
    const SettingsLocation::Inputs inputs = SettingsLocation::FromProcess();
    const std::string programDir = SettingsLocation::ProgramDirectory(inputs.exeLink);
    const std::string name(kSettingsFileName);
    if (inputs.writable(programDir))
        return (programDir == "/" ? "" : programDir) + "/" + name;
    const std::string configDir = SettingsLocation::ConfigDirectory(inputs);
    return configDir.empty() ? std::string() : configDir + "/" + name;
}

SettingsRead LoadAlarmSettingsFrom(const std::string& path, AlarmSettings& settings)
{
    settings = AlarmSettings {};
    if (path.empty())
        return SettingsRead::Missing;
    ReadOnlyFileLayer files;
    IniFile ini(4, files);
    if (!ini.Load(path, /*saveOnClose=*/false, /*createIfMissing=*/false, /*ignoreCase=*/true,
            /*backupOnSave=*/false))
        return files.missing() ? SettingsRead::Missing : SettingsRead::Unreadable;
    LoadAlarmSettings(ini, settings);
    return SettingsRead::Loaded;
}

} // namespace chart
