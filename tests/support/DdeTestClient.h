// A client of the bus service on its own bus connection. Calls run a local
// event loop while they wait, so a server in the same process can answer.
#pragma once

#include "dde/PanelSource.h"

#include <QDBusConnection>
#include <QDBusReply>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <deque>
#include <optional>

struct FakePanel : PanelSource {
    PanelReading shown;
    PanelReading reading() const override { return shown; }
};

class DdeTestClient : public QObject {
    Q_OBJECT

public:
    struct Advise {
        QString topic, item, text;
    };

    // On the session bus, or on the bus at this address.
    explicit DdeTestClient(const QString& name, const QString& address = QString());
    ~DdeTestClient() override;

    QDBusReply<QString> Request(const QString& topic, const QString& item, uint format = 1);
    bool Connect(const QString& service, const QString& topic);
    QStringList WildConnect(const QString& service, const QString& topic); // the topics
    bool StartAdvise(const QString& topic, const QString& item, uint format = 1);
    bool StopAdvise(const QString& topic, const QString& item, uint format = 1);
    QVariantMap Properties();
    QString Introspect();
    bool NameHasOwner();
    bool NameHasOwner(const QString& busName);
    QString NameOwner(const QString& busName);
    // The calls go to this bus name from now on (org.qm482.QM482 at first).
    void Target(const QString& busName) { service_ = busName; }
    // The next advise received, waiting a bounded time for it.
    std::optional<Advise> NextAdvise();
    void Leave(); // disconnects from the bus

signals:
    void adviseReceived();
    void propertiesChanged(const QVariantMap& changed);

private slots:
    void OnAdvise(const QString& topic, const QString& item, const QString& text);
    void OnPropertiesChanged(
        const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    QDBusMessage Call(const QString& method, const QVariantList& args);

    QString name_;
    QString service_ = QStringLiteral("org.qm482.QM482");
    QDBusConnection bus_;
    std::deque<Advise> advises_;
};
