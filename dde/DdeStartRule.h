#pragma once

#include <QElapsedTimer>

class DdeServer;
class QWidget;

// When the bus service runs: from a link that comes up with a serial number
// until the link goes down. A start that fails tells the user once a run;
// while the link stays up it is tried again quietly every kDdeRetryMs, so a
// bus that was missing (or a name another program held) does not keep the
// service away from a meter that never pauses.
class DdeStartRule {
public:
    static constexpr qint64 kDdeRetryMs = 2000;

    // The box opens over `window`.
    DdeStartRule(DdeServer& server, QWidget* window);

    // The link reaction, with the serial number of the current measurement.
    void OnLinkUpdate(bool good, bool changed, long serialNumber);

private:
    DdeServer& server_;
    QWidget* window_;
    bool errorShown_ = false;
    // Since the last start was tried.
    QElapsedTimer tried_;
};
