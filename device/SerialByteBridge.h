#pragma once

#include "device/SerialPortOwner.h"

#include <QObject>

#include <cstdint>
#include <functional>

// The Qt side of the serial hand-over: carries the bytes from the port's
// monitor thread onto the thread this object lives on (the UI thread),
// calls the byte handler there for each byte in order and only then lets
// the monitor thread hand over more. Bytes or a loss report that arrive
// after their port was deleted are dropped, and so is the rest of a run
// whose handler deleted the port. Must outlive the SerialPort it is given to.
class SerialByteBridge : public QObject, public SerialPortOwner {
    Q_OBJECT
public:
    using ByteHandler = std::function<void(std::uint8_t)>;
    using LossHandler = std::function<void()>;

    explicit SerialByteBridge(
        ByteHandler onByte, LossHandler onLost = {}, QObject* parent = nullptr);
    ~SerialByteBridge() override;

    void PostBytes(DeliveryGate::Ticket ticket) override;
    void PostDeviceLost(DeliveryGate::Ticket ticket) override;

protected:
    bool event(QEvent* e) override;

private:
    ByteHandler onByte_;
    LossHandler onLost_;
};
