// org.qm482.Readings1: the readings as numbers, for clients that want them
// rather than the item texts.
#pragma once

#include <QDBusAbstractAdaptor>

class DdeServer;

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

public:
    ReadingsAdaptor(QObject* busObject, const DdeServer* server);

    int serialNumber() const;
    double temperature() const;
    double humidity() const;
    double pressure() const;
    // A value counts as valid when its panel shows it and does not blink.
    bool temperatureValid() const;
    bool humidityValid() const;
    bool pressureValid() const;

    // One org.freedesktop.DBus.Properties.PropertiesChanged with every property.
    void NotifyChanged();

private:
    const DdeServer* server_;
};
