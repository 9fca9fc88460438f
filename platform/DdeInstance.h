// A small DDEML-like layer over the D-Bus session bus: an instance with a
// callback and filter flags, case-insensitive string handles, a name service
// and advise links kept per client. Each incoming call on the interface
// org.qm482.Dde1 becomes a transaction handed to the callback.
//
// The handles live in a DdeStringTable, the links in a DdeLinkTable, and the
// bus in a DdeBusConnection that reconnects; the links die with their
// clients when the bus goes away.
#pragma once

#include "common/DdeLinkTable.h"
#include "common/DdeStringTable.h"
#include "platform/DdeBusConnection.h"
#include "platform/DdeTopicPair.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class QDBusMessage;

inline constexpr unsigned CF_TEXT = 1;
inline constexpr unsigned CF_UNICODETEXT = 13;

// Filter flags of Initialize.
enum DdeFilter : unsigned {
    CBF_FAIL_EXECUTES = 0x1,
    CBF_FAIL_POKES = 0x2,
    CBF_SKIP_REGISTRATIONS = 0x4,
    CBF_SKIP_UNREGISTRATIONS = 0x8,
};

enum class DdeTransaction {
    XTYP_CONNECT,
    XTYP_WILDCONNECT,
    XTYP_REQUEST,
    XTYP_ADVSTART,
    XTYP_ADVREQ,
    XTYP_ADVSTOP
};

enum class DdeNameService { DNS_REGISTER, DNS_UNREGISTER };

struct DdeTransactionArgs {
    DdeTransaction type;
    unsigned format;
    DdeHsz hsz1; // the topic
    DdeHsz hsz2; // the service (connects) or the item (everything else)
};

struct DdeReply {
    bool ok = false; // TRUE, or a data handle that is not null
    std::string text; // CF_TEXT data, without its terminating zero
    std::vector<std::pair<DdeHsz, DdeHsz>> pairs; // (service, topic), for wild connects
};

class DdeInstance : public QObject {
    Q_OBJECT

public:
    using Callback = std::function<DdeReply(const DdeTransactionArgs&)>;

    explicit DdeInstance(QObject* parent = nullptr);
    ~DdeInstance() override;

    // Connects to the session bus. False when there is none: no address in
    // the environment and no bus socket in the runtime folder, or the bus
    // refused the connection. Never starts a bus of its own.
    bool Initialize(Callback callback, unsigned filters);
    void Uninitialize(); // ends every link, releases the name, stops reconnecting

    bool isInitialized() const { return initialized_; }

    DdeHsz CreateStringHandle(const QString& text);
    void FreeStringHandle(DdeHsz hsz);
    QString queryString(DdeHsz hsz) const;

    // Register: own the bus name org.qm482.<service> and publish the object.
    // With a server name, several servers offer one service, as they may:
    // each owns org.qm482.<service>.<server name> alone and waits in the
    // queue of org.qm482.<service>, which one of them owns at a time.
    bool NameService(DdeHsz service, DdeNameService command);
    // Set before registering; kept until Uninitialize.
    void SetServerName(const QString& name) { serverName_ = name; }
    // Asks the callback for the data of every link to (topic, item) and sends
    // it to each linked client.
    bool PostAdvise(DdeHsz topic, DdeHsz item);

    int linkCount() const { return links_.size(); }
    // The object on the bus; more adaptors may be attached to it before the
    // name is registered.
    QObject* busObject() const { return busObject_; }
    QDBusConnection connection() const { return bus_.connection(); }

signals:
    void linksChanged();

private:
    // The calls of the bus interface come in through the adaptor only.
    friend class DdeAdaptor;
    QList<DdeTopicPair> BusWildConnect(const QString& service, const QString& topic);
    bool BusConnect(const QString& service, const QString& topic);
    QString BusRequest(
        const QString& topic, const QString& item, unsigned format, const QDBusMessage& message);
    bool BusStartAdvise(
        const QString& topic, const QString& item, unsigned format, const QDBusMessage& message);
    bool BusStopAdvise(
        const QString& topic, const QString& item, unsigned format, const QDBusMessage& message);

    class CallHandle;

    void DropAllLinks();
    DdeReply Call(DdeTransaction type, unsigned format, DdeHsz hsz1, DdeHsz hsz2);
    bool ConnectTest(DdeHsz topic);
    void ClientGone(const QString& client);
    void SendAdvise(const DdeLink& link);
    void FlushPendingAdvises();

    bool initialized_ = false;
    Callback callback_;
    unsigned filters_ = 0;
    DdeStringTable strings_;
    DdeLinkTable links_ { strings_ };
    DdeBusConnection bus_;
    QObject* busObject_ = nullptr;
    DdeHsz registeredService_;
    QString serverName_;
    int dispatching_ = 0;
    bool holdAdvises_ = false;
    std::vector<std::pair<DdeHsz, DdeHsz>> pendingAdvises_;
};
