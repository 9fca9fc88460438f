// What org.qm482.Readings1 publishes: the meter's serial number, the
// reading of each of the three panels and the active alarms.
#pragma once

#include "common/PanelReading.h"

#include <string>
#include <vector>

class ReadingsSource {
public:
    virtual ~ReadingsSource() = default;
    virtual long serialNumber() const = 0;
    // By topic (TopicTemperature, TopicHumidity, TopicPressure).
    virtual PanelReading reading(int topic) const = 0;
    // The AlarmName of each active alarm, in the order of AlarmKind.
    virtual const std::vector<std::string>& activeAlarms() const = 0;
};
