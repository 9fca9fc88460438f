#include "platform/PostedCalls.h"

#include <QCoreApplication>
#include <QEvent>

#if defined(__SANITIZE_THREAD__)
#define QM482_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QM482_TSAN 1
#endif
#endif
#ifdef QM482_TSAN
#include <sanitizer/tsan_interface.h>
#endif

void thread_order::Posted([[maybe_unused]] QEvent* e)
{
#ifdef QM482_TSAN
    __tsan_release(e);
#endif
}

void thread_order::Delivered([[maybe_unused]] QEvent* e)
{
#ifdef QM482_TSAN
    __tsan_acquire(e);
#endif
}

namespace {

class CallEvent : public QEvent {
public:
    static QEvent::Type Type()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    explicit CallEvent(std::function<void()> f)
        : QEvent(Type())
        , call(std::move(f))
    {
    }

    std::function<void()> call;
};

} // namespace

PostedCalls::PostedCalls()
{
    // Registered here, on the receiving thread, not first on a worker.
    CallEvent::Type();
}

void PostedCalls::Post(std::function<void()> call)
{
    auto* e = new CallEvent(std::move(call));
    thread_order::Posted(e);
    QCoreApplication::postEvent(this, e);
}

void PostedCalls::RunPosted()
{
    QCoreApplication::sendPostedEvents(this, CallEvent::Type());
}

bool PostedCalls::event(QEvent* e)
{
    thread_order::Delivered(e);
    if (e->type() != CallEvent::Type())
        return QObject::event(e);
    static_cast<CallEvent*>(e)->call();
    return true;
}
