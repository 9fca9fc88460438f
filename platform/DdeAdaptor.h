// The interface org.qm482.Dde1 on the bus object; forwards every call to the
// DdeInstance that owns the object.
#pragma once

#include "platform/DdeTopicPair.h"

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>

class DdeInstance;

class DdeAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.qm482.Dde1")

public:
    DdeAdaptor(QObject* busObject, DdeInstance* instance);

public slots:
    QList<DdeTopicPair> WildConnect(const QString& service, const QString& topic);
    bool Connect(const QString& service, const QString& topic);
    QString Request(
        const QString& topic, const QString& item, uint format, const QDBusMessage& message);
    bool StartAdvise(
        const QString& topic, const QString& item, uint format, const QDBusMessage& message);
    bool StopAdvise(
        const QString& topic, const QString& item, uint format, const QDBusMessage& message);

signals:
    // Never emitted as a broadcast: each linked client gets its own copy,
    // addressed to it. Declared so that introspection shows it.
    void Advise(const QString& topic, const QString& item, const QString& text);

private:
    DdeInstance* instance_;
};
