#pragma once

// Where the status line and the three panels go for a client size. All
// divisions truncate toward zero, each on its own, so the bands match the
// window's historic pixel positions exactly.
struct LayoutRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const LayoutRect&) const = default;
};

struct MainLayout {
    LayoutRect status;
    LayoutRect temperature;
    LayoutRect humidity;
    LayoutRect pressure;
};

// frameWidth is the platform's dialog frame metric; it is clamped to 2..20.
MainLayout ComputeMainLayout(int clientWidth, int clientHeight, int statusHeight, int frameWidth);
