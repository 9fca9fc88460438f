#include "display/MainLayout.h"

#include <algorithm>

MainLayout ComputeMainLayout(int cx, int cy, int statusHeight, int frameWidth)
{
    const int d = std::clamp(frameWidth, 2, 20);
    const int h = statusHeight;
    const int w = cx - 2 * d;
    const int top0 = h + d + 2;
    const int f = cy - d - top0;
    const int third = f / 3;
    const int twoThirds = (2 * f) / 3;

    MainLayout l;
    l.status = { d, d, w, h };
    l.temperature = { d, top0 + d, w, third - d };
    l.humidity = { d, top0 + third + d, w, twoThirds - third - d };
    const int pressureY = top0 + twoThirds + d;
    l.pressure = { d, pressureY, w, cy - d - pressureY };
    return l;
}
