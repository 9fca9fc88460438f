#pragma once

#include "recording/Readings.h"

#include <string>

// The binary measurement file: self-contained records, every byte negated.
namespace qmg {

// The quantity codes of the groups, in the order they are written.
constexpr int kTemperature = 25;
constexpr int kHumidity = 26;
constexpr int kPressure = 27;

// The stored bytes of one record.
std::string Record(const LocalTime& time, const Readings& readings);

} // namespace qmg
