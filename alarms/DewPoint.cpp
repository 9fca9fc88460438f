#include "alarms/DewPoint.h"

#include <cmath>

namespace {

constexpr double kA = 17.62;
constexpr double kB = 243.12; // °C
constexpr double kSaturationAtZero = 6.112; // hPa
constexpr double kWaterGasConstant = 461.5; // J/(kg K)

bool Usable(double t, double rh)
{
    return std::isfinite(t) && std::isfinite(rh) && rh > 0.0 && rh <= 100.0 && t > -kB;
}

} // namespace

std::optional<double> DewPoint(double t, double rh)
{
    if (!Usable(t, rh))
        return std::nullopt;
    const double gamma = std::log(rh / 100.0) + kA * t / (kB + t);
    return kB * gamma / (kA - gamma);
}

std::optional<double> AbsoluteHumidity(double t, double rh)
{
    if (!Usable(t, rh))
        return std::nullopt;
    const double saturationHpa = kSaturationAtZero * std::exp(kA * t / (kB + t));
    const double vapourPa = saturationHpa * 100.0 * rh / 100.0;
    return vapourPa / (kWaterGasConstant * (t + 273.15)) * 1000.0;
}

std::optional<double> DewPoint(const PanelReading& temperature, const PanelReading& humidity)
{
    if (!temperature.valid() || !humidity.valid())
        return std::nullopt;
    return DewPoint(temperature.rawValue, humidity.rawValue);
}

std::optional<double> AbsoluteHumidity(
    const PanelReading& temperature, const PanelReading& humidity)
{
    if (!temperature.valid() || !humidity.valid())
        return std::nullopt;
    return AbsoluteHumidity(temperature.rawValue, humidity.rawValue);
}
