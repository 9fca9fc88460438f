#pragma once

#include <functional>
#include <string>
#include <vector>

// Which programs "Uruchom Plotan" tries, in order: Plotan.exe through wine
// when both are found, a native Plotan, then our own chart viewer beside
// the program on the file being recorded. The program's folder, the
// current folder and the PATH are searched, as the original launcher did.
struct CompanionSearch {
    std::string programDirectory;
    std::vector<std::string> pathDirectories;
    // The binary file being recorded, else the report, else empty.
    std::string recordedFile;
    std::function<bool(const std::string&)> isFile;
    std::function<bool(const std::string&)> isExecutable;

    std::vector<std::vector<std::string>> launches() const;
};
