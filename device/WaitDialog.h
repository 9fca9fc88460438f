#pragma once

#include <QDialog>

#include <atomic>
#include <thread>

class PortDialog;

// "Proszę czekać" while the port list is made. The worker closes it; the
// dialog's end waits for the worker, so the port dialog never opens before
// the listing has finished.
class WaitDialog : public QDialog {
    Q_OBJECT
public:
    explicit WaitDialog(PortDialog* target, QWidget* parent = nullptr);
    ~WaitDialog() override;

    int exec() override;

    PortDialog* target() const { return target_; }
    bool cancelRequested() const { return cancelRequested_; }

private:
    void JoinWorker();

    PortDialog* target_;
    std::atomic<bool> cancelRequested_ { false };
    std::thread worker_;
};

// The worker's job: lists the ports into the target dialog, then closes
// the wait dialog.
void PortListWorker(WaitDialog* wait);
