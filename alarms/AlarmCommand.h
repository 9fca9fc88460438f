#pragma once

#include "alarms/AlarmLog.h"

#include <QObject>
#include <QString>

#include <map>
#include <string>

class QSocketNotifier;

// The site's COMMAND, run at each alarm's beginning and end: no shell, the
// program's environment with the alarm's on top, never waited for. A command
// that hangs costs nothing, and the program's end does not stop it.
class AlarmCommand : public QObject {
    Q_OBJECT
public:
    // More at once than this is a command that does not end.
    static constexpr int kMaxRunning = 8;

    explicit AlarmCommand(QObject* parent = nullptr);
    ~AlarmCommand() override;
    AlarmCommand(const AlarmCommand&) = delete;
    AlarmCommand& operator=(const AlarmCommand&) = delete;

    // A blank line runs nothing.
    void Start(const std::string& commandLine, const AlarmLogEntry& entry);
    int running() const { return static_cast<int>(running_.size()); }

signals:
    // Could not be started, ended with a code other than 0, or by a signal.
    // Always from the event loop, never from within Start.
    void failed(const QString& message);

private:
    struct Running {
        QSocketNotifier* notifier = nullptr;
        std::string commandLine;
    };
    void OnEnded(int fd);
    void FailLater(const std::string& commandLine, const QString& reason);

    std::map<int, Running> running_; // by the status pipe's descriptor
};
