#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

// The hand-over of one received byte from the monitor thread to the owner's
// thread. The monitor thread issues a ticket, gives it to the owner and
// waits until the ticket is completed or the gate is stopped. Stopping
// releases a waiting monitor thread at once, so the port's destructor never
// has to pump events; a ticket that arrives after the stop is refused.
class DeliveryGate : public std::enable_shared_from_this<DeliveryGate> {
public:
    // One byte (or the loss of the device) on its way to the owner. Move
    // only; dropping an unclaimed or unfinished ticket completes it, so a
    // lost event never holds the monitor thread.
    class Ticket {
    public:
        Ticket() = default;
        Ticket(Ticket&& other) noexcept;
        Ticket& operator=(Ticket&& other) noexcept;
        Ticket(const Ticket&) = delete;
        Ticket& operator=(const Ticket&) = delete;
        ~Ticket();

        // On the owner's thread, before handling: false when the port has
        // been stopped (or this ticket is stale); then handle nothing.
        bool Claim() const;
        // After handling: lets the monitor thread read on.
        void Complete();

        std::uint8_t byte() const { return byte_; }

    private:
        friend class DeliveryGate;
        Ticket(std::shared_ptr<DeliveryGate> gate, std::uint64_t sequence, std::uint8_t byte)
            : gate_(std::move(gate))
            , sequence_(sequence)
            , byte_(byte)
        {
        }

        std::shared_ptr<DeliveryGate> gate_;
        std::uint64_t sequence_ = 0; // 0: a loss report, nobody waits for it
        std::uint8_t byte_ = 0;
    };

    static std::shared_ptr<DeliveryGate> Create();

    // Monitor thread: a ticket for one byte; the gate now waits for it.
    Ticket IssueByte(std::uint8_t byte);
    // Monitor thread: a ticket for the loss report; nothing waits for it.
    Ticket IssueLoss();
    // Monitor thread: waits until the byte ticket is completed (true) or the
    // gate is stopped (false).
    bool WaitHandled();

    // Owner's thread: ends every delivery; irreversible.
    void Stop();
    bool Stopped() const;

private:
    DeliveryGate() = default;
    bool Claimable(std::uint64_t sequence) const;
    void Complete(std::uint64_t sequence);

    mutable std::mutex mutex_;
    std::condition_variable handled_;
    bool stopped_ = false;
    std::uint64_t pending_ = 0; // sequence of the byte in flight, 0 when none
    std::uint64_t next_ = 1;
};
