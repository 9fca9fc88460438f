// A small DDEML-like layer over the D-Bus session bus: an instance with a
// callback and filter flags, case-insensitive string handles, a name service
// and advise links kept per client. Each incoming call on the interface
// org.qm482.Dde1 becomes a transaction handed to the callback.
//
// Each instance has a bus connection of its own. When the bus goes away (its
// daemon restarted), the links die with their clients and the instance
// connects again every few seconds; once back, it publishes its object and
// takes its name again, so clients on the new bus find the service.
#pragma once

#include "platform/DdeTopicPair.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QDBusMessage;
class QDBusServiceWatcher;
class QTimer;

namespace DdeBus {
inline constexpr char ObjectPath[] = "/org/qm482/QM482";
inline constexpr char Interface[] = "org.qm482.Dde1";
inline constexpr char ErrorRefused[] = "org.qm482.Dde1.Error.Refused";
inline constexpr char BusNamePrefix[] = "org.qm482.";
} // namespace DdeBus

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

// A string handle. Two handles made from names that differ only in letter
// case are the same handle. The null handle means "not given".
struct DdeHsz {
    unsigned id = 0;
    explicit operator bool() const { return id != 0; }
    friend bool operator==(DdeHsz a, DdeHsz b) { return a.id == b.id; }
};

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
    // A session bus address in the environment, or the runtime folder's bus
    // socket. Without either the bus library would try to launch a bus through
    // X11; on a console or over ssh that must fail at once instead.
    static bool SessionBusReachable();
    // How often a lost bus is tried again.
    static constexpr int ReconnectMs = 2000;

    bool IsInitialized() const { return initialized_; }

    DdeHsz CreateStringHandle(const QString& text);
    void FreeStringHandle(DdeHsz hsz);
    QString QueryString(DdeHsz hsz) const;

    // Register: own the bus name org.qm482.<service> and publish the object.
    bool NameService(DdeHsz service, DdeNameService command);
    // Asks the callback for the data of every link to (topic, item) and sends
    // it to each linked client.
    bool PostAdvise(DdeHsz topic, DdeHsz item);

    int LinkCount() const { return static_cast<int>(links_.size()); }
    // The object on the bus; more adaptors may be attached to it before the
    // name is registered.
    QObject* BusObject() const { return busObject_; }
    QDBusConnection Connection() const { return connection_; }

    // Calls of the bus interface (from the adaptor).
    QList<DdeTopicPair> BusWildConnect(const QString& service, const QString& topic);
    bool BusConnect(const QString& service, const QString& topic);
    QString BusRequest(
        const QString& topic, const QString& item, unsigned format, const QDBusMessage& message);
    bool BusStartAdvise(
        const QString& topic, const QString& item, unsigned format, const QDBusMessage& message);
    bool BusStopAdvise(
        const QString& topic, const QString& item, unsigned format, const QDBusMessage& message);

signals:
    void linksChanged();

private slots:
    // The connection's local Disconnected signal: the bus daemon is gone.
    void BusLost();

private:
    struct Atom {
        QString text;
        std::string key;
        int references = 0;
    };
    struct Link {
        QString client; // unique bus name
        DdeHsz topic;
        DdeHsz item;
        unsigned format;
        QString topicText; // as the client spelled them
        QString itemText;
    };

    class CallHandle;

    bool OpenConnection();
    void CloseConnection();
    bool Publish(const QString& busName);
    void DropAllLinks();
    void TryReconnect();

    DdeReply Call(DdeTransaction type, unsigned format, DdeHsz hsz1, DdeHsz hsz2);
    bool ConnectTest(DdeHsz topic);
    void ClientGone(const QString& client);
    void SendAdvise(const Link& link);
    void FlushPendingAdvises();

    bool initialized_ = false;
    Callback callback_;
    unsigned filters_ = 0;
    QString connectionName_;
    QDBusConnection connection_;
    QObject* busObject_ = nullptr;
    QDBusServiceWatcher* watcher_ = nullptr;
    QTimer* reconnect_ = nullptr;
    std::map<unsigned, Atom> atoms_;
    unsigned nextAtom_ = 1;
    DdeHsz registeredService_;
    QString registeredBusName_;
    std::vector<Link> links_;
    int dispatching_ = 0;
    bool holdAdvises_ = false;
    std::vector<std::pair<DdeHsz, DdeHsz>> pendingAdvises_;
};
