#include "mqtt/MqttClient.h"

#include <mosquitto.h>

#include <cerrno>
#include <chrono>

namespace {

constexpr int kQos = 1;
constexpr int kLoopMs = 1000;
constexpr auto kStopGrace = std::chrono::seconds(2);

void InitLibrary()
{
    static const int once = mosquitto_lib_init();
    (void)once;
}

} // namespace

MqttClient::MqttClient(Listener listener)
    : listener_(std::move(listener))
{
}

MqttClient::~MqttClient()
{
    Stop();
}

MqttFailure MqttClient::FailureOf(int rc, int error)
{
    switch (rc) {
    case MOSQ_ERR_EAI:
        return MqttFailure::UnknownHost;
    case MOSQ_ERR_TLS:
    case MOSQ_ERR_TLS_HANDSHAKE:
        return MqttFailure::Tls;
    case MOSQ_ERR_AUTH:
    case MOSQ_ERR_NOT_SUPPORTED:
        return MqttFailure::NotAuthorised;
    case MOSQ_ERR_CONN_LOST:
    case MOSQ_ERR_NO_CONN:
    case MOSQ_ERR_KEEPALIVE:
        return MqttFailure::Lost;
    case MOSQ_ERR_ERRNO:
        if (error == ECONNREFUSED)
            return MqttFailure::Refused;
        if (error == EHOSTUNREACH || error == ENETUNREACH || error == ETIMEDOUT)
            return MqttFailure::Unreachable;
        return MqttFailure::Lost;
    default:
        return MqttFailure::Other;
    }
}

bool MqttClient::Start(const Options& options)
{
    Stop();
    InitLibrary();
    options_ = options;
    mosq_ = mosquitto_new(options_.clientId.c_str(), true, this);
    if (mosq_ == nullptr)
        return false;
    // Our own thread drives the loop; publishing from another thread only queues.
    mosquitto_threaded_set(mosq_, true);
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    if (!options_.user.empty())
        mosquitto_username_pw_set(mosq_, options_.user.c_str(),
            options_.password.empty() ? nullptr : options_.password.c_str());
    if (options_.tls) {
        const char* caFile = options_.caFile.empty() ? nullptr : options_.caFile.c_str();
        mosquitto_tls_set(mosq_, caFile, caFile == nullptr ? "/etc/ssl/certs" : nullptr, nullptr,
            nullptr, nullptr);
    }
    const MqttMessage& will = options_.will;
    if (!will.topic.empty())
        mosquitto_will_set(mosq_, will.topic.c_str(), static_cast<int>(will.payload.size()),
            will.payload.data(), kQos, true);
    mosquitto_connect_callback_set(mosq_, [](mosquitto*, void* self, int rc) {
        auto* client = static_cast<MqttClient*>(self);
        {
            std::lock_guard lock(client->mutex_);
            client->refused_ = rc != 0;
        }
        client->Report(rc == 0, rc == 0 ? MqttFailure::None : MqttFailure::NotAuthorised);
    });
    mosquitto_disconnect_callback_set(mosq_, [](mosquitto*, void* self, int rc) {
        static_cast<MqttClient*>(self)->Report(
            false, rc == 0 ? MqttFailure::None : MqttFailure::Lost);
    });
    stopping_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void MqttClient::Report(bool connected, MqttFailure why)
{
    {
        std::lock_guard lock(mutex_);
        connected_ = connected;
    }
    if (listener_)
        listener_(connected, why);
}

bool MqttClient::SleepUnlessStopped(unsigned seconds)
{
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, std::chrono::seconds(seconds), [this] { return stopping_; });
}

void MqttClient::Run()
{
    unsigned retry = 0;
    bool first = true;
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
        }
        // Only this thread waits for the name service and the connection.
        int rc = first ? mosquitto_connect_async(
                     mosq_, options_.host.c_str(), options_.port, options_.keepAliveSeconds)
                       : mosquitto_reconnect_async(mosq_);
        int error = errno;
        first = false;
        bool wasConnected = false;
        while (rc == MOSQ_ERR_SUCCESS) {
            rc = mosquitto_loop(mosq_, kLoopMs, 1);
            error = errno;
            std::lock_guard lock(mutex_);
            wasConnected = wasConnected || connected_;
            if (stopping_ && !connected_)
                return; // the clean disconnect has gone out, or never could
        }
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
        }
        MqttFailure why = FailureOf(rc, error);
        {
            std::lock_guard lock(mutex_);
            if (refused_)
                why = MqttFailure::NotAuthorised; // not the broken connection that followed
            refused_ = false;
        }
        Report(false, why);
        retry = wasConnected ? 1 : NextRetrySeconds(retry);
        if (!SleepUnlessStopped(retry))
            return;
    }
}

bool MqttClient::Publish(const MqttMessage& m)
{
    if (mosq_ == nullptr)
        return false;
    return mosquitto_publish(mosq_, nullptr, m.topic.c_str(), static_cast<int>(m.payload.size()),
               m.payload.data(), kQos, true)
        == MOSQ_ERR_SUCCESS;
}

void MqttClient::Stop(const MqttMessage* last)
{
    if (mosq_ == nullptr)
        return;
    bool connected = false;
    {
        std::lock_guard lock(mutex_);
        connected = connected_;
    }
    if (connected && last != nullptr)
        Publish(*last);
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    // Queued after the last message, so the broker has that first; a clean
    // disconnect also tells the broker not to send the will.
    mosquitto_disconnect(mosq_);
    if (thread_.joinable()) {
        // The loop ends once the disconnect is out; a dead peer costs at most
        // the grace time before the socket is dropped.
        const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
        while (std::chrono::steady_clock::now() < deadline) {
            {
                std::lock_guard lock(mutex_);
                if (!connected_)
                    break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        {
            std::lock_guard lock(mutex_);
            connected_ = false;
        }
        thread_.join();
    }
    mosquitto_destroy(mosq_);
    mosq_ = nullptr;
    connected_ = false;
}
