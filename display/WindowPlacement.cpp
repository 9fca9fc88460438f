#include "display/WindowPlacement.h"

#include "platform/MessageBox.h"
#include "resources/MainWindowTexts.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenuBar>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

WindowPlacement::WindowPlacement(QWidget& window, const QMenuBar& menuBar, QAction* topmostItem,
    WindowRect& savedRect, bool& topmost)
    : window_(window)
    , menuBar_(menuBar)
    , topmostItem_(topmostItem)
    , savedRect_(savedRect)
    , topmost_(topmost)
    , can_(AbilitiesOfPlatform(QGuiApplication::platformName().toStdString()))
{
}

// The saved rectangle is the window's restored geometry without the frame
// the window manager adds: what is restored is exactly what was saved, so the
// window does not creep by the frame's width at every start.
void WindowPlacement::ShowAtSaved()
{
    const WindowRect& r = savedRect_;
    const int menuHeight = menuBar_.sizeHint().height();
    const int w = std::max(r.right - r.left, 1);
    const int h = std::max(r.bottom - r.top, menuHeight + 1);
    window_.setGeometry(r.left, r.top, w, h);
}

WindowRect WindowPlacement::currentRect() const
{
    const QRect g = window_.normalGeometry();
    return { g.left(), g.top(), g.left() + g.width(), g.top() + g.height() };
}

void WindowPlacement::Remember()
{
    // Where the position cannot be known (Wayland reports 0, 0), the one read
    // at start is kept rather than overwritten with a guess.
    savedRect_ = RectToSave(savedRect_, currentRect(), can_);
}

void WindowPlacement::ApplySavedTopmost()
{
    if (!can_.keepsOnTop) {
        // The choice stays saved for a desktop that honours it; the check
        // mark tells how the window is here.
        ShowChecked(false);
        return;
    }
    SetBand(topmost_);
    ShowChecked(topmost_);
}

void WindowPlacement::ToggleTopmost()
{
    if (can_.keepsOnTop) {
        topmost_ = !topmost_;
        SetBand(topmost_);
        ShowChecked(topmost_);
        return;
    }
    // Triggering the item ticked it: it goes back, as the window is not on top.
    ShowChecked(false);
    if (toldNoTopmost_)
        return;
    toldNoTopmost_ = true;
    // After the command has returned: the menu (or whoever chose the item)
    // is not held while the box waits for an answer.
    QTimer::singleShot(0, &window_, [this] {
        ShowMessage(
            &window_, QString::fromUtf8(texts::main::kNoTopmost), MessageBox::Icon::Information);
    });
}

void WindowPlacement::SetBand(bool onTop)
{
    Qt::WindowFlags flags = window_.windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
    if (QWindow* native = window_.windowHandle()) {
        // QWidget::setWindowFlags would hide the window, and hiding a dialog
        // ends its modal run: the native window changes band in place.
        window_.overrideWindowFlags(flags);
        native->setFlags(flags);
    } else {
        // Not shown yet: new flags make a new window, which would take the
        // client position set before as its frame's and open lower by the
        // title bar at every start. The geometry is set again after them.
        const QRect placed = window_.geometry();
        window_.setWindowFlags(flags);
        window_.setGeometry(placed);
    }
}

void WindowPlacement::ShowChecked(bool onTop)
{
    if (topmostItem_ != nullptr)
        topmostItem_->setChecked(onTop);
}
