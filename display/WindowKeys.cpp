#include "display/WindowKeys.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

WindowKeys::WindowKeys(QWidget& window)
    : QObject(&window)
    , window_(window)
{
    QCoreApplication::instance()->installEventFilter(this);
}

bool WindowKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    auto* w = qobject_cast<QWidget*>(watched);
    const bool enterOrEscape
        = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
    if (!enterOrEscape || w == nullptr || w->window() != &window_)
        return false;
    window_.setFocus(Qt::OtherFocusReason);
    return true;
}
