#include "display/PanelValues.h"

PanelValues ComputePanelValues(bool good, const Measurement& m)
{
    if (!good)
        return {};
    return {
        { m.temperature, m.temperatureError || m.calibrationError },
        { m.humidity, m.humidityError || m.calibrationError },
        { m.pressure, m.pressureError || m.calibrationError },
    };
}
