#pragma once

#include "recording/Readings.h"

#include <string>

// The binary measurement file: self-contained records, every byte negated.
namespace qmg {

// The stored bytes of one record.
std::string Record(const LocalTime& time, const Readings& readings);

} // namespace qmg
