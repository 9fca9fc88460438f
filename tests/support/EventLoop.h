#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <functional>

// Runs the event loop, idle between checks every 10 ms, until pred() holds
// or the bound passes; with a pred that never holds, it just runs the loop
// for that long.
template<typename Pred> bool spinUntil(Pred pred, int boundMs = 10000)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (pred())
            loop.quit();
    });
    check.start(10);
    QTimer::singleShot(boundMs, &loop, &QEventLoop::quit);
    if (!pred())
        loop.exec();
    return pred();
}

// Runs `step` once `pred` holds (checked every 10 ms), from inside whatever
// modal loop is running then, for as long as `context` lives.
inline void when(QObject* context, std::function<bool()> pred, std::function<void()> step)
{
    QTimer::singleShot(10, context, [context, pred, step] {
        if (pred())
            step();
        else
            when(context, pred, step);
    });
}
