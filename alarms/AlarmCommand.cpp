#include "alarms/AlarmCommand.h"

#include "alarms/DetachedCommand.h"
#include "extras/DetachedProcess.h"
#include "extras/LinkRules.h"
#include "resources/AlarmTexts.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

// The texts' %s take UTF-8, whatever the locale.
QByteArray utf8(const QString& s)
{
    return s.toUtf8();
}

QByteArray describeError(int error)
{
    return utf8(QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

AlarmCommand::AlarmCommand(QObject* parent)
    : QObject(parent)
{
}

AlarmCommand::~AlarmCommand()
{
    // The commands run on; their watchers find nobody reading and end.
    for (auto& [fd, r] : running_) {
        delete r.notifier;
        ::close(fd);
    }
}

void AlarmCommand::Start(const std::string& commandLine, const AlarmLogEntry& entry)
{
    if (commandLine.find_first_not_of(" \t") == std::string::npos)
        return;
    std::vector<std::string> argv = SplitCommandLine(commandLine);
    if (argv.empty()) {
        FailLater(commandLine, QString::fromUtf8(texts::alarm::kCommandUnsplittable));
        return;
    }
    if (running() >= kMaxRunning) {
        FailLater(commandLine, QString::asprintf(texts::alarm::kCommandTooMany, kMaxRunning));
        return;
    }
    const char* pathVariable = std::getenv("PATH");
    const std::string program = link_rules::FindProgram(argv.front(),
        link_rules::PathDirectories(pathVariable != nullptr ? pathVariable : "/usr/bin:/bin"),
        detached_process::IsExecutableFile);
    if (program.empty()) {
        FailLater(
            commandLine, QString::asprintf(texts::alarm::kCommandNotFound, argv.front().c_str()));
        return;
    }
    const detached_command::Started started
        = detached_command::Start(program, argv, AlarmCommandEnvironment(entry));
    if (started.error != 0) {
        FailLater(commandLine,
            QString::asprintf(
                texts::alarm::kCommandNotStarted, describeError(started.error).constData()));
        return;
    }
    const int fd = started.statusFd;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, fd] { OnEnded(fd); });
    running_[fd] = Running { notifier, commandLine };
}

void AlarmCommand::OnEnded(int fd)
{
    const auto it = running_.find(fd);
    if (it == running_.end())
        return;
    const std::optional<detached_command::End> end = detached_command::ReadEnd(fd);
    if (!end)
        return;
    const std::string commandLine = it->second.commandLine;
    it->second.notifier->setEnabled(false);
    it->second.notifier->deleteLater();
    running_.erase(it);
    ::close(fd);

    using detached_command::EndKind;
    QString reason;
    switch (end->kind) {
    case EndKind::Exited:
        if (end->value == 0)
            return;
        reason = QString::asprintf(texts::alarm::kCommandExitCode, end->value);
        break;
    case EndKind::Signalled:
        reason = QString::asprintf(texts::alarm::kCommandSignal, end->value,
            utf8(QString::fromLocal8Bit(::strsignal(end->value))).constData());
        break;
    case EndKind::NotStarted:
        reason = QString::asprintf(
            texts::alarm::kCommandNotStarted, describeError(end->value).constData());
        break;
    case EndKind::Lost:
        reason = QString::fromUtf8(texts::alarm::kCommandLost);
        break;
    }
    emit failed(QString::asprintf(
        texts::alarm::kCommandFailed, commandLine.c_str(), utf8(reason).constData()));
}

void AlarmCommand::FailLater(const std::string& commandLine, const QString& reason)
{
    const QString message = QString::asprintf(
        texts::alarm::kCommandFailed, commandLine.c_str(), utf8(reason).constData());
    QTimer::singleShot(0, this, [this, message] { emit failed(message); });
}
