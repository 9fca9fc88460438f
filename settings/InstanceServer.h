#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <string_view>

class QSocketNotifier;

// The running instance's side of InstanceLock: takes the one-line requests of
// later starts on its settings file, on the UI thread without ever waiting
// for a client. A client that sends more than a line or stays silent is
// dropped; at most a few are served at once.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    using Raise = std::function<void(const QString& activationToken)>;

    // `listener`: InstanceLock::listener(), left open (the lock owns it);
    // -1 serves nothing.
    InstanceServer(int listener, Raise raise, QObject* parent = nullptr);
    ~InstanceServer() override;
    InstanceServer(const InstanceServer&) = delete;
    InstanceServer& operator=(const InstanceServer&) = delete;

    // The request a start sends: "raise", with the launcher's activation
    // token when it has one.
    static std::string Request(const QString& activationToken);
    // The token of a request; false when the line is not a request.
    static bool ParseRequest(std::string_view line, QString& activationToken);

    int clientCount() const { return clients_; }

private:
    class Client;
    void OnListener();

    QSocketNotifier* notifier_ = nullptr;
    Raise raise_;
    int clients_ = 0;
};
