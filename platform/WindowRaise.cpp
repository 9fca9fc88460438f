#include "platform/WindowRaise.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>

namespace {

constexpr qsizetype kLongestToken = 256;

void Activate(QWidget& window)
{
    window.raise();
    window.activateWindow();
}

} // namespace

void BringToFront(QWidget& window, const QString& activationToken)
{
    if (!window.isVisible())
        return; // it comes up in front when it is first shown
    if (window.isMinimized())
        window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    // Qt's Wayland window spends the token it finds in the environment at
    // its next activation, and removes it.
    if (!activationToken.isEmpty()
        && QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toLatin1());
    Activate(window);
    // An open modal box stays the one to answer, in front of its window.
    if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != &window)
        Activate(*modal);
}

QString CleanActivationToken(const QString& token)
{
    if (token.size() > kLongestToken)
        return {};
    for (QChar c : token) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7f)
            return {};
    }
    return token;
}
