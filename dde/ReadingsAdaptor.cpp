#include "dde/ReadingsAdaptor.h"

#include "dde/DdeServer.h"
#include "dde/ItemText.h"

#include <QDBusMessage>
#include <QVariantMap>

ReadingsAdaptor::ReadingsAdaptor(QObject* busObject, const DdeServer* server)
    : QDBusAbstractAdaptor(busObject)
    , server_(server)
{
}

int ReadingsAdaptor::serialNumber() const
{
    return static_cast<int>(server_->SerialNumber());
}
double ReadingsAdaptor::temperature() const
{
    return server_->Reading(TopicTemperature).rawValue;
}
double ReadingsAdaptor::humidity() const
{
    return server_->Reading(TopicHumidity).rawValue;
}
double ReadingsAdaptor::pressure() const
{
    return server_->Reading(TopicPressure).rawValue;
}
bool ReadingsAdaptor::temperatureValid() const
{
    return server_->Reading(TopicTemperature).valid();
}
bool ReadingsAdaptor::humidityValid() const
{
    return server_->Reading(TopicHumidity).valid();
}
bool ReadingsAdaptor::pressureValid() const
{
    return server_->Reading(TopicPressure).valid();
}

void ReadingsAdaptor::NotifyChanged()
{
    const QVariantMap changed {
        { QStringLiteral("SerialNumber"), serialNumber() },
        { QStringLiteral("Temperature"), temperature() },
        { QStringLiteral("Humidity"), humidity() },
        { QStringLiteral("Pressure"), pressure() },
        { QStringLiteral("TemperatureValid"), temperatureValid() },
        { QStringLiteral("HumidityValid"), humidityValid() },
        { QStringLiteral("PressureValid"), pressureValid() },
    };
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/qm482/QM482"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.qm482.Readings1") << changed << QStringList();
    server_->Instance().connection().send(signal);
}
