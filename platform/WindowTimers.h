#pragma once

#include <QObject>

#include <functional>
#include <map>

// Timers by numeric id for one window: SetTimer re-arms an id (replacing
// its earlier period), KillTimer stops it, and every expiry is handed to
// the window's OnTimer(id).
class WindowTimers : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(unsigned id)>;

    explicit WindowTimers(Handler onTimer, QObject* parent = nullptr);
    ~WindowTimers() override;

    // Returns the id the timer runs under, 0 if it could not be started.
    unsigned SetTimer(unsigned id, unsigned periodMs);
    bool KillTimer(unsigned id);
    bool isRunning(unsigned id) const { return running_.count(id) != 0; }
    // The period the timer runs at, 0 when it does not run.
    unsigned PeriodMs(unsigned id) const
    {
        const auto it = periods_.find(id);
        return it != periods_.end() ? it->second : 0;
    }
    int count() const { return static_cast<int>(running_.size()); }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    Handler onTimer_;
    std::map<unsigned, int> running_; // window timer id -> Qt timer id
    std::map<unsigned, unsigned> periods_;
};
