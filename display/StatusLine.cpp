#include "display/StatusLine.h"

#include "resources/MainWindowTexts.h"

#include <algorithm>
#include <cstdio>

namespace {

template<typename... Args> std::string format(const char* fmt, Args... args)
{
    char buf[128];
    const int n = std::snprintf(buf, sizeof buf, fmt, args...);
    return n < 0 ? std::string() : std::string(buf, std::min<std::size_t>(n, sizeof buf - 1));
}

} // namespace

std::string BuildStatusLine(const StatusLineInput& in)
{
    using namespace texts::main;
    std::string text;
    if (!in.linkUp) {
        text = kNoLink;
    } else {
        const Measurement& m = in.measurement;
        text = format(kMeterNumber, m.serialNumber);
        if (!m.anyError())
            text += kMeasurementOk;
        if (m.temperatureError)
            text += kTemperatureError;
        if (m.humidityError)
            text += kHumidityError;
        if (m.pressureError)
            text += kPressureError;
        if (m.calibrationError)
            text += kCalibrationError;
        text += in.dewPoint;
    }
    if (in.recording) {
        const int s = in.recordingIntervalSeconds;
        text += format(kRecordingEvery, s / 3600, (s % 3600) / 60, s % 60);
    }
    return text + in.alarms;
}
