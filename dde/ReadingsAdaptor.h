// org.qm482.Readings1: the readings as numbers, for clients that want them
// rather than the item texts.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>
#include <QVariantMap>

class QDBusConnection;
class ReadingsSource;

class ReadingsAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.qm482.Readings1")
    Q_PROPERTY(int SerialNumber READ serialNumber)
    Q_PROPERTY(double Temperature READ temperature)
    Q_PROPERTY(double Humidity READ humidity)
    Q_PROPERTY(double Pressure READ pressure)
    Q_PROPERTY(bool TemperatureValid READ temperatureValid)
    Q_PROPERTY(bool HumidityValid READ humidityValid)
    Q_PROPERTY(bool PressureValid READ pressureValid)
    Q_PROPERTY(double DewPoint READ dewPoint)
    Q_PROPERTY(double AbsoluteHumidity READ absoluteHumidity)
    Q_PROPERTY(bool DewPointValid READ dewPointValid)
    Q_PROPERTY(bool AbsoluteHumidityValid READ absoluteHumidityValid)
    Q_PROPERTY(QStringList ActiveAlarms READ activeAlarms)

public:
    // The source is not owned and must outlive the adaptor.
    ReadingsAdaptor(QObject* busObject, const ReadingsSource* source);

    int serialNumber() const;
    double temperature() const;
    double humidity() const;
    double pressure() const;
    // As PanelReading::valid() says.
    bool temperatureValid() const;
    bool humidityValid() const;
    bool pressureValid() const;
    // From the temperature and the humidity while both are valid, else 0
    // and not valid.
    double dewPoint() const;
    double absoluteHumidity() const;
    bool dewPointValid() const;
    bool absoluteHumidityValid() const;
    QStringList activeAlarms() const;

    // One org.freedesktop.DBus.Properties.PropertiesChanged with every
    // property, sent on the connection the object is published on.
    void NotifyChanged(const QDBusConnection& bus);
    // One PropertiesChanged with ActiveAlarms only.
    void NotifyAlarmsChanged(const QDBusConnection& bus);

private:
    static void SendChanged(const QDBusConnection& bus, const QVariantMap& changed);

    const ReadingsSource* source_;
};
