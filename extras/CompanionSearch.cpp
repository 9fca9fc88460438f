#include "extras/CompanionSearch.h"

#include "extras/LinkRules.h"

std::vector<std::vector<std::string>> CompanionSearch::launches() const
{
    std::vector<std::string> dirs { programDirectory, "." };
    dirs.insert(dirs.end(), pathDirectories.begin(), pathDirectories.end());

    std::vector<std::vector<std::string>> launches;
    const std::string exe = link_rules::FindProgram("Plotan.exe", dirs, isFile);
    const std::string wine = link_rules::FindProgram("wine", pathDirectories, isExecutable);
    if (!exe.empty() && !wine.empty())
        launches.push_back({ wine, exe });
    if (const std::string native = link_rules::FindProgram("Plotan", dirs, isExecutable);
        !native.empty())
        launches.push_back({ native });
    if (const std::string chart = programDirectory + "/qm482-chart"; isExecutable(chart)) {
        launches.push_back({ chart });
        if (!recordedFile.empty())
            launches.back().push_back(recordedFile);
    }
    return launches;
}
