#include "device/WaitDialog.h"

#include "device/PortChoice.h"
#include "device/PortDialog.h"
#include "platform/DialogBuilder.h"
#include "resources/DialogTemplates.h"

#include <QPushButton>

WaitDialog::WaitDialog(PortDialog* target, QWidget* parent)
    : QDialog(parent)
    , target_(target)
{
    DialogBuilder::Build(this, resources::ids::kWaitDialog);
    setModal(true);
    if (auto* cancel = qobject_cast<QPushButton*>(DialogBuilder::Control(this, 1028))) {
        // Recorded only: the listing is short and finishes on its own.
        connect(cancel, &QPushButton::clicked, this, [this] { cancelRequested_ = true; });
    }
}

WaitDialog::~WaitDialog()
{
    JoinWorker();
}

int WaitDialog::exec()
{
    cancelRequested_ = false;
    const PortDialog::ThreadStarter& starter = target_->threadStarter();
    auto job = [this] { PortListWorker(this); };
    bool started = false;
    if (starter) {
        started = starter(job, worker_);
    } else {
        try {
            worker_ = std::thread(job);
            started = true;
        } catch (const std::system_error&) {
            started = false;
        }
    }
    if (!started)
        return QDialog::Rejected; // nothing would ever close it: go on with an empty list
    const int result = QDialog::exec();
    JoinWorker();
    return result;
}

void WaitDialog::JoinWorker()
{
    cancelRequested_ = true;
    // The worker only posts to this dialog, it never waits on it, so a
    // plain join cannot deadlock.
    if (worker_.joinable())
        worker_.join();
}

void PortListWorker(WaitDialog* wait)
{
    PortDialog* target = wait->target();
    unsigned count = 0;
    std::string text;
    // Nothing may escape a thread: an error while listing gives an empty list.
    try {
        if (target->enumerator() && target->enumerator()(count, text)) {
            for (const std::string& line : port_choice::DisplayLines(text))
                target->AddPortLine(line);
        }
    } catch (...) {
    }
    QMetaObject::invokeMethod(wait, &QDialog::reject, Qt::QueuedConnection);
}
