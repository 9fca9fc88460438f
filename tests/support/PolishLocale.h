#pragma once

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace testlocale {

// Puts the process into pl_PL.UTF-8 (a decimal comma), made with localedef
// in a temporary folder when the system has none. False when it cannot be
// had: ./check installs the locale sources, so a caller treats that as a
// failure, not a skip.
inline bool UsePolishLocale()
{
    if (std::setlocale(LC_ALL, "pl_PL.UTF-8") != nullptr)
        return true;
    const auto dir = std::filesystem::temp_directory_path() / "qm482-test-locale";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::string command
        = "localedef -i pl_PL -f UTF-8 '" + (dir / "pl_PL.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0
        && !std::filesystem::exists(dir / "pl_PL.UTF-8" / "LC_NUMERIC", ec))
        return false;
    ::setenv("LOCPATH", dir.c_str(), 1);
    return std::setlocale(LC_ALL, "pl_PL.UTF-8") != nullptr;
}

} // namespace testlocale
