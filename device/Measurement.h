#pragma once

#include <cstdint>

// One decoded frame of the meter; a plain value copied around freely.
struct Measurement {
    std::int32_t serialNumber = 0;
    bool humidityError = false;
    bool temperatureError = false;
    bool calibrationError = false;
    bool pressureError = false;
    double temperature = 0.0; // degrees Celsius
    double humidity = 0.0; // percent
    double pressure = 0.0; // hectopascal

    bool anyError() const
    {
        return humidityError || temperatureError || calibrationError || pressureError;
    }
    bool operator==(const Measurement&) const = default;
};
