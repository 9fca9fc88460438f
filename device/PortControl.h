#pragma once

#include "device/PortDialog.h"

#include <cstdint>
#include <functional>
#include <memory>

class QWidget;
class SerialByteBridge;
class SerialPort;
class WindowTimers;

// The serial port's life cycle for the main window: the saved port opened at
// start-up, the port dialog (held back while the window is not shown yet or
// the promotion window of the start is open), and a port whose device went
// away tried again every 2 s until it is back.
class PortControl {
public:
    static constexpr unsigned kPortReopenMs = 2000;

    // What the port needs of the window, and no more.
    struct Window {
        QWidget* widget; // parent of the port dialog and the boxes
        WindowTimers& timers;
        std::function<void(std::uint8_t)> onByte;
        const bool& promotionOpen;
        const bool& quitting;
    };

    explicit PortControl(Window window);
    ~PortControl();
    PortControl(const PortControl&) = delete;
    PortControl& operator=(const PortControl&) = delete;

    // The window's start-up: the saved port, else the port dialog.
    void OpenSavedPort();
    // Timers 1069 and 1071; false for any other.
    bool OnTimer(unsigned id);
    // The menu command "Port szeregowy".
    void RunPortDialog();
    void DeleteSerialPort();

    // Seam for tests: how ports are listed for the port dialog.
    void SetPortEnumerator(PortDialog::Enumerator enumerate) { enumerate_ = std::move(enumerate); }
    SerialPort* serialPort() const { return port_.get(); }

    // The saved port (PORT_NR); 0 for none.
    int portNumber = 0;

private:
    bool OpenPort(int number);
    void OnPortLost();
    void ReopenLostPort();

    Window window_;
    // Declared before the port: the port must go first.
    std::unique_ptr<SerialByteBridge> bridge_;
    std::unique_ptr<SerialPort> port_;
    PortDialog::Enumerator enumerate_;
    bool portLost_ = false;
};
