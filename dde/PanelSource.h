// What the data server reads from one value panel. The panel itself is a
// widget; the server only needs its reading, so it can be tested without one.
#pragma once

#include "common/PanelReading.h"

class PanelSource {
public:
    virtual ~PanelSource() = default;
    virtual PanelReading reading() const = 0;
};
