#include "mqtt/MqttPublisher.h"

#include "mqtt/MqttClient.h"
#include "mqtt/MqttDialog.h"

#include <QMetaObject>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

// Longer than the client's own bound for a clean goodbye; what is left then
// is a name lookup that hangs, and the broker sends our will instead.
constexpr auto kExitWait = std::chrono::seconds(4);

LocalTime LocalNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm t {};
    ::localtime_r(&now, &t);
    return { t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec };
}

} // namespace

MqttPublisher::MqttPublisher(QWidget* window, Clock clock)
    : window_(window)
    , clock_(clock ? std::move(clock) : Clock(LocalNow))
    , guard_(std::make_shared<Guard>())
{
    guard_->target = this;
}

MqttPublisher::~MqttPublisher()
{
    Shutdown();
    std::lock_guard lock(guard_->mutex);
    guard_->target = nullptr;
}

MqttMessage MqttPublisher::AvailabilityMessage(bool online) const
{
    return { AvailabilityTopic(prefix_), online ? "online" : "offline" };
}

void MqttPublisher::OnFrame(
    bool linkUp, long serialNumber, const std::array<PanelReading, 3>& panels)
{
    linkUp_ = linkUp;
    if (linkUp && serialNumber > 0)
        serial_ = serialNumber;
    if (serial_ <= 0)
        return;
    lastState_ = StatePayload(serial_, clock_(), panels);
    if (!settings.enabled)
        return;
    if (!client_ || clientSerial_ != serial_) {
        Apply(); // first frame of this meter: its topics are known now
        return;
    }
    if (state_ != MqttState::Connected)
        return; // nothing piles up while the broker is away; the next connection sends the latest
    client_->Publish({ StateTopic(prefix_), lastState_ });
    PublishAvailability();
}

void MqttPublisher::SetAlarms(const AlarmSettings& alarms, const std::vector<ActiveAlarm>& active)
{
    alarms_ = alarms;
    lastAlarms_ = AlarmPayload(active);
    if (client_ && state_ == MqttState::Connected)
        PublishAlarms();
}

void MqttPublisher::PublishAlarms()
{
    if (settings.discovery) {
        const auto configs = AlarmDiscoveryMessages(settings, clientSerial_, alarms_);
        if (configs.size() != sentAlarmConfigs_.size())
            sentAlarmConfigs_.assign(configs.size(), { {}, "-" }); // nothing known
        for (std::size_t i = 0; i < configs.size(); ++i) {
            const MqttMessage& m = configs[i];
            if ((m.topic != sentAlarmConfigs_[i].topic || m.payload != sentAlarmConfigs_[i].payload)
                && client_->Publish(m))
                sentAlarmConfigs_[i] = m;
        }
    }
    if (lastAlarms_ != sentAlarms_ && client_->Publish({ AlarmTopic(prefix_), lastAlarms_ }))
        sentAlarms_ = lastAlarms_;
}

void MqttPublisher::PublishAvailability()
{
    const MqttMessage m = AvailabilityMessage(linkUp_);
    if (m.payload != sentAvailability_ && client_->Publish(m))
        sentAvailability_ = m.payload;
}

void MqttPublisher::Apply()
{
    Retire();
    ++generation_;
    startPending_ = false;
    if (!settings.enabled) {
        SetState(MqttState::Off);
        return;
    }
    if (serial_ <= 0) {
        SetState(MqttState::WaitingForMeter);
        return;
    }
    if (retiring_.joinable()) {
        startPending_ = true;
        SetState(MqttState::Connecting);
        return;
    }
    StartClient();
}

void MqttPublisher::StartClient()
{
    clientSerial_ = serial_;
    prefix_ = EffectiveTopicPrefix(settings, serial_);
    MqttClient::Options o;
    o.host = settings.host;
    o.port = settings.port;
    o.clientId = EffectiveClientId(settings, serial_);
    o.user = settings.user;
    o.password = settings.password;
    o.tls = settings.tls;
    o.caFile = settings.caFile;
    o.will = AvailabilityMessage(false);
    const unsigned generation = generation_;
    client_ = std::make_unique<MqttClient>(
        [guard = guard_, generation](bool connected, MqttFailure why) {
            std::lock_guard lock(guard->mutex);
            if (MqttPublisher* self = guard->target)
                QMetaObject::invokeMethod(
                    self, [=] { self->OnConnection(generation, connected, why); },
                    Qt::QueuedConnection);
        });
    SetState(MqttState::Connecting);
    if (!client_->Start(o)) {
        client_.reset();
        SetState(MqttState::NotConnected, MqttFailure::Other);
    }
}

void MqttPublisher::Retire()
{
    if (!client_)
        return;
    if (retiring_.joinable())
        retiring_.join(); // cannot happen: no client starts while one retires
    const MqttMessage offline = AvailabilityMessage(false);
    {
        std::lock_guard lock(guard_->mutex);
        guard_->retiring = true;
    }
    retiring_ = std::thread([client = std::move(client_), offline, guard = guard_]() mutable {
        client->Stop(&offline);
        client.reset();
        std::lock_guard lock(guard->mutex);
        guard->retiring = false;
        guard->retired.notify_all();
        if (MqttPublisher* self = guard->target)
            QMetaObject::invokeMethod(
                self, [self] { self->OnRetired(); }, Qt::QueuedConnection);
    });
    sentAvailability_.clear();
    sentAlarms_.clear();
    sentAlarmConfigs_.clear();
    clientSerial_ = 0;
}

void MqttPublisher::OnRetired()
{
    {
        std::lock_guard lock(guard_->mutex);
        if (guard_->retiring || !retiring_.joinable())
            return; // a report of a retirement already waited for
    }
    retiring_.join();
    if (startPending_) {
        startPending_ = false;
        StartClient();
    }
}

void MqttPublisher::OnConnection(unsigned generation, bool connected, MqttFailure why)
{
    if (generation != generation_ || !client_)
        return; // a report of a client already gone
    if (!connected) {
        SetState(MqttState::NotConnected, why);
        return;
    }
    SetState(MqttState::Connected);
    // A new connection (or the broker back): everything again, the latest values.
    if (settings.discovery) {
        for (const MqttMessage& m : DiscoveryMessages(settings, clientSerial_))
            client_->Publish(m);
    }
    if (!lastState_.empty())
        client_->Publish({ StateTopic(prefix_), lastState_ });
    sentAvailability_.clear();
    PublishAvailability();
    sentAlarms_.clear();
    sentAlarmConfigs_.clear();
    PublishAlarms();
}

void MqttPublisher::Shutdown()
{
    startPending_ = false;
    Retire();
    if (!retiring_.joinable())
        return;
    std::unique_lock lock(guard_->mutex);
    if (guard_->retired.wait_for(lock, kExitWait, [this] { return !guard_->retiring; })) {
        lock.unlock();
        retiring_.join();
        return;
    }
    // The thread owns its client and reaches this object only through the
    // guard, so it may finish (or be ended with the process) on its own.
    retiring_.detach();
    std::fputs("MQTT: no answer from the broker, leaving without saying goodbye\n", stderr);
}

void MqttPublisher::SetState(MqttState state, MqttFailure why)
{
    if (state == state_ && why == why_)
        return;
    state_ = state;
    why_ = why;
    emit stateChanged();
}

QString MqttPublisher::stateText() const
{
    // Turned on in the file, but no frame has named the meter yet.
    const MqttState shown
        = state_ == MqttState::Off && settings.enabled ? MqttState::WaitingForMeter : state_;
    return QString::fromStdString(MqttStateText(shown, why_, settings.host, settings.port));
}

void MqttPublisher::RunDialog()
{
    if (dialog_)
        return;
    MqttDialog dialog(settings, window_);
    dialog_ = &dialog;
    dialog.SetStateText(stateText());
    const auto link = connect(this, &MqttPublisher::stateChanged, &dialog,
        [this, &dialog] { dialog.SetStateText(stateText()); });
    const int result = dialog.exec();
    disconnect(link);
    if (result != QDialog::Accepted)
        return;
    const bool changed = dialog.settings() != settings;
    settings = dialog.settings();
    if (changed)
        Apply();
}
