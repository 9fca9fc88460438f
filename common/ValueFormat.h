#pragma once

#include <string>

// The value panel's arithmetic and texts, without a screen.

// Converts between the panel's units; only W/m2 and kLx convert.
double ComputeDisplayValue(double raw, int sourceUnit, int displayUnit);

// printf's "%.<decimals>f", always with a decimal point whatever the
// process locale says.
std::string FormatFixed(double value, int decimals);

struct ValueText {
    bool drawn = false; // unit codes outside 1..8 draw nothing
    std::string text; // what is drawn centred (or left in the W/m2 box)
    bool raisedTwo = false; // the W/m2 layout: a raised "2" follows the text
    std::string measureText; // with raisedTwo: the text measured for the box
};

ValueText FormatPanelValue(double displayed, int displayUnit, bool showUnit, bool twoDecimals);
