#include "platform/WindowTimers.h"

#include <QTimerEvent>

WindowTimers::WindowTimers(Handler onTimer, QObject* parent)
    : QObject(parent)
    , onTimer_(std::move(onTimer))
{
}

WindowTimers::~WindowTimers()
{
    for (const auto& [id, qtId] : running_)
        killTimer(qtId);
}

unsigned WindowTimers::SetTimer(unsigned id, unsigned periodMs)
{
    if (id == 0)
        return 0;
    KillTimer(id);
    const int qtId = startTimer(static_cast<int>(periodMs));
    if (qtId == 0)
        return 0;
    running_[id] = qtId;
    periods_[id] = periodMs;
    return id;
}

bool WindowTimers::KillTimer(unsigned id)
{
    const auto it = running_.find(id);
    if (it == running_.end())
        return false;
    killTimer(it->second);
    running_.erase(it);
    periods_.erase(id);
    return true;
}

void WindowTimers::timerEvent(QTimerEvent* event)
{
    for (const auto& [id, qtId] : running_) {
        if (qtId == event->timerId()) {
            // The handler may kill or re-arm timers, so leave the loop first.
            const unsigned fired = id;
            if (onTimer_)
                onTimer_(fired);
            return;
        }
    }
    QObject::timerEvent(event);
}
