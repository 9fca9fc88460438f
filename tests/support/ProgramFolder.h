#pragma once

#include "settings/Application.h"
#include "settings/PosixFileLayer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// The program "installed" in a folder of the test's own: the settings file
// lies beside it, and a run is the program's whole life.
class ProgramFolder {
public:
    ProgramFolder()
    {
        std::filesystem::create_symlink(dir / "qm482", dir / "exe");
        inputs.exeLink = dir / "exe";
        inputs.home = dir.path();
    }
    void Run(Application::ModalRun run)
    {
        PosixFileLayer files(inputs);
        Application app(&files, std::move(run));
        EXPECT_FALSE(app.Run());
    }
    std::string ini() const { return dir / "qm480cfg.ini"; }

    TempDir dir;
    SettingsLocation::Inputs inputs;
};
