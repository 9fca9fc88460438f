#include "dde/DdeStartRule.h"

#include "dde/DdeServer.h"
#include "platform/MessageBox.h"
#include "resources/MainWindowTexts.h"

#include <QTimer>
#include <QWidget>

DdeStartRule::DdeStartRule(DdeServer& server, QWidget* window)
    : server_(server)
    , window_(window)
{
}

void DdeStartRule::OnLinkUpdate(bool good, bool changed, long serialNumber)
{
    if (changed) {
        server_.Stop();
        if (good && serialNumber > 0 && !server_.Start(serialNumber) && !errorShown_) {
            // Once a run: without a bus the box would return with every frame
            // that brings the link back. Later link-ups retry silently.
            errorShown_ = true;
            // Opened after this reaction: a box inside it would hold the byte
            // being handled, and with it the meter's frames, the panels and
            // the recorded rows, until someone answers it.
            QTimer::singleShot(0, window_, [this] {
                ShowMessage(window_, QString::fromUtf8(texts::main::kDdeInitError),
                    MessageBox::Icon::Error);
            });
        }
        tried_.start();
    } else if (good && serialNumber > 0 && !server_.isRunning()
        && (!tried_.isValid() || tried_.hasExpired(kDdeRetryMs))) {
        server_.Start(serialNumber);
        tried_.start();
    }
}
