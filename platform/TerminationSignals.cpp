#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = { -1, -1 };

extern "C" void onTerminationSignal(int sig)
{
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(sig);
    // Nothing else is safe here; a full pipe already holds a request.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &b, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);

    struct sigaction sa = {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    if (notifier_ == nullptr)
        return;
    struct sigaction sa = {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

void TerminationSignals::readPipe()
{
    unsigned char b = 0;
    int last = 0;
    while (::read(g_pipe[0], &b, 1) == 1)
        last = b;
    if (last != 0)
        emit terminationRequested(last);
}

void TerminationSignals::EndAsIfClosed(QDialog& window)
{
    // A dialog still being prepared (modal but not shown yet) is cancelled
    // too; its owner must not open it afterwards.
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget* w : widgets) {
        auto* d = qobject_cast<QDialog*>(w);
        if (d != nullptr && d != &window && (d->isVisible() || d->isModal()))
            d->reject();
    }
    QTimer::singleShot(10, &window, [&window] {
        if (QWidget* modal = QApplication::activeModalWidget();
            modal != nullptr && modal != &window) {
            EndAsIfClosed(window);
            return;
        }
        window.reject();
    });
}
