#include "dde/ReadingsAdaptor.h"

#include "alarms/DewPoint.h"
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

double ReadingsAdaptor::dewPoint() const
{
    return DewPoint(source_->reading(TopicTemperature), source_->reading(TopicHumidity))
        .value_or(0.0);
}
double ReadingsAdaptor::absoluteHumidity() const
{
    return AbsoluteHumidity(source_->reading(TopicTemperature), source_->reading(TopicHumidity))
        .value_or(0.0);
}
bool ReadingsAdaptor::dewPointValid() const
{
    return DewPoint(source_->reading(TopicTemperature), source_->reading(TopicHumidity))
        .has_value();
}
bool ReadingsAdaptor::absoluteHumidityValid() const
{
    return AbsoluteHumidity(source_->reading(TopicTemperature), source_->reading(TopicHumidity))
        .has_value();
}
QStringList ReadingsAdaptor::activeAlarms() const
{
    QStringList names;
    for (const std::string& name : source_->activeAlarms())
        names << QString::fromStdString(name);
    return names;
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
        { QStringLiteral("DewPoint"), dewPoint() },
        { QStringLiteral("AbsoluteHumidity"), absoluteHumidity() },
        { QStringLiteral("DewPointValid"), dewPointValid() },
        { QStringLiteral("AbsoluteHumidityValid"), absoluteHumidityValid() },
        { QStringLiteral("ActiveAlarms"), activeAlarms() },
    };
    SendChanged(bus, changed);
}

void ReadingsAdaptor::NotifyAlarmsChanged(const QDBusConnection& bus)
{
    SendChanged(bus, { { QStringLiteral("ActiveAlarms"), activeAlarms() } });
}

void ReadingsAdaptor::SendChanged(const QDBusConnection& bus, const QVariantMap& changed)
{
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(dde_bus::ObjectPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.qm482.Readings1") << changed << QStringList();
    bus.send(signal);
}
