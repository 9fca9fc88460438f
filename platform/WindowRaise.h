#pragma once

#include <QString>

class QWidget;

// Brings a shown top-level window to the front for a request from outside
// (a second start of the program): restored if minimised, raised, and made
// active. `activationToken` is the launcher's token that came with the
// request: on Wayland the compositor lets a window take the focus only with
// one (xdg-activation); without it, it may only mark the window as wanting
// attention. On X the window manager gets _NET_ACTIVE_WINDOW.
void BringToFront(QWidget& window, const QString& activationToken);

// A token as it may travel in one line: printable ASCII without spaces, at
// most 256 characters; anything else gives an empty token.
QString CleanActivationToken(const QString& token);
