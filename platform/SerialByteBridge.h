#pragma once

#include "device/SerialPortOwner.h"

#include <QObject>

#include <cstdint>
#include <functional>

// The Qt side of the serial hand-over: carries each byte from the port's
// monitor thread onto the thread this object lives on (the UI thread),
// calls the byte handler there and only then lets the monitor thread read
// on. A byte or loss report that arrives after its port was deleted is
// dropped. Must outlive the SerialPort it is given to.
class SerialByteBridge : public QObject, public SerialPortOwner {
    Q_OBJECT
public:
    using ByteHandler = std::function<void(std::uint8_t)>;
    using LossHandler = std::function<void()>;

    explicit SerialByteBridge(
        ByteHandler onByte, LossHandler onLost = {}, QObject* parent = nullptr);
    ~SerialByteBridge() override;

    void PostByte(DeliveryGate::Ticket ticket) override;
    void PostDeviceLost(DeliveryGate::Ticket ticket) override;

protected:
    bool event(QEvent* e) override;

private:
    ByteHandler onByte_;
    LossHandler onLost_;
};
