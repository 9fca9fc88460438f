#include "alarms/AlarmRules.h"
#include "alarms/DewPoint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// One step of a case: at `s` seconds, temperature (NAN: "???"), link, and
// the events expected after it, as "TEMP_HIGH begin" … joined by ", ".
struct Step {
    double s;
    double temperature;
    bool link = true;
    const char* expect = "";
    bool acknowledge = false;
    bool meterError = false;
};

struct Case {
    const char* name;
    AlarmSettings settings;
    std::vector<Step> steps;
};

AlarmSettings TemperatureHigh(double limit, double hysteresis, int delay)
{
    AlarmSettings s;
    s.temperature.highOn = true;
    s.temperature.high = limit;
    s.temperature.hysteresis = hysteresis;
    s.delaySeconds = delay;
    return s;
}

std::string Events(const std::vector<AlarmEvent>& events)
{
    std::string out;
    for (const AlarmEvent& e : events) {
        if (!out.empty())
            out += ", ";
        out += std::string(AlarmName(e.kind)) + " " + std::string(AlarmEventName(e.type));
    }
    return out;
}

std::vector<Case> Cases()
{
    AlarmSettings low;
    low.temperature.lowOn = true;
    low.temperature.low = 15.0;
    low.temperature.hysteresis = 1.0;
    AlarmSettings link;
    link.linkLostOn = true;
    link.linkLostDelaySeconds = 30;
    AlarmSettings error;
    error.meterErrorOn = true;
    return {
        { "high with hysteresis: wavering inside the band neither ends nor repeats",
            TemperatureHigh(25.0, 0.5, 0),
            { { 0, 24.9 }, { 1, 25.1, true, "TEMP_HIGH begin" }, { 2, 24.8 }, { 3, 25.3 },
                { 4, 24.6 }, { 5, 24.5, true, "TEMP_HIGH end" }, { 6, 24.9 },
                { 7, 25.01, true, "TEMP_HIGH begin" } } },
        { "exactly at the limit is not above it", TemperatureHigh(25.0, 0.0, 0),
            { { 0, 25.0 }, { 1, 25.1, true, "TEMP_HIGH begin" },
                { 2, 25.0, true, "TEMP_HIGH end" } } },
        { "low mirrors high", low,
            { { 0, 15.0 }, { 1, 14.9, true, "TEMP_LOW begin" }, { 2, 15.9 },
                { 3, 16.0, true, "TEMP_LOW end" } } },
        { "the delay needs the condition without a break", TemperatureHigh(25.0, 0.5, 10),
            { { 0, 26 }, { 9, 26 }, { 9.5, 24 }, { 10, 26 }, { 19.9, 26 },
                { 20, 26, true, "TEMP_HIGH begin" } } },
        { "\"???\" holds a running wait and an alarm that is on", TemperatureHigh(25.0, 0.5, 10),
            { { 0, 26 }, { 5, NAN }, { 8, NAN, false }, { 10, 26, true, "TEMP_HIGH begin" },
                { 11, NAN, false }, { 100, NAN }, { 101, 24.0, true, "TEMP_HIGH end" } } },
        { "link lost after its own delay, ends with the first good frame", link,
            { { 0, 21, false }, { 29, NAN, false }, { 30, NAN, false, "LINK_LOST begin" },
                { 31, NAN, false }, { 32, 21, true, "LINK_LOST end" } } },
        { "meter error at once, held while the link is down", error,
            { { 0, 21, true, "METER_ERROR begin", false, true }, { 1, NAN, false },
                { 2, 21, true, "METER_ERROR end" } } },
        { "acknowledged once; a new beginning asks again", TemperatureHigh(25.0, 0.0, 0),
            { { 0, 26, true, "TEMP_HIGH begin" }, { 1, 26, true, "TEMP_HIGH ack", true },
                { 2, 26, true, "", true }, { 3, 24, true, "TEMP_HIGH end" },
                { 4, 26, true, "TEMP_HIGH begin" }, { 5, 26, true, "TEMP_HIGH ack", true } } },
    };
}

TEST(AlarmRules, Cases)
{
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        AlarmRules rules;
        rules.SetSettings(c.settings, 0);
        for (const Step& step : c.steps) {
            SCOPED_TRACE("at " + std::to_string(step.s) + " s");
            const auto ms = static_cast<std::int64_t>(step.s * 1000);
            AlarmInput in;
            in.ms = ms;
            in.linkGood = step.link;
            in.meterError = step.meterError;
            if (step.link && !std::isnan(step.temperature))
                in.temperature = step.temperature;
            std::string got = Events(step.acknowledge ? rules.Acknowledge(ms) : rules.Step(in));
            EXPECT_EQ(got, step.expect);
        }
    }
}

TEST(AlarmRules, ActiveAlarmsCarryValueLimitAndAcknowledgement)
{
    AlarmSettings s = TemperatureHigh(25.0, 0.5, 0);
    s.humidity.lowOn = true;
    s.humidity.low = 30.0;
    AlarmRules rules;
    rules.SetSettings(s, 0);
    Measurement m;
    m.temperature = 26.0;
    m.humidity = 20.0;
    rules.Step(AlarmInputFrom(1000, true, m));
    m.temperature = 27.5;
    rules.Step(AlarmInputFrom(2000, true, m));
    rules.Acknowledge(2500);
    const auto active = rules.active();
    ASSERT_EQ(active.size(), 2u);
    EXPECT_EQ(active[0], (ActiveAlarm { AlarmKind::TemperatureHigh, 27.5, 25.0, true, 1000 }));
    EXPECT_EQ(active[1], (ActiveAlarm { AlarmKind::HumidityLow, 20.0, 30.0, true, 1000 }));
    EXPECT_FALSE(rules.anyUnacknowledged());

    // A quantity in error keeps its alarm; switching an alarm off ends it.
    m.humidityError = true;
    m.humidity = 80.0;
    EXPECT_EQ(Events(rules.Step(AlarmInputFrom(3000, true, m))), "");
    s.humidity.lowOn = false;
    const auto ended = rules.SetSettings(s, 4000);
    EXPECT_EQ(Events(ended), "RH_LOW end");
    EXPECT_TRUE(rules.isActive(AlarmKind::TemperatureHigh));
}

TEST(AlarmRules, CondensationWhileTheSpreadIsSmall)
{
    AlarmSettings s;
    s.dewPointSpreadOn = true;
    s.dewPointSpread = 2.0;
    AlarmRules rules;
    rules.SetSettings(s, 0);
    Measurement m;
    m.temperature = 20.0;
    m.humidity = 80.0; // dew point 16.4 °C: 3.6 °C apart
    EXPECT_EQ(Events(rules.Step(AlarmInputFrom(0, true, m))), "");
    m.humidity = 92.0; // 18.7 °C: 1.3 °C apart
    const auto begun = rules.Step(AlarmInputFrom(1000, true, m));
    ASSERT_EQ(Events(begun), "DEWPOINT_SPREAD begin");
    EXPECT_NEAR(*begun[0].value, 20.0 - *DewPoint(20.0, 92.0), 1e-9);
    EXPECT_EQ(*begun[0].limit, 2.0);
    m.humidity = 80.0;
    EXPECT_EQ(Events(rules.Step(AlarmInputFrom(2000, true, m))), "DEWPOINT_SPREAD end");
}

TEST(DewPoint, PublishedValues)
{
    // Dew points and vapour densities of the usual hygrometry tables
    // (Magnus with Sonntag's coefficients agrees with them to 0.1 °C).
    struct Row {
        double t, rh, dewPoint, gramsPerCubicMetre;
    };
    for (const Row& r : { Row { 20.0, 50.0, 9.3, 8.6 }, Row { 25.0, 60.0, 16.7, 13.8 },
             Row { 30.0, 80.0, 26.2, 24.3 }, Row { 0.0, 100.0, 0.0, 4.8 },
             Row { -10.0, 70.0, -14.4, 1.65 }, Row { 35.0, 20.0, 8.7, 7.9 } }) {
        SCOPED_TRACE(std::to_string(r.t) + " °C " + std::to_string(r.rh) + " %");
        EXPECT_NEAR(*DewPoint(r.t, r.rh), r.dewPoint, 0.15);
        EXPECT_NEAR(*AbsoluteHumidity(r.t, r.rh), r.gramsPerCubicMetre, 0.1);
    }
    for (const double rh : { 0.0, -5.0, 100.5, double(NAN) }) {
        EXPECT_FALSE(DewPoint(20.0, rh));
        EXPECT_FALSE(AbsoluteHumidity(20.0, rh));
    }
    EXPECT_FALSE(DewPoint(INFINITY, 50.0));
}

} // namespace
