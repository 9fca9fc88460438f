#include "common/ValueFormat.h"

#include <charconv>
#include <cmath>

double ComputeDisplayValue(double raw, int sourceUnit, int displayUnit)
{
    if (sourceUnit == displayUnit)
        return raw;
    if (sourceUnit == 1 && displayUnit == 2)
        return raw * 0.6802721088435374;
    if (sourceUnit == 2 && displayUnit == 1)
        return raw * 1.47;
    return raw;
}

std::string FormatFixed(double value, int decimals)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
    char buf[400];
    // to_chars rounds like printf in the C locale and never uses a comma.
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string();
}

namespace {

// One decimal, the value first cut toward zero by 0.05: the plain number
// of a panel without its unit.
std::string plainNumber(double v, bool twoDecimals)
{
    if (twoDecimals)
        return FormatFixed(v, 2);
    return FormatFixed(v >= 0 ? v - 0.05 : v + 0.05, 1);
}

} // namespace

ValueText FormatPanelValue(double v, int unit, bool showUnit, bool twoDecimals)
{
    ValueText out;
    out.drawn = unit >= 1 && unit <= 8;
    if (!out.drawn)
        return out;
    if (!showUnit) {
        switch (unit) {
        case 2:
            out.text = FormatFixed(v, 2);
            break;
        case 4:
        case 8:
            out.text = FormatFixed(v, 0);
            break;
        default:
            out.text = plainNumber(v, twoDecimals);
            break;
        }
        return out;
    }
    switch (unit) {
    case 1:
        out.text = FormatFixed(v, 1) + " W/m";
        out.measureText = out.text + "2";
        out.raisedTwo = true;
        break;
    case 2:
        out.text = FormatFixed(v, 2) + " kLx";
        break;
    case 3:
        // With its unit a temperature shows 0.01 nearer to zero.
        out.text
            = (twoDecimals ? FormatFixed(v, 2) : FormatFixed(v >= 0.01 ? v - 0.01 : v + 0.01, 1))
            + " °C";
        break;
    case 4:
        out.text = FormatFixed(v, 0) + " °";
        break;
    case 5:
        out.text = FormatFixed(v, 1) + " hPa";
        break;
    case 6:
        out.text = FormatFixed(v, 1) + " m/s";
        break;
    case 7:
        out.text = FormatFixed(v, 1) + " %";
        break;
    case 8:
        out.text = FormatFixed(v, 0) + " ppm";
        break;
    default:
        break;
    }
    return out;
}
