// What the data server reads from one value panel. The panel itself is a
// widget; the server only needs these four facts, so it can be tested
// without one.
#pragma once

struct PanelReading {
    double rawValue = 0.0; // the last value given to the panel
    bool noValue = true; // the panel shows "???"
    bool blinking = false; // the panel's error indication is on
    int displayUnit = 0; // unit code the panel shows its value in
};

class PanelSource {
public:
    virtual ~PanelSource() = default;
    virtual PanelReading Reading() const = 0;
};
