// What a value panel shows, as the parts that pass it on (the bus service,
// the recording, the broker) read it: plain data, so they can be tested
// without a panel.
#pragma once

struct PanelReading {
    double rawValue = 0.0; // the last value given to the panel
    bool noValue = true; // the panel shows "???"
    bool blinking = false; // the panel's error indication is on
    int displayUnit = 0; // unit code the panel shows its value in

    // A reading counts only while its value is shown and not blinking.
    bool valid() const { return !noValue && !blinking; }
};
