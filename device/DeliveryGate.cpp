#include "device/DeliveryGate.h"

std::shared_ptr<DeliveryGate> DeliveryGate::Create()
{
    return std::shared_ptr<DeliveryGate>(new DeliveryGate());
}

DeliveryGate::Ticket DeliveryGate::IssueBytes(std::vector<std::uint8_t> bytes)
{
    std::lock_guard lock(mutex_);
    pending_ = next_++;
    return Ticket(shared_from_this(), pending_, std::move(bytes));
}

DeliveryGate::Ticket DeliveryGate::IssueLoss()
{
    return Ticket(shared_from_this(), 0, {});
}

bool DeliveryGate::WaitHandled()
{
    std::unique_lock lock(mutex_);
    handled_.wait(lock, [this] { return stopped_ || pending_ == 0; });
    return !stopped_;
}

void DeliveryGate::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    handled_.notify_all();
}

bool DeliveryGate::Stopped() const
{
    std::lock_guard lock(mutex_);
    return stopped_;
}

bool DeliveryGate::Claimable(std::uint64_t sequence) const
{
    std::lock_guard lock(mutex_);
    return !stopped_ && (sequence == 0 || sequence == pending_);
}

void DeliveryGate::Complete(std::uint64_t sequence)
{
    {
        std::lock_guard lock(mutex_);
        if (sequence == 0 || sequence != pending_)
            return;
        pending_ = 0;
    }
    handled_.notify_all();
}

DeliveryGate::Ticket::Ticket(Ticket&& other) noexcept
    : gate_(std::move(other.gate_))
    , sequence_(other.sequence_)
    , bytes_(std::move(other.bytes_))
{
    other.gate_.reset();
}

DeliveryGate::Ticket& DeliveryGate::Ticket::operator=(Ticket&& other) noexcept
{
    if (this != &other) {
        Complete();
        gate_ = std::move(other.gate_);
        other.gate_.reset();
        sequence_ = other.sequence_;
        bytes_ = std::move(other.bytes_);
    }
    return *this;
}

DeliveryGate::Ticket::~Ticket()
{
    Complete();
}

bool DeliveryGate::Ticket::Claim() const
{
    return gate_ && gate_->Claimable(sequence_);
}

void DeliveryGate::Ticket::Complete()
{
    if (gate_) {
        gate_->Complete(sequence_);
        gate_.reset();
    }
}
