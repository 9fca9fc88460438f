#pragma once

#include "device/DeliveryGate.h"

// Where a SerialPort's monitor thread sends what it reads. Both calls come
// from the monitor thread and must return without waiting: the owner
// carries the ticket over to its own thread, and there claims it before
// each byte, handles the bytes in order and completes the ticket. The port
// waits for that completion (or its own stop) before it hands over more.
class SerialPortOwner {
public:
    virtual ~SerialPortOwner() = default;

    // Received bytes (ticket.bytes()), in order: a line up to and including
    // its carriage return, or what came before the line went quiet, or a
    // bounded run of bytes without one.
    virtual void PostBytes(DeliveryGate::Ticket ticket) = 0;
    // The device went away (hang-up, read error or end of file). Sent once,
    // after the bytes read before it; the monitor thread has ended. Claim
    // the ticket before acting on it.
    virtual void PostDeviceLost(DeliveryGate::Ticket ticket) = 0;
};
