#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// The alarm's sound: the sound theme's "alarm-clock-elapsed" through a
// player started without a shell and never waited for, or the bell when no
// sound server listens or the player could not play. One player at a time:
// a Play while one plays is that sound.
class AlarmSound : public QObject {
    Q_OBJECT
public:
    using Bell = std::function<void()>;

    explicit AlarmSound(QObject* parent = nullptr); // the bell: QApplication::beep
    explicit AlarmSound(Bell bell, QObject* parent = nullptr);
    ~AlarmSound() override;
    AlarmSound(const AlarmSound&) = delete;
    AlarmSound& operator=(const AlarmSound&) = delete;

    void Play();
    bool isPlaying() const { return statusFd_ >= 0; }

private:
    void OnPlayerEnded();
    void Stop();

    Bell bell_;
    int statusFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};
