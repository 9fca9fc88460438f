#include "dde/ReadingsAdaptor.h"

#include "dde/DdeServer.h"
#include "dde/ItemText.h"

#include <QDBusMessage>
#include <QVariantMap>

namespace {

bool Valid(const PanelReading& reading)
{
    return !reading.noValue && !reading.blinking;
}

} // namespace

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
    return Valid(server_->Reading(TopicTemperature));
}
bool ReadingsAdaptor::humidityValid() const
{
    return Valid(server_->Reading(TopicHumidity));
}
bool ReadingsAdaptor::pressureValid() const
{
    return Valid(server_->Reading(TopicPressure));
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
    server_->Instance().Connection().send(signal);
}
