#include "platform/WindowTimers.h"
#include "platform/TerminationSignals.h"
#include "support/EventLoop.h"

#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <vector>

TEST(WindowTimers, ExpiriesReachTheHandlerByIdAndReArmingReplaces)
{
    std::vector<unsigned> fired;
    WindowTimers timers([&](unsigned id) { fired.push_back(id); });
    EXPECT_EQ(timers.SetTimer(1035, 10), 1035u);
    EXPECT_EQ(timers.SetTimer(1035, 10), 1035u);
    EXPECT_EQ(timers.count(), 1) << "re-arming must not add a second timer";
    EXPECT_EQ(timers.SetTimer(0, 10), 0u);
    ASSERT_TRUE(spinUntil([&] { return fired.size() >= 2; }));
    for (unsigned id : fired)
        EXPECT_EQ(id, 1035u);
    EXPECT_TRUE(timers.KillTimer(1035));
    EXPECT_FALSE(timers.KillTimer(1035));
    EXPECT_FALSE(timers.isRunning(1035));
    const auto count = fired.size();
    QTimer::singleShot(60, [] {});
    spinUntil([] { return false; }, 80);
    EXPECT_EQ(fired.size(), count) << "a killed timer fired";
}

TEST(WindowTimers, HandlerMayKillItsOwnTimer)
{
    int fired = 0;
    WindowTimers* self = nullptr;
    WindowTimers timers([&](unsigned id) {
        ++fired;
        self->KillTimer(id);
    });
    self = &timers;
    timers.SetTimer(1036, 5);
    ASSERT_TRUE(spinUntil([&] { return fired == 1; }));
    spinUntil([] { return false; }, 50);
    EXPECT_EQ(fired, 1) << "a one-shot timer fired again";
}

TEST(TerminationSignals, SigtermArrivesAsAQtSignal)
{
    TerminationSignals termination;
    ASSERT_TRUE(termination.installed());
    int received = 0;
    QObject::connect(
        &termination, &TerminationSignals::terminationRequested, [&](int sig) { received = sig; });
    ::raise(SIGTERM);
    EXPECT_TRUE(spinUntil([&] { return received != 0; }));
    EXPECT_EQ(received, SIGTERM);
}
