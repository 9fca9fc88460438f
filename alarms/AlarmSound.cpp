#include "alarms/AlarmSound.h"

#include "alarms/DetachedCommand.h"
#include "alarms/SoundPlayer.h"

#include <QApplication>
#include <QSocketNotifier>

#include <unistd.h>
#include <utility>

AlarmSound::AlarmSound(QObject* parent)
    : AlarmSound([] { QApplication::beep(); }, parent)
{
}

AlarmSound::AlarmSound(Bell bell, QObject* parent)
    : QObject(parent)
    , bell_(std::move(bell))
{
}

AlarmSound::~AlarmSound()
{
    // A sound that plays is left to end by itself.
    Stop();
}

void AlarmSound::Play()
{
    if (isPlaying())
        return;
    const std::vector<std::string> player = sound_player::PlayerCommand();
    if (player.empty()) {
        bell_();
        return;
    }
    const detached_command::Started started = detached_command::Start(player.front(), player);
    if (started.error != 0) {
        bell_();
        return;
    }
    statusFd_ = started.statusFd;
    notifier_ = new QSocketNotifier(statusFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &AlarmSound::OnPlayerEnded);
}

void AlarmSound::OnPlayerEnded()
{
    const std::optional<detached_command::End> end = detached_command::ReadEnd(statusFd_);
    if (!end)
        return;
    Stop();
    // A player that could not play (no such sound, the server refused) must
    // not leave the alarm silent.
    using detached_command::EndKind;
    if (end->kind == EndKind::NotStarted || (end->kind == EndKind::Exited && end->value != 0))
        bell_();
}

void AlarmSound::Stop()
{
    if (notifier_ != nullptr) {
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
    if (statusFd_ >= 0)
        ::close(statusFd_);
    statusFd_ = -1;
}
