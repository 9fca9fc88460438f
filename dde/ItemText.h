// The texts the data server publishes, independent of the transport.
#pragma once

#include "common/PanelReading.h"

#include <string>

enum DdeTopic { TopicTemperature = 0, TopicHumidity = 1, TopicPressure = 2 };
enum DdeItem { ItemResult = 0, ItemMeasurement = 1, ItemStatus = 2 };

// The panel's raw value moved 0.05 toward zero and written with one decimal,
// an exact half going away from zero; independent of the process locale.
std::string NumberText(double value);

// "Temperatura#4660" and the like ("%s#%li").
std::string TopicName(int topic, long serialNumber);

// The text of an item of a topic; an unknown topic or item gives "".
std::string ItemText(int topic, int item, const PanelReading& panel);
