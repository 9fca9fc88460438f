#include "platform/DdeAdaptor.h"

#include "platform/DdeInstance.h"

#include <QDBusMetaType>

void RegisterDdeTopicPair()
{
    qDBusRegisterMetaType<DdeTopicPair>();
    qDBusRegisterMetaType<QList<DdeTopicPair>>();
}

DdeAdaptor::DdeAdaptor(QObject* busObject, DdeInstance* instance)
    : QDBusAbstractAdaptor(busObject)
    , instance_(instance)
{
}

QList<DdeTopicPair> DdeAdaptor::WildConnect(const QString& service, const QString& topic)
{
    return instance_->BusWildConnect(service, topic);
}

bool DdeAdaptor::Connect(const QString& service, const QString& topic)
{
    return instance_->BusConnect(service, topic);
}

QString DdeAdaptor::Request(
    const QString& topic, const QString& item, uint format, const QDBusMessage& message)
{
    return instance_->BusRequest(topic, item, format, message);
}

bool DdeAdaptor::StartAdvise(
    const QString& topic, const QString& item, uint format, const QDBusMessage& message)
{
    return instance_->BusStartAdvise(topic, item, format, message);
}

bool DdeAdaptor::StopAdvise(
    const QString& topic, const QString& item, uint format, const QDBusMessage& message)
{
    return instance_->BusStopAdvise(topic, item, format, message);
}
