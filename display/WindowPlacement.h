#pragma once

#include "common/WindowRect.h"
#include "display/PlacementRules.h"

class QAction;
class QMenuBar;
class QWidget;

// Where the main window stands and whether it stays on top: the saved
// rectangle applied at start and kept up to date, and "Zawsze na wierzchu",
// as far as the windowing system allows either.
class WindowPlacement {
public:
    // `savedRect` and `topmost` are the window's persistent settings;
    // `topmostItem` carries the check mark.
    WindowPlacement(QWidget& window, const QMenuBar& menuBar, QAction* topmostItem,
        WindowRect& savedRect, bool& topmost);

    // The running platform's abilities; tests put another desktop's.
    void SetAbilities(const WindowAbilities& can) { can_ = can; }
    const WindowAbilities& abilities() const { return can_; }

    // Start-up: the window at the saved rectangle, then the saved band.
    void ShowAtSaved();
    void ApplySavedTopmost();
    // The window's present rectangle into the saved one.
    void Remember();
    // The menu command.
    void ToggleTopmost();

private:
    WindowRect currentRect() const;
    void SetBand(bool onTop);
    void ShowChecked(bool onTop);

    QWidget& window_;
    const QMenuBar& menuBar_;
    QAction* topmostItem_;
    WindowRect& savedRect_;
    bool& topmost_;
    WindowAbilities can_;
    bool toldNoTopmost_ = false;
};
