#include "support/DdeTestClient.h"

#include "platform/DdeTopicPair.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QSignalSpy>

namespace {
const QString Path = QStringLiteral("/org/qm482/QM482");
const QString Interface = QStringLiteral("org.qm482.Dde1");
} // namespace

DdeTestClient::DdeTestClient(const QString& name, const QString& address)
    : name_(name)
    , bus_(address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)
                             : QDBusConnection::connectToBus(address, name))
{
    RegisterDdeTopicPair();
    bus_.connect(QString(), Path, Interface, QStringLiteral("Advise"), this,
        SLOT(OnAdvise(QString, QString, QString)));
    bus_.connect(QString(), Path, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"), this,
        SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList)));
}

DdeTestClient::~DdeTestClient()
{
    Leave();
}

void DdeTestClient::Leave()
{
    // The connection closes only when no object refers to it any more.
    bus_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(name_);
}

QDBusMessage DdeTestClient::Call(const QString& method, const QVariantList& args)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service_, Path, Interface, method);
    call.setArguments(args);
    return bus_.call(call, QDBus::BlockWithGui, 5000);
}

QDBusReply<QString> DdeTestClient::Request(const QString& topic, const QString& item, uint format)
{
    return Call(QStringLiteral("Request"), { topic, item, format });
}

bool DdeTestClient::Connect(const QString& service, const QString& topic)
{
    const QDBusReply<bool> reply = Call(QStringLiteral("Connect"), { service, topic });
    return reply.isValid() && reply.value();
}

QStringList DdeTestClient::WildConnect(const QString& service, const QString& topic)
{
    const QDBusReply<QList<DdeTopicPair>> reply
        = Call(QStringLiteral("WildConnect"), { service, topic });
    QStringList topics;
    for (const DdeTopicPair& pair : reply.value()) {
        if (pair.service == QLatin1String("QM482"))
            topics << pair.topic;
    }
    return topics;
}

bool DdeTestClient::StartAdvise(const QString& topic, const QString& item, uint format)
{
    const QDBusReply<bool> reply = Call(QStringLiteral("StartAdvise"), { topic, item, format });
    return reply.isValid() && reply.value();
}

bool DdeTestClient::StopAdvise(const QString& topic, const QString& item, uint format)
{
    const QDBusReply<bool> reply = Call(QStringLiteral("StopAdvise"), { topic, item, format });
    return reply.isValid() && reply.value();
}

QVariantMap DdeTestClient::Properties()
{
    QDBusMessage call = QDBusMessage::createMethodCall(service_, Path,
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    call << QStringLiteral("org.qm482.Readings1");
    const QDBusReply<QVariantMap> reply = bus_.call(call, QDBus::BlockWithGui, 5000);
    return reply.value();
}

QString DdeTestClient::Introspect()
{
    const QDBusMessage call = QDBusMessage::createMethodCall(service_, Path,
        QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
    const QDBusReply<QString> reply = bus_.call(call, QDBus::BlockWithGui, 5000);
    return reply.value();
}

bool DdeTestClient::NameHasOwner()
{
    return NameHasOwner(QStringLiteral("org.qm482.QM482"));
}

bool DdeTestClient::NameHasOwner(const QString& busName)
{
    return bus_.interface()->isServiceRegistered(busName);
}

QString DdeTestClient::NameOwner(const QString& busName)
{
    return bus_.interface()->serviceOwner(busName).value();
}

std::optional<DdeTestClient::Advise> DdeTestClient::NextAdvise()
{
    if (advises_.empty()) {
        QSignalSpy spy(this, &DdeTestClient::adviseReceived);
        if (!spy.wait(5000))
            return std::nullopt;
    }
    Advise next = advises_.front();
    advises_.pop_front();
    return next;
}

void DdeTestClient::OnAdvise(const QString& topic, const QString& item, const QString& text)
{
    advises_.push_back(Advise { topic, item, text });
    emit adviseReceived();
}

void DdeTestClient::OnPropertiesChanged(
    const QString& interface, const QVariantMap& changed, const QStringList&)
{
    if (interface == QLatin1String("org.qm482.Readings1"))
        emit propertiesChanged(changed);
}
