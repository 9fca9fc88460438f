#pragma once

#include <optional>

// The Magnus formula over water with Sonntag's coefficients (17.62,
// 243.12 °C). No value for a humidity outside (0, 100] or a value that is
// not a number.
std::optional<double> DewPoint(double temperatureC, double relativeHumidity);
// Water vapour in the air, in g/m³, from the same saturation pressure.
std::optional<double> AbsoluteHumidity(double temperatureC, double relativeHumidity);
