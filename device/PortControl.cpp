#include "device/PortControl.h"

#include "device/PortEnumerator.h"
#include "device/SerialByteBridge.h"
#include "device/SerialPort.h"
#include "platform/MessageBox.h"
#include "platform/WindowTimers.h"
#include "resources/CommandIds.h"
#include "resources/MainWindowTexts.h"

#include <QWidget>

namespace {

QString cannotOpen(int number)
{
    return QString::fromUtf8(texts::main::kCannotOpenPort).replace("%d", QString::number(number));
}

} // namespace

PortControl::PortControl(Window window)
    : window_(std::move(window))
    , bridge_(std::make_unique<SerialByteBridge>(window_.onByte, [this] { OnPortLost(); }))
    , enumerate_([](unsigned& count, std::string& text) { return EnumeratePorts(count, text); })
{
}

PortControl::~PortControl()
{
    port_.reset();
}

void PortControl::OpenSavedPort()
{
    if (portNumber > 0) {
        if (!OpenPort(portNumber)) {
            ShowMessage(window_.widget, cannotOpen(portNumber));
            RunPortDialog();
        }
    } else {
        RunPortDialog();
    }
}

bool PortControl::OnTimer(unsigned id)
{
    switch (id) {
    case ids::TIMER_PORT_DIALOG:
        if (window_.promotionOpen)
            return true;
        window_.timers.KillTimer(id);
        RunPortDialog();
        return true;
    case ids::TIMER_PORT_REOPEN:
        ReopenLostPort();
        return true;
    default:
        return false;
    }
}

bool PortControl::OpenPort(int number)
{
    auto port = std::make_unique<SerialPort>();
    if (!port->Open(bridge_.get(), number, 300, 'N', 7, 1, SerialPort::EV_RXCHAR))
        return false;
    port->StartMonitoring();
    port_ = std::move(port);
    portLost_ = false;
    window_.timers.KillTimer(ids::TIMER_PORT_REOPEN);
    return true;
}

void PortControl::DeleteSerialPort()
{
    port_.reset();
    portLost_ = false;
    window_.timers.KillTimer(ids::TIMER_PORT_REOPEN);
}

void PortControl::OnPortLost()
{
    // The device went away (a USB adapter pulled, the line closed): keep the
    // port number and try the same port again until it is back.
    portLost_ = true;
    window_.timers.SetTimer(ids::TIMER_PORT_REOPEN, kPortReopenMs);
}

void PortControl::ReopenLostPort()
{
    if (!portLost_ || portNumber <= 0) {
        window_.timers.KillTimer(ids::TIMER_PORT_REOPEN);
        return;
    }
    port_.reset();
    OpenPort(portNumber);
}

void PortControl::RunPortDialog()
{
    if (window_.quitting)
        return;
    if (!window_.widget->isVisible()) {
        window_.timers.SetTimer(ids::TIMER_PORT_DIALOG, 500);
        return;
    }
    const int open = port_ != nullptr ? port_->portNumber() : 0;
    PortDialog dialog(open, enumerate_, window_.widget);
    if (dialog.exec() != QDialog::Accepted || window_.quitting)
        return;
    const int chosen = dialog.portNumber();
    if (chosen <= 0 || chosen == open)
        return;
    DeleteSerialPort();
    if (OpenPort(chosen)) {
        portNumber = chosen;
        return;
    }
    portNumber = 0;
    ShowMessage(window_.widget, cannotOpen(chosen));
    RunPortDialog();
}
