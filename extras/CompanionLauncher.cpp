#include "extras/CompanionLauncher.h"

#include "extras/CompanionSearch.h"
#include "extras/DetachedProcess.h"
#include "extras/LinkRules.h"
#include "platform/MessageBox.h"
#include "resources/AuxiliaryTexts.h"
#include "settings/SettingsLocation.h"

#include <sys/stat.h>

#include <cstdlib>

CompanionLauncher::CompanionLauncher(QWidget* window, RecordedFile recorded)
    : window_(window)
    , recorded_(std::move(recorded))
    , programDirectory_(SettingsLocation::ProgramDirectory("/proc/self/exe"))
{
}

bool CompanionLauncher::Run()
{
    CompanionSearch search;
    search.programDirectory = programDirectory_;
    search.pathDirectories = link_rules::PathDirectories(std::getenv("PATH"));
    search.recordedFile = recorded_ ? recorded_() : std::string();
    // Plotan.exe is a Windows program: wine runs it whatever its mode bits.
    search.isFile = [](const std::string& path) {
        struct stat st { };
        return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    };
    search.isExecutable = detached_process::IsExecutableFile;
    for (const auto& argv : search.launches()) {
        if (detached_process::Start(argv) == 0)
            return true;
    }
    ShowMessage(window_, QString::fromUtf8(texts::aux::kCompanionMissing));
    return false;
}
