#include "dde/ReadingsAdaptor.h"

#include "dde/ItemText.h"
#include "dde/ReadingsSource.h"
#include "platform/DdeBusConnection.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

ReadingsAdaptor::ReadingsAdaptor(QObject* busObject, const ReadingsSource* source)
    : QDBusAbstractAdaptor(busObject)
    , source_(source)
{
}

int ReadingsAdaptor::serialNumber() const
{
    return static_cast<int>(source_->serialNumber());
}
double ReadingsAdaptor::temperature() const
{
    return source_->reading(TopicTemperature).rawValue;
}
double ReadingsAdaptor::humidity() const
{
    return source_->reading(TopicHumidity).rawValue;
}
double ReadingsAdaptor::pressure() const
{
    return source_->reading(TopicPressure).rawValue;
}
bool ReadingsAdaptor::temperatureValid() const
{
    return source_->reading(TopicTemperature).valid();
}
bool ReadingsAdaptor::humidityValid() const
{
    return source_->reading(TopicHumidity).valid();
}
bool ReadingsAdaptor::pressureValid() const
{
    return source_->reading(TopicPressure).valid();
}

void ReadingsAdaptor::NotifyChanged(const QDBusConnection& bus)
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
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(dde_bus::ObjectPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.qm482.Readings1") << changed << QStringList();
    bus.send(signal);
}
