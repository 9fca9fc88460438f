#pragma once

#include "common/PanelReading.h"

#include <optional>

// The Magnus formula over water with Sonntag's coefficients (17.62,
// 243.12 °C). No value for a humidity outside (0, 100] or a value that is
// not a number.
std::optional<double> DewPoint(double temperatureC, double relativeHumidity);
// Water vapour in the air, in g/m³, from the same saturation pressure.
std::optional<double> AbsoluteHumidity(double temperatureC, double relativeHumidity);

// The same from the panels (°C and %), only while both readings are valid.
std::optional<double> DewPoint(const PanelReading& temperature, const PanelReading& humidity);
std::optional<double> AbsoluteHumidity(
    const PanelReading& temperature, const PanelReading& humidity);
