#pragma once

#include "device/Measurement.h"

#include <optional>

// What one value panel shows: a value, or "???" without one, and whether
// it blinks.
struct PanelValue {
    std::optional<double> value;
    bool blinking = true;
    bool operator==(const PanelValue&) const = default;
};

struct PanelValues {
    PanelValue temperature;
    PanelValue humidity;
    PanelValue pressure;
};

// The three panels after a link update: the measurement's values, each
// blinking while its quantity (or the calibration) is in error; without a
// good link no values, all blinking.
PanelValues ComputePanelValues(bool good, const Measurement& m);
