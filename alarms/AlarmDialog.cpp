#include "alarms/AlarmDialog.h"

#include "platform/DialogBuilder.h"
#include "platform/MessageBox.h"
#include "resources/AlarmDialogTexts.h"
#include "resources/AlarmTexts.h"
#include "resources/DialogTemplates.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPointer>

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

namespace text = texts::alarm_dialog;
namespace box = texts::alarm;

namespace {

// The ids of the template: the groups of limits are 1301.., 1311.., 1321...
constexpr int kFirstLimitBase = 1300;
constexpr int kLimitStride = 10;
constexpr int kHighOn = 1;
constexpr int kHigh = 2;
constexpr int kLowOn = 3;
constexpr int kLow = 4;
constexpr int kHysteresis = 5;
constexpr int kSpreadOn = 1331;
constexpr int kSpread = 1332;
constexpr int kDelay = 1333;
constexpr int kLinkLostOn = 1334;
constexpr int kLinkLostDelay = 1335;
constexpr int kMeterError = 1336;
constexpr int kNotify = 1337;
constexpr int kSound = 1338;
constexpr int kShowDewPoint = 1339;
constexpr int kCommand = 1340;
constexpr int kLogFile = 1341;

template<class T> T* control(const QWidget* dialog, int id)
{
    return qobject_cast<T*>(DialogBuilder::Control(dialog, id));
}

QString number(double value)
{
    return QString::fromStdString(FormatSettingNumber(value));
}

LimitSettings AlarmSettings::*const kLimitFields[]
    = { &AlarmSettings::temperature, &AlarmSettings::humidity, &AlarmSettings::pressure };

} // namespace

AlarmDialog::AlarmDialog(const AlarmSettings& settings, QWidget* parent)
    : QDialog(parent)
    , settings_(settings)
{
    DialogBuilder::Build(this, resources::ids::kAlarmDialog);
    setModal(true);
    for (std::size_t i = 0; i < limits_.size(); ++i) {
        const int base = kFirstLimitBase + kLimitStride * static_cast<int>(i);
        limits_[i] = { control<QAbstractButton>(this, base + kHighOn),
            control<QLineEdit>(this, base + kHigh), control<QAbstractButton>(this, base + kLowOn),
            control<QLineEdit>(this, base + kLow), control<QLineEdit>(this, base + kHysteresis) };
    }
    spreadOn_ = control<QAbstractButton>(this, kSpreadOn);
    spread_ = control<QLineEdit>(this, kSpread);
    delay_ = control<QLineEdit>(this, kDelay);
    linkLostOn_ = control<QAbstractButton>(this, kLinkLostOn);
    linkLostDelay_ = control<QLineEdit>(this, kLinkLostDelay);
    meterError_ = control<QAbstractButton>(this, kMeterError);
    notify_ = control<QAbstractButton>(this, kNotify);
    sound_ = control<QAbstractButton>(this, kSound);
    showDewPoint_ = control<QAbstractButton>(this, kShowDewPoint);
    command_ = control<QLineEdit>(this, kCommand);
    logFile_ = control<QLineEdit>(this, kLogFile);

    // The template's labels ("powyżej", "histereza") repeat in each group:
    // a screen reader hears the quantity too.
    const std::pair<QLineEdit*, const char*> names[] = {
        { limits_[0].high, text::kTemperatureHigh },
        { limits_[0].low, text::kTemperatureLow },
        { limits_[0].hysteresis, text::kTemperatureHysteresis },
        { limits_[1].high, text::kHumidityHigh },
        { limits_[1].low, text::kHumidityLow },
        { limits_[1].hysteresis, text::kHumidityHysteresis },
        { limits_[2].high, text::kPressureHigh },
        { limits_[2].low, text::kPressureLow },
        { limits_[2].hysteresis, text::kPressureHysteresis },
        { spread_, text::kDewPointSpread },
        { delay_, text::kDelay },
        { linkLostDelay_, text::kLinkLostDelay },
        { command_, text::kCommand },
        { logFile_, text::kLogFile },
    };
    for (const auto& [edit, name] : names)
        edit->setAccessibleName(QString::fromUtf8(name));
    command_->setPlaceholderText(QString::fromUtf8(text::kCommandPlaceholder));
    logFile_->setPlaceholderText(QString::fromUtf8(text::kLogFilePlaceholder));

    for (std::size_t i = 0; i < limits_.size(); ++i) {
        const LimitSettings& l = settings_.*kLimitFields[i];
        limits_[i].highOn->setChecked(l.highOn);
        limits_[i].high->setText(number(l.high));
        limits_[i].lowOn->setChecked(l.lowOn);
        limits_[i].low->setText(number(l.low));
        limits_[i].hysteresis->setText(number(l.hysteresis));
    }
    spreadOn_->setChecked(settings_.dewPointSpreadOn);
    spread_->setText(number(settings_.dewPointSpread));
    delay_->setText(QString::number(settings_.delaySeconds));
    linkLostOn_->setChecked(settings_.linkLostOn);
    linkLostDelay_->setText(QString::number(settings_.linkLostDelaySeconds));
    meterError_->setChecked(settings_.meterErrorOn);
    notify_->setChecked(settings_.notify);
    sound_->setChecked(settings_.sound);
    showDewPoint_->setChecked(settings_.showDewPoint);
    command_->setText(QString::fromStdString(settings_.command));
    logFile_->setText(QString::fromStdString(settings_.logFile));
    UpdateEnables();

    for (const LimitControls& l : limits_) {
        connect(l.highOn, &QAbstractButton::toggled, this, &AlarmDialog::UpdateEnables);
        connect(l.lowOn, &QAbstractButton::toggled, this, &AlarmDialog::UpdateEnables);
    }
    connect(spreadOn_, &QAbstractButton::toggled, this, &AlarmDialog::UpdateEnables);
    connect(linkLostOn_, &QAbstractButton::toggled, this, &AlarmDialog::UpdateEnables);
    DialogBuilder::ConnectOkCancel(this, [this] { OnOk(); });
}

void AlarmDialog::UpdateEnables()
{
    for (const LimitControls& l : limits_) {
        l.high->setEnabled(l.highOn->isChecked());
        l.low->setEnabled(l.lowOn->isChecked());
        // The hysteresis only matters to a limit that is on.
        l.hysteresis->setEnabled(l.highOn->isChecked() || l.lowOn->isChecked());
    }
    spread_->setEnabled(spreadOn_->isChecked());
    linkLostDelay_->setEnabled(linkLostOn_->isChecked());
}

// A disabled edit cannot take the focus, so it is never refused: what it
// holds is taken when it could be accepted, otherwise the value it was
// given stays.
bool AlarmDialog::ReadNumber(QLineEdit* edit, double& value, bool nonNegative)
{
    double v = 0;
    const bool read = ParseSettingNumber(edit->text().toStdString(), v);
    if (edit->isEnabled()) {
        if (!read) {
            Refuse(edit, box::kNotANumber);
            return false;
        }
        value = v; // a negative one is ValidateAlarmSettings' to refuse
    } else if (read && (!nonNegative || v >= 0)) {
        value = v;
    } else if (nonNegative) {
        value = std::max(value, 0.0);
    }
    return true;
}

bool AlarmDialog::ReadSeconds(QLineEdit* edit, int& value)
{
    double v = 0;
    const bool read = ParseSettingNumber(edit->text().toStdString(), v);
    const bool whole = read && std::floor(v) == v && v >= INT_MIN && v <= INT_MAX;
    if (edit->isEnabled()) {
        if (!whole) {
            Refuse(edit, read ? text::kNotWholeSeconds : box::kNotANumber);
            return false;
        }
        value = static_cast<int>(v);
    } else {
        value = whole && v >= 0 ? static_cast<int>(v) : std::max(value, 0);
    }
    return true;
}

bool AlarmDialog::ReadEdits(AlarmSettings& next)
{
    // In the order of the layout, so the first refusal is the first edit.
    for (std::size_t i = 0; i < limits_.size(); ++i) {
        LimitSettings& l = next.*kLimitFields[i];
        l.highOn = limits_[i].highOn->isChecked();
        l.lowOn = limits_[i].lowOn->isChecked();
        if (!ReadNumber(limits_[i].high, l.high, false) || !ReadNumber(limits_[i].low, l.low, false)
            || !ReadNumber(limits_[i].hysteresis, l.hysteresis, true))
            return false;
    }
    next.dewPointSpreadOn = spreadOn_->isChecked();
    if (!ReadNumber(spread_, next.dewPointSpread, true) || !ReadSeconds(delay_, next.delaySeconds))
        return false;
    next.linkLostOn = linkLostOn_->isChecked();
    if (!ReadSeconds(linkLostDelay_, next.linkLostDelaySeconds))
        return false;
    next.meterErrorOn = meterError_->isChecked();
    next.notify = notify_->isChecked();
    next.sound = sound_->isChecked();
    next.showDewPoint = showDewPoint_->isChecked();
    next.command = command_->text().trimmed().toStdString();
    next.logFile = logFile_->text().trimmed().toStdString();
    return true;
}

QLineEdit* AlarmDialog::EditAtFault(AlarmSettingsFault fault, const AlarmSettings& next) const
{
    switch (fault) {
    case AlarmSettingsFault::None:
        return nullptr;
    case AlarmSettingsFault::TemperatureLowAboveHigh:
        return limits_[0].low;
    case AlarmSettingsFault::HumidityLowAboveHigh:
        return limits_[1].low;
    case AlarmSettingsFault::PressureLowAboveHigh:
        return limits_[2].low;
    case AlarmSettingsFault::NegativeHysteresis:
        for (std::size_t i = 0; i < limits_.size(); ++i) {
            if ((next.*kLimitFields[i]).hysteresis < 0)
                return limits_[i].hysteresis;
        }
        return limits_[0].hysteresis;
    case AlarmSettingsFault::NegativeDelay:
        return next.delaySeconds < 0 ? delay_ : linkLostDelay_;
    case AlarmSettingsFault::NegativeSpread:
        return spread_;
    }
    return nullptr;
}

void AlarmDialog::Refuse(QLineEdit* edit, const char* message)
{
    refusing_ = true;
    const QPointer<AlarmDialog> alive(this);
    ShowMessage(this, QString::fromUtf8(message), MessageBox::Icon::Information);
    if (alive.isNull())
        return; // closed from outside while the box was open
    refusing_ = false;
    edit->setFocus();
    edit->selectAll();
}

void AlarmDialog::OnOk()
{
    if (refusing_)
        return;
    AlarmSettings next = settings_;
    if (!ReadEdits(next))
        return;
    const AlarmSettingsFault fault = ValidateAlarmSettings(next);
    const char* message = nullptr;
    switch (fault) {
    case AlarmSettingsFault::None:
        break;
    case AlarmSettingsFault::TemperatureLowAboveHigh:
        message = box::kTemperatureLowAboveHigh;
        break;
    case AlarmSettingsFault::HumidityLowAboveHigh:
        message = box::kHumidityLowAboveHigh;
        break;
    case AlarmSettingsFault::PressureLowAboveHigh:
        message = box::kPressureLowAboveHigh;
        break;
    case AlarmSettingsFault::NegativeHysteresis:
        message = box::kNegativeHysteresis;
        break;
    case AlarmSettingsFault::NegativeDelay:
        message = box::kNegativeDelay;
        break;
    case AlarmSettingsFault::NegativeSpread:
        message = box::kNegativeSpread;
        break;
    }
    if (message != nullptr) {
        Refuse(EditAtFault(fault, next), message);
        return;
    }
    next.configured = true;
    settings_ = next;
    accept();
}
