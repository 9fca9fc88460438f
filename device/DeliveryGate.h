#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The hand-over of received bytes from the monitor thread to the owner's
// thread. The monitor thread issues a ticket for a run of bytes, gives it to
// the owner and waits until the ticket is completed or the gate is stopped.
// Stopping releases a waiting monitor thread at once, so the port's
// destructor never has to pump events; a ticket that arrives after the stop
// is refused, and so is the rest of a run whose handling stopped the gate.
class DeliveryGate : public std::enable_shared_from_this<DeliveryGate> {
public:
    // Bytes (or the loss of the device) on their way to the owner. Move
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

        // On the owner's thread, before handling each byte: false when the
        // port has been stopped (or this ticket is stale); then handle no
        // more of it.
        bool Claim() const;
        // After handling: lets the monitor thread read on.
        void Complete();

        const std::vector<std::uint8_t>& bytes() const { return bytes_; }

    private:
        friend class DeliveryGate;
        Ticket(std::shared_ptr<DeliveryGate> gate, std::uint64_t sequence,
            std::vector<std::uint8_t> bytes)
            : gate_(std::move(gate))
            , sequence_(sequence)
            , bytes_(std::move(bytes))
        {
        }

        std::shared_ptr<DeliveryGate> gate_;
        std::uint64_t sequence_ = 0; // 0: a loss report, nobody waits for it
        std::vector<std::uint8_t> bytes_;
    };

    static std::shared_ptr<DeliveryGate> Create();

    // Monitor thread: a ticket for received bytes, in order; the gate now
    // waits for it.
    Ticket IssueBytes(std::vector<std::uint8_t> bytes);
    // Monitor thread: a ticket for the loss report; nothing waits for it.
    Ticket IssueLoss();
    // Monitor thread: waits until the bytes' ticket is completed (true) or
    // the gate is stopped (false).
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
    std::uint64_t pending_ = 0; // sequence of the bytes in flight, 0 when none
    std::uint64_t next_ = 1;
};
