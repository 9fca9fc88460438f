#include "display/PanelValues.h"

#include <gtest/gtest.h>

TEST(PanelValues, EachPanelBlinksForItsOwnErrorOrCalibrationAndALostLinkShowsNone)
{
    Measurement m;
    m.temperature = 21.5;
    m.humidity = 45.2;
    m.pressure = 1013.2;
    m.pressureError = true;
    PanelValues v = ComputePanelValues(true, m);
    EXPECT_EQ(v.temperature, (PanelValue { 21.5, false }));
    EXPECT_EQ(v.humidity, (PanelValue { 45.2, false }));
    EXPECT_EQ(v.pressure, (PanelValue { 1013.2, true }));

    m.pressureError = false;
    m.humidityError = true;
    v = ComputePanelValues(true, m);
    EXPECT_FALSE(v.temperature.blinking);
    EXPECT_TRUE(v.humidity.blinking);
    EXPECT_FALSE(v.pressure.blinking);

    m.humidityError = false;
    m.calibrationError = true;
    v = ComputePanelValues(true, m);
    for (const PanelValue& p : { v.temperature, v.humidity, v.pressure })
        EXPECT_TRUE(p.blinking && p.value) << "calibration blinks every panel, values kept";

    // The measurement of a link that went down is stale: no value anywhere.
    v = ComputePanelValues(false, m);
    for (const PanelValue& p : { v.temperature, v.humidity, v.pressure })
        EXPECT_EQ(p, (PanelValue { std::nullopt, true }));
}
