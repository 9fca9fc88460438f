#pragma once

// What one recording tick writes: the local time of the tick and the three
// readings as the panels hold them.
struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

struct RecordedQuantity {
    double value = 0; // raw value, in the meter's unit
    bool valid = false; // shown and not blinking
};

struct Readings {
    int serialNumber = 0;
    RecordedQuantity temperature;
    RecordedQuantity humidity;
    RecordedQuantity pressure;
};
