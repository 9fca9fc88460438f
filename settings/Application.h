#pragma once

#include <functional>

class IniFileLayer;
class MainDialog;

// The program's start-up routine: loads the settings into the main
// window, runs it, and writes the settings back at the end.
class Application {
public:
    using ModalRun = std::function<void(MainDialog&)>;

    // Tests pass their own file layer and a modal run that drives the
    // window instead of a person.
    explicit Application(IniFileLayer* files = nullptr, ModalRun run = {});

    // The whole life of the program; false, as there is nothing left to run.
    bool Run();

private:
    IniFileLayer* files_;
    ModalRun run_;
};
