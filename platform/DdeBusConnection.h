// The data service's own connection to the session bus. The process-wide
// session bus connection never comes back once its daemon is gone; this one
// does: when the bus goes away (its daemon restarted), it says so and
// connects again every few seconds; once back, it exports its object and
// takes its name again, so clients on the new bus find the service.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

class QDBusMessage;
class QDBusServiceWatcher;
class QTimer;

namespace dde_bus {
inline constexpr char ObjectPath[] = "/org/qm482/QM482";
inline constexpr char Interface[] = "org.qm482.Dde1";
inline constexpr char ErrorRefused[] = "org.qm482.Dde1.Error.Refused";
inline constexpr char BusNamePrefix[] = "org.qm482.";
} // namespace dde_bus

class DdeBusConnection : public QObject {
    Q_OBJECT

public:
    explicit DdeBusConnection(QObject* parent = nullptr);
    ~DdeBusConnection() override;

    // A session bus address in the environment, or the runtime folder's bus
    // socket. Without either the bus library would try to launch a bus through
    // X11; on a console or over ssh that must fail at once instead.
    static bool sessionBusReachable();
    // How often a lost bus is tried again.
    static constexpr int ReconnectMs = 2000;

    // False when there is no session bus or it refused the connection.
    // Never starts a bus of its own.
    bool Open();
    // Disconnects and stops reconnecting; forgets what was published.
    void Close();
    // Exports the object at dde_bus::ObjectPath and owns the bus name, until
    // Unpublish, across reconnects. Another process holding the name is a
    // failure, not a queue to wait in.
    // With a shared name, the servers of one service share it: each waits in
    // its queue, one owns it, and when that one lets go the next takes it
    // over. A server is known by a name of its own under the shared one
    // (busName is "<sharedName>.<something>"); a shared name held by a
    // program that owns no such name is a failure.
    bool Publish(QObject* object, const QString& busName, const QString& sharedName = QString());
    void Unpublish();
    // clientGone tells when a watched client leaves the bus.
    void WatchClient(const QString& client);
    void UnwatchClient(const QString& client);
    bool Send(const QDBusMessage& message) const;

    bool isConnected() const { return connection_.isConnected(); }
    bool isOnBus(const QString& client) const;
    QDBusConnection connection() const { return connection_; }

signals:
    // The daemon is gone, and with it every client.
    void lost();
    void clientGone(const QString& client);

private slots:
    // The connection's local Disconnected signal.
    void BusLost();

private:
    bool Connect();
    void Disconnect();
    bool Export(QObject* object, const QString& busName, const QString& sharedName);
    bool QueueFor(const QString& sharedName);
    bool ownerIsServer(const QString& sharedName) const;
    void TryReconnect();

    bool open_ = false;
    QString name_;
    QDBusConnection connection_;
    QDBusServiceWatcher* watcher_ = nullptr;
    QTimer* reconnect_ = nullptr;
    QObject* published_ = nullptr;
    QString busName_;
    QString sharedName_;
};
