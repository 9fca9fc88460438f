#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <thread>
#include <vector>

class QComboBox;
class QLabel;

// Lets the user pick the meter's COM port from the ports that exist. While
// it is being created a wait dialog lists the ports on a worker thread.
class PortDialog : public QDialog {
    Q_OBJECT
public:
    // Lists the ports: count and the port list text ("COM5:desc\n" lines).
    using Enumerator = std::function<bool(unsigned& count, std::string& text)>;
    // Starts a thread running the job; false when it cannot be started.
    using ThreadStarter = std::function<bool(std::function<void()> job, std::thread& thread)>;

    PortDialog(int portInUse, Enumerator enumerate, QWidget* parent = nullptr);
    ~PortDialog() override;

    // Lists the ports behind the wait dialog, fills the controls, then runs
    // the dialog modally.
    int exec() override;

    // On OK: the chosen port (always > 0).
    int portNumber() const { return portNumber_; }

    // Called by the worker while the wait dialog is open.
    void AddPortLine(const std::string& line) { portLines_.push_back(line); }
    const std::vector<std::string>& portLines() const { return portLines_; }
    const Enumerator& enumerator() const { return enumerate_; }

    // Tests make the worker thread fail to start through this.
    void SetThreadStarter(ThreadStarter starter) { threadStarter_ = std::move(starter); }
    const ThreadStarter& threadStarter() const { return threadStarter_; }

    QComboBox* portList() const { return portList_; }
    QLabel* statusText() const { return status_; }

protected:
    void done(int result) override;

private:
    void OnInitDialog();
    void OnOk();

    int portNumber_;
    Enumerator enumerate_;
    ThreadStarter threadStarter_;
    std::vector<std::string> portLines_;
    QComboBox* portList_ = nullptr;
    QLabel* status_ = nullptr;
    bool endedWhilePreparing_ = false;
};
