#include "device/DeviceLink.h"
#include "resources/CommandIds.h"
#include "support/FakeLinkTimer.h"
#include "support/Frames.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using testframes::Bytes;

namespace {

struct Update {
    bool good;
    bool changed;
    bool operator==(const Update&) const = default;
};

class DeviceLinkTest : public ::testing::Test {
protected:
    DeviceLinkTest()
    {
        link.SetReaction([this](bool good, bool changed) {
            updates.push_back({ good, changed });
            linkStateSeen.push_back(link.linkState());
        });
    }

    void feed(const Bytes& bytes)
    {
        for (auto b : bytes)
            link.OnByteReceived(b);
    }

    FakeLinkTimer timer;
    DeviceLink link { timer };
    std::vector<Update> updates;
    std::vector<bool> linkStateSeen;
};

} // namespace

TEST_F(DeviceLinkTest, BackToBackFramesReArmTheWatchdogEachTime)
{
    feed(testframes::workedExample());
    feed(testframes::errorExample());
    EXPECT_EQ(updates, (std::vector<Update> { { true, true }, { true, false } }));
    ASSERT_EQ(timer.armed.size(), 2u);
    EXPECT_EQ(timer.armed[0].id, ids::TIMER_LINK_WATCHDOG);
    EXPECT_EQ(timer.armed[0].periodMs, 5000u);
    // The first arming kills nothing; the second kills the first.
    EXPECT_EQ(timer.killed, std::vector<unsigned> { ids::TIMER_LINK_WATCHDOG });
    EXPECT_EQ(link.measurement().serialNumber, 1234);
    // The state is already set when the reaction runs.
    EXPECT_EQ(linkStateSeen, (std::vector<bool> { true, true }));
}

TEST_F(DeviceLinkTest, StrayLeadingByteIsABadFrameThenTheNextFrameRecovers)
{
    feed(testframes::errorExample());
    Bytes stray = testframes::workedExample();
    stray.insert(stray.begin(), 0x55);
    feed(stray);
    EXPECT_FALSE(link.linkState());
    EXPECT_EQ(link.measurement().serialNumber, 1234) << "a bad frame replaced the measurement";
    feed(testframes::workedExample());
    EXPECT_EQ(updates, (std::vector<Update> { { true, true }, { false, true }, { true, true } }));
    EXPECT_EQ(link.measurement().serialNumber, 4660);
    EXPECT_EQ(timer.armed.size(), 2u) << "a bad frame must not re-arm the watchdog";
}

TEST_F(DeviceLinkTest, ThousandthByteWithoutCarriageReturnEmptiesTheBuffer)
{
    for (int i = 0; i < 999; ++i)
        link.OnByteReceived(0x70);
    EXPECT_EQ(link.lineLength(), 999);
    link.OnByteReceived(0x70);
    EXPECT_EQ(link.lineLength(), 0);
    EXPECT_TRUE(updates.empty()) << "an overlong line counts as no frame";
    feed(testframes::workedExample());
    EXPECT_EQ(updates, (std::vector<Update> { { true, true } }));
}

TEST_F(DeviceLinkTest, NineHundredNinetyNineBytesEndingInCarriageReturnAreOneBadFrame)
{
    for (int i = 0; i < 998; ++i)
        link.OnByteReceived(0x70);
    link.OnByteReceived(0x0D);
    EXPECT_EQ(updates, (std::vector<Update> { { false, false } }));
    EXPECT_EQ(link.lineLength(), 0);
}

TEST_F(DeviceLinkTest, WatchdogFollowsThePartsTable)
{
    link.UpdateLinkState(false); // start-up: puts the display into no-link
    link.OnWatchdogExpired(); // down already: unchanged
    feed(testframes::workedExample());
    link.OnWatchdogExpired(); // 5 s of silence
    link.OnWatchdogExpired(); // and again 5 s later
    feed(testframes::workedExample());
    feed(testframes::workedExample());
    Bytes bad = testframes::workedExample();
    bad[3] ^= 1;
    feed(bad);
    feed(bad);
    EXPECT_EQ(updates,
        (std::vector<Update> { { false, false }, { false, false }, { true, true }, { false, true },
            { false, false }, { true, true }, { true, false }, { false, true },
            { false, false } }));
    EXPECT_EQ(link.watchdogTimerId(), ids::TIMER_LINK_WATCHDOG);
}

TEST_F(DeviceLinkTest, WatchdogKeepsFiringEveryFiveSecondsOfSilence)
{
    constexpr auto id = ids::TIMER_LINK_WATCHDOG;
    feed(testframes::workedExample());
    ASSERT_EQ(timer.Period(id), 5000u);
    // Only a running timer expires; each expiry must leave it running.
    for (int silence = 1; silence <= 3; ++silence) {
        ASSERT_EQ(timer.Period(id), 5000u) << "watchdog stopped before expiry " << silence;
        link.OnWatchdogExpired();
    }
    EXPECT_EQ(timer.Period(id), 5000u);
    // Down once, then each later expiry refreshes without a change.
    EXPECT_EQ(updates,
        (std::vector<Update> {
            { true, true }, { false, true }, { false, false }, { false, false } }));
}

TEST(DeviceLinkWithoutReaction, UpdatesOnlyItsMembers)
{
    FakeLinkTimer timer;
    DeviceLink link { timer };
    EXPECT_EQ(link.watchdogTimerId(), 0u);
    for (auto b : testframes::workedExample())
        link.OnByteReceived(b);
    EXPECT_TRUE(link.linkState());
    EXPECT_EQ(link.measurement().serialNumber, 4660);
    link.OnWatchdogExpired();
    EXPECT_FALSE(link.linkState());
}
