// What org.qm482.Readings1 publishes: the meter's serial number and the
// reading of each of the three panels.
#pragma once

#include "common/PanelReading.h"

class ReadingsSource {
public:
    virtual ~ReadingsSource() = default;
    virtual long serialNumber() const = 0;
    // By topic (TopicTemperature, TopicHumidity, TopicPressure).
    virtual PanelReading reading(int topic) const = 0;
};
