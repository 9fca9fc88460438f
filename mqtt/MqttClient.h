#pragma once

#include "mqtt/MqttMessages.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct mosquitto;

// A connection to a broker, kept up by a thread of its own: connecting,
// reading and retrying (with back-off, sleeping between attempts) never
// happen on the caller's thread. Messages go out with QoS 1.
class MqttClient {
public:
    struct Options {
        std::string host;
        int port = 1883;
        std::string clientId;
        std::string user;
        std::string password;
        bool tls = false;
        std::string caFile;
        MqttMessage will; // retained; the broker sends it when we vanish
        int keepAliveSeconds = 20;
    };
    // Called on the client's thread whenever the connection comes or goes.
    using Listener = std::function<void(bool connected, MqttFailure why)>;

    explicit MqttClient(Listener listener);
    ~MqttClient();
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    bool Start(const Options& options);
    // Queues a retained message; false when it cannot be queued.
    bool Publish(const MqttMessage& message);
    // Sends `last` (when connected) and a clean disconnect, then ends the
    // thread; waits at most about two seconds for the broker.
    void Stop(const MqttMessage* last = nullptr);

private:
    void Run();
    void Report(bool connected, MqttFailure why);
    bool SleepUnlessStopped(unsigned seconds);
    static MqttFailure FailureOf(int rc, int error);

    Listener listener_;
    Options options_;
    mosquitto* mosq_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool connected_ = false; // guarded by mutex_
    bool refused_ = false; // the broker answered the last attempt with a refusal
};
