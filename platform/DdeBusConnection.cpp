#include "platform/DdeBusConnection.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

namespace {

const QString LocalPath = QStringLiteral("/org/freedesktop/DBus/Local");
const QString LocalInterface = QStringLiteral("org.freedesktop.DBus.Local");

QString ObjectPath()
{
    return QString::fromLatin1(dde_bus::ObjectPath);
}

// Where a session bus listens when no address is exported.
QString RuntimeBusPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtime.isEmpty() ? QString() : runtime + QStringLiteral("/bus");
}

// Read at every connect: a restarted daemon listens at the same address,
// but under a new identity, so the old one's guid must not be asked for.
QString SessionBusAddress()
{
    QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty())
        return address.remove(QRegularExpression(QStringLiteral(",guid=[0-9A-Fa-f]*")));
    return QStringLiteral("unix:path=") + RuntimeBusPath();
}

} // namespace

bool DdeBusConnection::sessionBusReachable()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString path = RuntimeBusPath();
    return !path.isEmpty() && QFileInfo(path).exists();
}

DdeBusConnection::DdeBusConnection(QObject* parent)
    : QObject(parent)
    , connection_(QString())
    , reconnect_(new QTimer(this))
{
    reconnect_->setSingleShot(true);
    reconnect_->setInterval(ReconnectMs);
    connect(reconnect_, &QTimer::timeout, this, &DdeBusConnection::TryReconnect);
}

DdeBusConnection::~DdeBusConnection()
{
    Close();
}

bool DdeBusConnection::Open()
{
    if (open_ || !sessionBusReachable() || !Connect())
        return false;
    open_ = true;
    return true;
}

void DdeBusConnection::Close()
{
    if (!open_)
        return;
    Unpublish();
    reconnect_->stop();
    Disconnect();
    open_ = false;
}

// A connection name of its own each time, so that a new connection is made
// rather than the dead one handed back.
bool DdeBusConnection::Connect()
{
    static unsigned serial = 0;
    name_ = QStringLiteral("qm482-dde-%1").arg(++serial);
    QDBusConnection bus = QDBusConnection::connectToBus(SessionBusAddress(), name_);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(name_);
        name_.clear();
        return false;
    }
    bus.connect(QString(), LocalPath, LocalInterface, QStringLiteral("Disconnected"), this,
        SLOT(BusLost()));
    connection_ = bus;
    watcher_ = new QDBusServiceWatcher(this);
    watcher_->setConnection(connection_);
    watcher_->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(
        watcher_, &QDBusServiceWatcher::serviceUnregistered, this, &DdeBusConnection::clientGone);
    return true;
}

void DdeBusConnection::Disconnect()
{
    delete watcher_;
    watcher_ = nullptr;
    if (name_.isEmpty())
        return;
    // The connection closes only when nothing refers to it any more.
    connection_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(name_);
    name_.clear();
}

bool DdeBusConnection::Export(QObject* object, const QString& busName, const QString& sharedName)
{
    if (!connection_.registerObject(ObjectPath(), object, QDBusConnection::ExportAdaptors))
        return false;
    if (!connection_.registerService(busName)) {
        connection_.unregisterObject(ObjectPath());
        return false;
    }
    if (!sharedName.isEmpty() && !QueueFor(sharedName)) {
        connection_.unregisterService(busName);
        connection_.unregisterObject(ObjectPath());
        return false;
    }
    return true;
}

// Taken after the server's own name and let go before it, so that a server
// holding the shared name always holds its own too.
bool DdeBusConnection::QueueFor(const QString& sharedName)
{
    QDBusConnectionInterface* bus = connection_.interface();
    if (!bus)
        return false;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply
        = bus->registerService(sharedName, QDBusConnectionInterface::QueueService,
            QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() == QDBusConnectionInterface::ServiceNotRegistered)
        return false;
    if (reply.value() == QDBusConnectionInterface::ServiceRegistered || ownerIsServer(sharedName))
        return true;
    bus->unregisterService(sharedName);
    return false;
}

bool DdeBusConnection::ownerIsServer(const QString& sharedName) const
{
    const QDBusConnectionInterface* bus = connection_.interface();
    const QString under = sharedName + QLatin1Char('.');
    // The owner may let go while it is looked at; a few looks settle it.
    for (int look = 0; look < 3; ++look) {
        const QDBusReply<QString> owner = bus->serviceOwner(sharedName);
        if (!owner.isValid())
            continue; // gone: the name passes down the queue, perhaps to us
        if (owner.value() == connection_.baseService())
            return true;
        const QDBusReply<QStringList> names = bus->registeredServiceNames();
        if (!names.isValid())
            return false;
        for (const QString& name : names.value()) {
            if (name.startsWith(under) && bus->serviceOwner(name).value() == owner.value())
                return true;
        }
        const QDBusReply<QString> still = bus->serviceOwner(sharedName);
        if (still.isValid() && still.value() == owner.value())
            return false;
    }
    return false;
}

bool DdeBusConnection::Publish(QObject* object, const QString& busName, const QString& sharedName)
{
    if (published_ || !object || !connection_.isConnected() || !Export(object, busName, sharedName))
        return false;
    published_ = object;
    busName_ = busName;
    sharedName_ = sharedName;
    return true;
}

void DdeBusConnection::Unpublish()
{
    if (!published_)
        return;
    if (connection_.isConnected()) {
        if (!sharedName_.isEmpty())
            connection_.unregisterService(sharedName_);
        connection_.unregisterService(busName_);
        connection_.unregisterObject(ObjectPath());
    }
    published_ = nullptr;
    busName_.clear();
    sharedName_.clear();
}

void DdeBusConnection::WatchClient(const QString& client)
{
    if (watcher_)
        watcher_->addWatchedService(client);
}

void DdeBusConnection::UnwatchClient(const QString& client)
{
    if (watcher_)
        watcher_->removeWatchedService(client);
}

bool DdeBusConnection::Send(const QDBusMessage& message) const
{
    return connection_.send(message);
}

bool DdeBusConnection::isOnBus(const QString& client) const
{
    const QDBusConnectionInterface* bus = connection_.interface();
    return bus && bus->isServiceRegistered(client).value();
}

void DdeBusConnection::BusLost()
{
    if (!open_ || connection_.isConnected() || reconnect_->isActive())
        return;
    emit lost();
    if (!open_)
        return;
    Disconnect();
    reconnect_->start();
}

void DdeBusConnection::TryReconnect()
{
    if (!open_)
        return;
    // What was published is taken again; what was not stays away, so the
    // name is never back while its owner has let it go.
    if (!Connect() || (published_ && !Export(published_, busName_, sharedName_))) {
        Disconnect();
        reconnect_->start();
    }
}
