#include "platform/DdeInstance.h"

#include "platform/DdeAdaptor.h"

#include <QDBusMessage>

DdeInstance::DdeInstance(QObject* parent)
    : QObject(parent)
{
    connect(&bus_, &DdeBusConnection::lost, this, &DdeInstance::DropAllLinks);
    connect(&bus_, &DdeBusConnection::clientGone, this, &DdeInstance::ClientGone);
}

DdeInstance::~DdeInstance()
{
    Uninitialize();
}

bool DdeInstance::Initialize(Callback callback, unsigned filters)
{
    if (initialized_ || !callback || !bus_.Open())
        return false;
    RegisterDdeTopicPair();
    callback_ = std::move(callback);
    filters_ = filters;
    busObject_ = new QObject(this);
    new DdeAdaptor(busObject_, this);
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
    strings_.Clear();
    bus_.Close();
    delete busObject_;
    busObject_ = nullptr;
    callback_ = nullptr;
    serverName_.clear();
    initialized_ = false;
}

void DdeInstance::DropAllLinks()
{
    pendingAdvises_.clear();
    if (links_.Clear())
        emit linksChanged();
}

DdeHsz DdeInstance::CreateStringHandle(const QString& text)
{
    if (!initialized_)
        return {};
    return strings_.Create(text.toStdString());
}

void DdeInstance::FreeStringHandle(DdeHsz hsz)
{
    strings_.Free(hsz);
}

QString DdeInstance::queryString(DdeHsz hsz) const
{
    return QString::fromStdString(strings_.text(hsz));
}

bool DdeInstance::NameService(DdeHsz service, DdeNameService command)
{
    if (!initialized_ || !service)
        return false;
    if (command == DdeNameService::DNS_UNREGISTER) {
        if (!(registeredService_ == service))
            return false;
        bus_.Unpublish();
        FreeStringHandle(registeredService_);
        registeredService_ = {};
        return true;
    }
    if (registeredService_)
        return registeredService_ == service;
    const QString busName = QString::fromLatin1(dde_bus::BusNamePrefix) + queryString(service);
    const bool published = serverName_.isEmpty()
        ? bus_.Publish(busObject_, busName)
        : bus_.Publish(busObject_, busName + QLatin1Char('.') + serverName_, busName);
    if (!published)
        return false;
    registeredService_ = service;
    strings_.AddReference(service);
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
    for (const DdeLink& link : links_.linksTo(topic, item))
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
        pairs.append(DdeTopicPair { queryString(s), queryString(t) });
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
    bus_.Send(message.createErrorReply(QString::fromLatin1(dde_bus::ErrorRefused),
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
        const bool watched = links_.hasClient(client.toStdString());
        if (links_.Add(DdeLink { client.toStdString(), topicHsz.get(), itemHsz.get(), format,
                topic.toStdString(), item.toStdString() })) {
            if (!watched)
                bus_.WatchClient(client);
            emit linksChanged();
        }
    }
    message.setDelayedReply(true);
    bus_.Send(message.createReply(accepted));
    holdAdvises_ = false;
    // A client that left before the watch was in place would keep its links
    // for ever.
    if (accepted && !bus_.isOnBus(client)) {
        pendingAdvises_.clear();
        ClientGone(client);
        return accepted;
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
    if (!links_.Remove(client.toStdString(), topicHsz.get(), itemHsz.get(), format))
        return false;
    if (!links_.hasClient(client.toStdString()))
        bus_.UnwatchClient(client);
    emit linksChanged();
    return true;
}

void DdeInstance::ClientGone(const QString& client)
{
    const bool dropped = links_.RemoveClient(client.toStdString());
    bus_.UnwatchClient(client);
    if (dropped)
        emit linksChanged();
}

void DdeInstance::SendAdvise(const DdeLink& link)
{
    const DdeReply reply = Call(DdeTransaction::XTYP_ADVREQ, link.format, link.topic, link.item);
    if (!reply.ok)
        return;
    QDBusMessage signal = QDBusMessage::createTargetedSignal(QString::fromStdString(link.client),
        QString::fromLatin1(dde_bus::ObjectPath), QString::fromLatin1(dde_bus::Interface),
        QStringLiteral("Advise"));
    signal << QString::fromStdString(link.topicText) << QString::fromStdString(link.itemText)
           << QString::fromStdString(reply.text);
    bus_.Send(signal);
}
