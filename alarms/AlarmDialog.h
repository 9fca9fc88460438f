#pragma once

#include "alarms/AlarmSettings.h"

#include <QDialog>

#include <array>

class QAbstractButton;
class QLineEdit;

// "Alarmy": edits the limits, the other alarm conditions and what an alarm
// does. Nothing changes until OK finds every value acceptable; the caller
// takes the settings over after OK.
class AlarmDialog : public QDialog {
    Q_OBJECT
public:
    explicit AlarmDialog(const AlarmSettings& settings, QWidget* parent = nullptr);

    // After OK: the confirmed values, configured. Otherwise as given.
    const AlarmSettings& settings() const { return settings_; }

private:
    struct LimitControls {
        QAbstractButton* highOn = nullptr;
        QLineEdit* high = nullptr;
        QAbstractButton* lowOn = nullptr;
        QLineEdit* low = nullptr;
        QLineEdit* hysteresis = nullptr;
    };

    void OnOk();
    void UpdateEnables();
    // Reads every edit into `next`; false, with the box shown, at the first
    // one that is refused.
    bool ReadEdits(AlarmSettings& next);
    bool ReadNumber(QLineEdit* edit, double& value, bool nonNegative);
    bool ReadSeconds(QLineEdit* edit, int& value);
    // Shows the one box and puts the focus on the edit at fault.
    void Refuse(QLineEdit* edit, const char* text);
    QLineEdit* EditAtFault(AlarmSettingsFault fault, const AlarmSettings& next) const;

    AlarmSettings settings_;
    std::array<LimitControls, 3> limits_ {}; // temperature, humidity, pressure
    QAbstractButton* spreadOn_ = nullptr;
    QLineEdit* spread_ = nullptr;
    QLineEdit* delay_ = nullptr;
    QAbstractButton* linkLostOn_ = nullptr;
    QLineEdit* linkLostDelay_ = nullptr;
    QAbstractButton* meterError_ = nullptr;
    QAbstractButton* notify_ = nullptr;
    QAbstractButton* sound_ = nullptr;
    QAbstractButton* showDewPoint_ = nullptr;
    QLineEdit* command_ = nullptr;
    QLineEdit* logFile_ = nullptr;
    bool refusing_ = false; // a box is open: another OK must not open a second
};
