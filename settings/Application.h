#pragma once

#include <functional>
#include <string>

class IniFileLayer;
class MainDialog;
class QWidget;

// The program's start-up routine: loads the settings into the main
// window, runs it, and writes the settings back at the end.
class Application {
public:
    using ModalRun = std::function<void(MainDialog&)>;

    // Tests pass their own file layer and a modal run that drives the
    // window instead of a person.
    explicit Application(IniFileLayer* files = nullptr, ModalRun run = {});

    // The settings file named on the command line, instead of the program's
    // own. It must open: otherwise Run shows no window and settingsRefused().
    void UseSettingsFile(std::string path) { settingsFile_ = std::move(path); }
    // Told the window once it exists, before it is shown.
    void SetWindowHook(std::function<void(QWidget&)> hook) { windowHook_ = std::move(hook); }

    // The whole life of the program; false, as there is nothing left to run.
    bool Run();
    bool settingsRefused() const { return settingsRefused_; }

private:
    IniFileLayer* files_;
    ModalRun run_;
    std::string settingsFile_;
    std::function<void(QWidget&)> windowHook_;
    bool settingsRefused_ = false;
};
