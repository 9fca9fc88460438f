#pragma once

#include "alarms/AlarmSettings.h"
#include "mqtt/MqttMessages.h"
#include "mqtt/MqttSettings.h"

#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class MqttClient;
class MqttDialog;
class QWidget;

// Publishes every frame's readings to a broker, when the user turned that
// on: a retained state message, the availability of the meter (with the
// broker's last will for a program that dies), the active alarms and the
// discovery configs.
// The connection lives on the client's thread; what it reports arrives here
// through the event loop. A broker that is away is only shown in the
// dialog's state line, never in a box.
class MqttPublisher : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<LocalTime()>;

    explicit MqttPublisher(QWidget* window, Clock clock = {});
    ~MqttPublisher() override;
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    MqttSettings settings;

    // Every frame and every change of the link, after the panels show it:
    // temperature, humidity, pressure.
    void OnFrame(bool linkUp, long serialNumber, const std::array<PanelReading, 3>& panels);
    // The alarm settings and the active alarms, whenever either changes:
    // the alarm topic follows a change of the list, the binary_sensor
    // configs a change of which alarms are on. Both go again after each
    // (re)connection.
    void SetAlarms(const AlarmSettings& alarms, const std::vector<ActiveAlarm>& active);
    // The dialog; after OK the new settings take effect at once.
    void RunDialog();
    // Connects anew with `settings` (or disconnects when turned off).
    void Apply();
    // The program ends: "offline", then a clean disconnect, waiting a few
    // seconds at most for a broker (or a name service) that does not answer.
    void Shutdown();

    MqttState state() const { return state_; }
    QString stateText() const;

signals:
    void stateChanged();

private:
    // What the client threads may still reach after this object is gone.
    struct Guard {
        std::mutex mutex;
        std::condition_variable retired;
        MqttPublisher* target = nullptr;
        bool retiring = false;
    };

    void StartClient();
    // Ends the current client on a thread of its own: its goodbye may wait
    // for a broker or a name lookup, the window must not.
    void Retire();
    void OnRetired();
    void OnConnection(unsigned generation, bool connected, MqttFailure why);
    void PublishAvailability();
    void PublishAlarms();
    void SetState(MqttState state, MqttFailure why = MqttFailure::None);
    MqttMessage AvailabilityMessage(bool online) const;

    QWidget* window_;
    Clock clock_;
    std::shared_ptr<Guard> guard_;
    std::unique_ptr<MqttClient> client_;
    std::thread retiring_;
    // A new client waits until the old one has said goodbye, so the broker
    // never sees its "offline" (or its will) after the new "online".
    bool startPending_ = false;
    unsigned generation_ = 0; // of the client whose reports count
    long serial_ = 0;
    long clientSerial_ = 0; // the serial number the client's topics are for
    bool linkUp_ = false;
    std::string prefix_;
    std::string lastState_; // payload of the latest frame
    std::string sentAvailability_;
    AlarmSettings alarms_;
    std::string lastAlarms_ = AlarmPayload({});
    std::string sentAlarms_; // the alarm payload the broker has, as far as we know
    std::vector<MqttMessage> sentAlarmConfigs_; // likewise the binary_sensor configs
    MqttState state_ = MqttState::Off;
    MqttFailure why_ = MqttFailure::None;
    QPointer<MqttDialog> dialog_;
};
