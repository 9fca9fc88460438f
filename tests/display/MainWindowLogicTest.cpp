#include "display/MainLayout.h"
#include "display/StatusLine.h"

#include <gtest/gtest.h>

TEST(MainLayout, BandsOfTheExampleWindow)
{
    const MainLayout l = ComputeMainLayout(500, 400, 20, 3);
    EXPECT_EQ(l.status, (LayoutRect { 3, 3, 494, 20 }));
    EXPECT_EQ(l.temperature, (LayoutRect { 3, 28, 494, 121 }));
    EXPECT_EQ(l.humidity, (LayoutRect { 3, 152, 494, 121 }));
    EXPECT_EQ(l.pressure, (LayoutRect { 3, 276, 494, 121 }));
}

TEST(MainLayout, FrameMetricIsClampedAndPressureEndsAboveTheBottom)
{
    for (int metric : { -5, 0, 1, 2 }) {
        const MainLayout l = ComputeMainLayout(300, 301, 21, metric);
        EXPECT_EQ(l.status.x, 2) << metric;
        EXPECT_EQ(l.pressure.y + l.pressure.height, 301 - 2);
    }
    EXPECT_EQ(ComputeMainLayout(300, 300, 20, 50).status.x, 20);
    // Heights that do not divide by three: each third truncated on its own.
    const MainLayout l = ComputeMainLayout(300, 302, 20, 3); // F = 274
    EXPECT_EQ(l.temperature.height, 274 / 3 - 3);
    EXPECT_EQ(l.humidity.height, (2 * 274) / 3 - 274 / 3 - 3);
    EXPECT_EQ(l.pressure.y + l.pressure.height, 302 - 3);
}

TEST(StatusLine, FragmentsFollowTheLinkAndTheFlagsInOrder)
{
    StatusLineInput in;
    EXPECT_EQ(BuildStatusLine(in), "Brak komunikacji z urządzeniem. ");

    in.linkUp = true;
    in.measurement.serialNumber = 4660;
    EXPECT_EQ(BuildStatusLine(in), "QM-482 nr 4660. Pomiar prawidłowy. ");

    in.measurement.humidityError = true;
    in.measurement.calibrationError = true;
    EXPECT_EQ(BuildStatusLine(in),
        "QM-482 nr 4660. Błąd wartości wilgotności względnej. Błąd kalibracji. ");

    in.measurement = {};
    in.measurement.serialNumber = 7;
    in.measurement.temperatureError = true;
    in.measurement.humidityError = true;
    in.measurement.pressureError = true;
    in.measurement.calibrationError = true;
    EXPECT_EQ(BuildStatusLine(in),
        "QM-482 nr 7. Błąd wartości temperatury. Błąd wartości wilgotności względnej. "
        "Błąd wartości ciśnienia. Błąd kalibracji. ");
}

TEST(StatusLine, RecordingFragmentSplitsTheInterval)
{
    StatusLineInput in;
    in.recording = true;
    in.recordingIntervalSeconds = 3725;
    EXPECT_EQ(
        BuildStatusLine(in), "Brak komunikacji z urządzeniem. Rejestracja do pliku co 01:02:05. ");
    in.recording = false;
    EXPECT_EQ(BuildStatusLine(in), "Brak komunikacji z urządzeniem. ");
}

TEST(StatusLine, TheDewPointFollowsTheMeterAndTheAlarmsComeLast)
{
    StatusLineInput in;
    in.dewPoint = "Punkt rosy 9.3 °C. ";
    in.alarms = "Alarm: brak komunikacji z miernikiem. ";
    in.recording = true;
    in.recordingIntervalSeconds = 60;
    // Without a link there is no dew point to tell.
    EXPECT_EQ(BuildStatusLine(in),
        "Brak komunikacji z urządzeniem. Rejestracja do pliku co 00:01:00. "
        "Alarm: brak komunikacji z miernikiem. ");
    in.linkUp = true;
    in.measurement.serialNumber = 4660;
    EXPECT_EQ(BuildStatusLine(in),
        "QM-482 nr 4660. Pomiar prawidłowy. Punkt rosy 9.3 °C. Rejestracja do pliku co 00:01:00. "
        "Alarm: brak komunikacji z miernikiem. ");
}
