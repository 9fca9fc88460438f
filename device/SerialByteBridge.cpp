#include "device/SerialByteBridge.h"

#include "platform/PostedCalls.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

// Posted events own their ticket: an event Qt discards (its receiver gone)
// completes the ticket on destruction and so never holds the monitor thread.
class SerialEvent : public QEvent {
public:
    static QEvent::Type BytesType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    static QEvent::Type LossType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    SerialEvent(QEvent::Type type, DeliveryGate::Ticket ticket)
        : QEvent(type)
        , ticket(std::move(ticket))
    {
    }

    DeliveryGate::Ticket ticket;
};

} // namespace

SerialByteBridge::SerialByteBridge(ByteHandler onByte, LossHandler onLost, QObject* parent)
    : QObject(parent)
    , onByte_(std::move(onByte))
    , onLost_(std::move(onLost))
{
    // Both types are registered here, on the UI thread, not first on the monitor thread.
    SerialEvent::BytesType();
    SerialEvent::LossType();
}

SerialByteBridge::~SerialByteBridge() = default;

void SerialByteBridge::PostBytes(DeliveryGate::Ticket ticket)
{
    auto* e = new SerialEvent(SerialEvent::BytesType(), std::move(ticket));
    thread_order::Posted(e);
    QCoreApplication::postEvent(this, e);
}

void SerialByteBridge::PostDeviceLost(DeliveryGate::Ticket ticket)
{
    auto* e = new SerialEvent(SerialEvent::LossType(), std::move(ticket));
    thread_order::Posted(e);
    QCoreApplication::postEvent(this, e);
}

bool SerialByteBridge::event(QEvent* e)
{
    thread_order::Delivered(e);
    const auto type = e->type();
    if (type != SerialEvent::BytesType() && type != SerialEvent::LossType())
        return QObject::event(e);
    auto* serial = static_cast<SerialEvent*>(e);
    // Take the ticket out: the handler may delete the port (and with it
    // nothing of ours), and the ticket must be completed after it returned.
    DeliveryGate::Ticket ticket = std::move(serial->ticket);
    if (type == SerialEvent::BytesType()) {
        // Claimed again before every byte: a handler that deleted the port
        // (a dialog run from it that picks another) ends the run there.
        for (const std::uint8_t b : ticket.bytes()) {
            if (!ticket.Claim())
                break;
            if (onByte_)
                onByte_(b);
        }
        ticket.Complete();
    } else if (ticket.Claim() && onLost_) {
        onLost_();
    }
    return true;
}
