#include "platform/DdeInstance.h"

#include "common/DdeName.h"
#include "platform/DdeAdaptor.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>

namespace {

const QString LocalPath = QStringLiteral("/org/freedesktop/DBus/Local");
const QString LocalInterface = QStringLiteral("org.freedesktop.DBus.Local");

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

bool DdeInstance::SessionBusReachable()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString path = RuntimeBusPath();
    return !path.isEmpty() && QFileInfo(path).exists();
}

DdeInstance::DdeInstance(QObject* parent)
    : QObject(parent)
    , connection_(QString())
{
}

DdeInstance::~DdeInstance()
{
    Uninitialize();
}

bool DdeInstance::Initialize(Callback callback, unsigned filters)
{
    if (initialized_ || !callback || !SessionBusReachable())
        return false;
    if (!OpenConnection())
        return false;
    RegisterDdeTopicPair();
    callback_ = std::move(callback);
    filters_ = filters;
    busObject_ = new QObject(this);
    new DdeAdaptor(busObject_, this);
    reconnect_ = new QTimer(this);
    reconnect_->setSingleShot(true);
    reconnect_->setInterval(ReconnectMs);
    connect(reconnect_, &QTimer::timeout, this, &DdeInstance::TryReconnect);
    initialized_ = true;
    return true;
}

void DdeInstance::Uninitialize()
{
    if (!initialized_)
        return;
    if (registeredService_)
        NameService(registeredService_, DdeNameService::DNS_UNREGISTER);
    DropAllLinks();
    atoms_.clear();
    delete reconnect_;
    reconnect_ = nullptr;
    CloseConnection();
    delete busObject_;
    busObject_ = nullptr;
    callback_ = nullptr;
    initialized_ = false;
}

// A connection of the instance's own: the process-wide session bus
// connection never comes back once its daemon is gone.
bool DdeInstance::OpenConnection()
{
    static unsigned serial = 0;
    connectionName_ = QStringLiteral("qm482-dde-%1").arg(++serial);
    QDBusConnection bus = QDBusConnection::connectToBus(SessionBusAddress(), connectionName_);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(connectionName_);
        connectionName_.clear();
        return false;
    }
    bus.connect(QString(), LocalPath, LocalInterface, QStringLiteral("Disconnected"), this,
        SLOT(BusLost()));
    connection_ = bus;
    watcher_ = new QDBusServiceWatcher(this);
    watcher_->setConnection(connection_);
    watcher_->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, &DdeInstance::ClientGone);
    return true;
}

void DdeInstance::CloseConnection()
{
    delete watcher_;
    watcher_ = nullptr;
    if (connectionName_.isEmpty())
        return;
    // The connection closes only when nothing refers to it any more.
    connection_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(connectionName_);
    connectionName_.clear();
}

bool DdeInstance::Publish(const QString& busName)
{
    if (!connection_.registerObject(
            QString::fromLatin1(DdeBus::ObjectPath), busObject_, QDBusConnection::ExportAdaptors))
        return false;
    // Another process holding the name is a failure, not a queue to wait in.
    if (!connection_.registerService(busName)) {
        connection_.unregisterObject(QString::fromLatin1(DdeBus::ObjectPath));
        return false;
    }
    return true;
}

void DdeInstance::BusLost()
{
    if (!initialized_ || connection_.isConnected() || reconnect_->isActive())
        return;
    // The clients were on the old bus; none of them can be reached again.
    DropAllLinks();
    CloseConnection();
    reconnect_->start();
}

void DdeInstance::TryReconnect()
{
    if (!initialized_)
        return;
    // The name is ours only while registered: the instance lives only while
    // the link to the meter is up, so taking it again keeps that rule.
    if (!OpenConnection() || (registeredService_ && !Publish(registeredBusName_))) {
        CloseConnection();
        reconnect_->start();
    }
}

void DdeInstance::DropAllLinks()
{
    pendingAdvises_.clear();
    if (links_.empty())
        return;
    for (const Link& link : links_) {
        FreeStringHandle(link.topic);
        FreeStringHandle(link.item);
    }
    links_.clear();
    emit linksChanged();
}

DdeHsz DdeInstance::CreateStringHandle(const QString& text)
{
    if (!initialized_ || text.isEmpty())
        return {};
    const std::string key = FoldDdeName(text.toStdString());
    for (auto& [id, atom] : atoms_) {
        if (atom.key == key) {
            ++atom.references;
            return DdeHsz { id };
        }
    }
    const unsigned id = nextAtom_++;
    atoms_[id] = Atom { text, key, 1 };
    return DdeHsz { id };
}

void DdeInstance::FreeStringHandle(DdeHsz hsz)
{
    const auto it = atoms_.find(hsz.id);
    if (it != atoms_.end() && --it->second.references <= 0)
        atoms_.erase(it);
}

QString DdeInstance::QueryString(DdeHsz hsz) const
{
    const auto it = atoms_.find(hsz.id);
    return it == atoms_.end() ? QString() : it->second.text;
}

bool DdeInstance::NameService(DdeHsz service, DdeNameService command)
{
    if (!initialized_ || !service)
        return false;
    if (command == DdeNameService::DNS_UNREGISTER) {
        if (!(registeredService_ == service))
            return false;
        if (connection_.isConnected()) {
            connection_.unregisterService(registeredBusName_);
            connection_.unregisterObject(QString::fromLatin1(DdeBus::ObjectPath));
        }
        FreeStringHandle(registeredService_);
        registeredService_ = {};
        registeredBusName_.clear();
        return true;
    }
    if (registeredService_)
        return registeredService_ == service;
    const QString busName = QString::fromLatin1(DdeBus::BusNamePrefix) + QueryString(service);
    if (!connection_.isConnected() || !Publish(busName))
        return false;
    registeredService_ = service;
    ++atoms_[service.id].references;
    registeredBusName_ = busName;
    return true;
}

bool DdeInstance::PostAdvise(DdeHsz topic, DdeHsz item)
{
    if (!initialized_)
        return false;
    if (dispatching_ > 0 || holdAdvises_) {
        pendingAdvises_.emplace_back(topic, item);
        return true;
    }
    std::vector<Link> targets;
    std::copy_if(links_.begin(), links_.end(), std::back_inserter(targets),
        [&](const Link& link) { return link.topic == topic && link.item == item; });
    for (const Link& link : targets)
        SendAdvise(link);
    return true;
}

DdeReply DdeInstance::Call(DdeTransaction type, unsigned format, DdeHsz hsz1, DdeHsz hsz2)
{
    if (!initialized_)
        return {};
    ++dispatching_;
    DdeReply reply = callback_(DdeTransactionArgs { type, format, hsz1, hsz2 });
    --dispatching_;
    if (dispatching_ == 0 && !holdAdvises_)
        FlushPendingAdvises();
    return reply;
}

void DdeInstance::FlushPendingAdvises()
{
    std::vector<std::pair<DdeHsz, DdeHsz>> pending;
    pending.swap(pendingAdvises_);
    for (const auto& [topic, item] : pending)
        PostAdvise(topic, item);
}

// A handle for a name that came in over the bus, freed when the call ends.
class DdeInstance::CallHandle {
public:
    CallHandle(DdeInstance& instance, const QString& text)
        : instance_(instance)
        , hsz_(instance.CreateStringHandle(text))
    {
    }
    ~CallHandle() { instance_.FreeStringHandle(hsz_); }
    CallHandle(const CallHandle&) = delete;
    CallHandle& operator=(const CallHandle&) = delete;
    DdeHsz get() const { return hsz_; }

private:
    DdeInstance& instance_;
    DdeHsz hsz_;
};

bool DdeInstance::ConnectTest(DdeHsz topic)
{
    return registeredService_
        && Call(DdeTransaction::XTYP_CONNECT, CF_TEXT, topic, registeredService_).ok;
}

QList<DdeTopicPair> DdeInstance::BusWildConnect(const QString& service, const QString& topic)
{
    const CallHandle serviceHsz(*this, service);
    const CallHandle topicHsz(*this, topic);
    const DdeReply reply
        = Call(DdeTransaction::XTYP_WILDCONNECT, CF_TEXT, topicHsz.get(), serviceHsz.get());
    QList<DdeTopicPair> pairs;
    if (!reply.ok)
        return pairs;
    for (const auto& [s, t] : reply.pairs)
        pairs.append(DdeTopicPair { QueryString(s), QueryString(t) });
    return pairs;
}

bool DdeInstance::BusConnect(const QString& service, const QString& topic)
{
    const CallHandle serviceHsz(*this, service);
    const CallHandle topicHsz(*this, topic);
    return Call(DdeTransaction::XTYP_CONNECT, CF_TEXT, topicHsz.get(), serviceHsz.get()).ok;
}

QString DdeInstance::BusRequest(
    const QString& topic, const QString& item, unsigned format, const QDBusMessage& message)
{
    const CallHandle topicHsz(*this, topic);
    const CallHandle itemHsz(*this, item);
    if (ConnectTest(topicHsz.get())) {
        const DdeReply reply
            = Call(DdeTransaction::XTYP_REQUEST, format, topicHsz.get(), itemHsz.get());
        if (reply.ok)
            return QString::fromStdString(reply.text);
    }
    message.setDelayedReply(true);
    connection_.send(message.createErrorReply(QString::fromLatin1(DdeBus::ErrorRefused),
        QStringLiteral("%1 / %2 / %3").arg(topic, item).arg(format)));
    return {};
}

bool DdeInstance::BusStartAdvise(
    const QString& topic, const QString& item, unsigned format, const QDBusMessage& message)
{
    const CallHandle topicHsz(*this, topic);
    const CallHandle itemHsz(*this, item);
    if (!ConnectTest(topicHsz.get()))
        return false;
    // The callback posts the first advise at once; it must go out after the
    // link exists and after the client has its answer.
    holdAdvises_ = true;
    const bool accepted
        = Call(DdeTransaction::XTYP_ADVSTART, format, topicHsz.get(), itemHsz.get()).ok;
    const QString client = message.service();
    if (accepted) {
        const auto same = [&](const Link& link) {
            return link.client == client && link.topic == topicHsz.get()
                && link.item == itemHsz.get() && link.format == format;
        };
        if (std::none_of(links_.begin(), links_.end(), same)) {
            const bool watched = std::any_of(links_.begin(), links_.end(),
                [&](const Link& link) { return link.client == client; });
            links_.push_back(Link {
                client, CreateStringHandle(topic), CreateStringHandle(item), format, topic, item });
            if (!watched)
                watcher_->addWatchedService(client);
            emit linksChanged();
        }
    }
    message.setDelayedReply(true);
    connection_.send(message.createReply(accepted));
    holdAdvises_ = false;
    if (accepted) {
        // A client that left before the watch was in place would keep its
        // links for ever.
        if (!connection_.interface()->isServiceRegistered(client).value()) {
            pendingAdvises_.clear();
            ClientGone(client);
            return accepted;
        }
    }
    FlushPendingAdvises();
    return accepted;
}

bool DdeInstance::BusStopAdvise(
    const QString& topic, const QString& item, unsigned format, const QDBusMessage& message)
{
    const CallHandle topicHsz(*this, topic);
    const CallHandle itemHsz(*this, item);
    if (!ConnectTest(topicHsz.get()))
        return false;
    Call(DdeTransaction::XTYP_ADVSTOP, format, topicHsz.get(), itemHsz.get());
    const QString client = message.service();
    const auto it = std::find_if(links_.begin(), links_.end(), [&](const Link& link) {
        return link.client == client && link.topic == topicHsz.get() && link.item == itemHsz.get()
            && link.format == format;
    });
    if (it == links_.end())
        return false;
    FreeStringHandle(it->topic);
    FreeStringHandle(it->item);
    links_.erase(it);
    if (std::none_of(
            links_.begin(), links_.end(), [&](const Link& link) { return link.client == client; }))
        watcher_->removeWatchedService(client);
    emit linksChanged();
    return true;
}

void DdeInstance::ClientGone(const QString& client)
{
    const auto gone = [&](const Link& link) { return link.client == client; };
    bool dropped = false;
    for (const Link& link : links_) {
        if (gone(link)) {
            FreeStringHandle(link.topic);
            FreeStringHandle(link.item);
            dropped = true;
        }
    }
    links_.erase(std::remove_if(links_.begin(), links_.end(), gone), links_.end());
    if (watcher_)
        watcher_->removeWatchedService(client);
    if (dropped)
        emit linksChanged();
}

void DdeInstance::SendAdvise(const Link& link)
{
    const DdeReply reply = Call(DdeTransaction::XTYP_ADVREQ, link.format, link.topic, link.item);
    if (!reply.ok)
        return;
    QDBusMessage signal
        = QDBusMessage::createTargetedSignal(link.client, QString::fromLatin1(DdeBus::ObjectPath),
            QString::fromLatin1(DdeBus::Interface), QStringLiteral("Advise"));
    signal << link.topicText << link.itemText << QString::fromStdString(reply.text);
    connection_.send(signal);
}
