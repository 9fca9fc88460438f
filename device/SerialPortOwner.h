#pragma once

#include "device/DeliveryGate.h"

// Where a SerialPort's monitor thread sends what it reads. Both calls come
// from the monitor thread and must return without waiting: the owner
// carries the ticket over to its own thread, claims it there, handles the
// byte and completes the ticket. The port waits for that completion (or
// its own stop) before it reads the next byte.
class SerialPortOwner {
public:
    virtual ~SerialPortOwner() = default;

    // One received byte (ticket.byte()).
    virtual void PostByte(DeliveryGate::Ticket ticket) = 0;
    // The device went away (hang-up, read error or end of file). Sent once;
    // the monitor thread has ended. Claim the ticket before acting on it.
    virtual void PostDeviceLost(DeliveryGate::Ticket ticket) = 0;
};
