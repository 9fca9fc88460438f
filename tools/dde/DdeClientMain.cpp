// qm482-dde: lists the topics of the QM482 service, requests an item, or
// watches one. Exit codes: 0 done, 1 refused by the server, 2 wrong usage,
// 3 the service is not running, 4 no session bus, 5 other bus error.
//
// Each running instance serves one meter under a name of its own,
// org.qm482.QM482.Meter<n>; one of them also owns org.qm482.QM482. The
// topics are asked of every instance; an item goes to the instance of the
// topic's serial number, else to the shared name.
#include "AdviseWatcher.h"
#include "common/MeterName.h"
#include "platform/DdeBusConnection.h"
#include "platform/DdeInstance.h"
#include "platform/DdeTopicPair.h"
#include "resources/DdeTexts.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QSocketNotifier>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

enum Exit {
    ExitOk = 0,
    ExitRefused = 1,
    ExitUsage = 2,
    ExitNoService = 3,
    ExitNoBus = 4,
    ExitBusError = 5
};

const QString BusName = QStringLiteral("org.qm482.QM482");

void Print(std::FILE* to, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), to);
}

void PrintLine(const QString& text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

bool NoService(const QDBusError& error)
{
    return error.type() == QDBusError::ServiceUnknown
        || error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
}

// Reports a failed call and returns its exit code.
int Failure(const QDBusError& error)
{
    if (NoService(error)) {
        Print(stderr, texts::dde::ToolNoService);
        return ExitNoService;
    }
    const QByteArray message = error.message().toUtf8() + '\n';
    if (error.name() == QLatin1String(dde_bus::ErrorRefused)) {
        Print(stderr, texts::dde::ToolRefused);
        Print(stderr, std::string_view(message.constData(), static_cast<size_t>(message.size())));
        return ExitRefused;
    }
    Print(stderr, texts::dde::ToolFailed);
    Print(stderr, std::string_view(message.constData(), static_cast<size_t>(message.size())));
    return ExitBusError;
}

constexpr int CallTimeoutMs = 10000;

QDBusMessage MethodCall(const QString& server, const QString& method, const QVariantList& args)
{
    QDBusMessage call = QDBusMessage::createMethodCall(server,
        QString::fromLatin1(dde_bus::ObjectPath), QString::fromLatin1(dde_bus::Interface), method);
    call.setArguments(args);
    return call;
}

QDBusMessage Call(const QDBusConnection& bus, const QString& server, const QString& method,
    const QVariantList& args)
{
    return bus.call(MethodCall(server, method, args), QDBus::Block, CallTimeoutMs);
}

// Every instance's own name, in the order of the serial numbers, then the
// shared name (an instance that owns no name of its own is found there).
QStringList Servers(const QStringList& names)
{
    const QString under = BusName + QLatin1Char('.')
        + QString::fromLatin1(
            kMeterNamePrefix.data(), static_cast<qsizetype>(kMeterNamePrefix.size()));
    QStringList servers;
    for (const QString& name : names) {
        if (name.startsWith(under))
            servers << name;
    }
    // Shorter numbers first: decimal digits then sort as numbers.
    std::sort(servers.begin(), servers.end(), [](const QString& a, const QString& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    servers << BusName;
    return servers;
}

// The instance serving the topic's meter; the shared name when the topic
// carries no serial number or no instance serves that meter.
QString ServerOf(const QDBusConnection& bus, const QString& topic)
{
    const std::optional<std::string> meter = MeterServerNameOfTopic(topic.toStdString());
    if (!meter)
        return BusName;
    const QString own = BusName + QLatin1Char('.') + QString::fromStdString(*meter);
    const QDBusReply<bool> registered = bus.interface()->isServiceRegistered(own);
    return registered.isValid() && registered.value() ? own : BusName;
}

int Topics(const QDBusConnection& bus)
{
    const QDBusReply<QStringList> names = bus.interface()->registeredServiceNames();
    if (!names.isValid())
        return Failure(names.error());
    // All asked at once: an instance slow to answer holds up only itself.
    std::vector<QDBusPendingCall> calls;
    for (const QString& server : Servers(names.value())) {
        calls.push_back(bus.asyncCall(
            MethodCall(server, QStringLiteral("WildConnect"), { QString(), QString() }),
            CallTimeoutMs));
    }
    QStringList topics;
    bool answered = false;
    std::optional<QDBusError> gone;
    std::optional<QDBusError> failed;
    for (QDBusPendingCall& call : calls) {
        call.waitForFinished();
        const QDBusPendingReply<QList<DdeTopicPair>> reply = call;
        if (reply.isError()) {
            // An instance that ended between the listing and the call is
            // simply not there; any other error is told.
            std::optional<QDBusError>& kept = NoService(reply.error()) ? gone : failed;
            if (!kept)
                kept = reply.error();
            continue;
        }
        // The owner of the shared name is also asked under its own name.
        for (const DdeTopicPair& pair : reply.value()) {
            if (!topics.contains(pair.topic))
                topics << pair.topic;
        }
        answered = true;
    }
    for (const QString& topic : topics)
        PrintLine(topic);
    if (failed)
        return Failure(*failed);
    if (!answered && gone)
        return Failure(*gone);
    return ExitOk;
}

int Get(const QDBusConnection& bus, const QString& topic, const QString& item)
{
    const QDBusReply<QString> reply
        = Call(bus, ServerOf(bus, topic), QStringLiteral("Request"), { topic, item, CF_TEXT });
    if (!reply.isValid())
        return Failure(reply.error());
    PrintLine(reply.value());
    return ExitOk;
}

int stopPipe[2] = { -1, -1 };

void OnStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(stopPipe[1], &byte, 1);
}

int Watch(QCoreApplication& app, QDBusConnection bus, const QString& topic, const QString& item)
{
    AdviseWatcher watcher(topic, item);
    const QString server = ServerOf(bus, topic);
    // Connect first, so that the advise sent at once on StartAdvise is seen.
    bus.connect(server, QString::fromLatin1(dde_bus::ObjectPath),
        QString::fromLatin1(dde_bus::Interface), QStringLiteral("Advise"), &watcher,
        SLOT(OnAdvise(QString, QString, QString)));
    // The link lives in the instance that owns the name now: when it lets the
    // name go, the link is gone, even if the shared name passes on to another.
    QDBusServiceWatcher gone(server, bus, QDBusServiceWatcher::WatchForOwnerChange);
    int result = ExitOk;
    QObject::connect(&gone, &QDBusServiceWatcher::serviceOwnerChanged, &app,
        [&](const QString&, const QString& oldOwner, const QString&) {
            if (oldOwner.isEmpty())
                return;
            Print(stderr, texts::dde::ToolLost);
            result = ExitNoService;
            app.quit();
        });
    // A bus that dies sends no word of the service going: only the
    // connection itself says it is gone.
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
        QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), &watcher,
        SLOT(OnDisconnected()));
    QObject::connect(&watcher, &AdviseWatcher::busLost, &app, [&] {
        Print(stderr, texts::dde::ToolNoBus);
        result = ExitNoBus;
        app.quit();
    });

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stopPipe) != 0)
        return ExitBusError;
    QSocketNotifier stop(stopPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, [&] { app.quit(); });
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);

    const QDBusReply<bool> reply
        = Call(bus, server, QStringLiteral("StartAdvise"), { topic, item, CF_TEXT });
    if (!reply.isValid())
        return Failure(reply.error());
    if (!reply.value()) {
        Print(stderr, texts::dde::ToolRefused);
        const QByteArray what = (topic + QLatin1Char(' ') + item).toUtf8() + '\n';
        Print(stderr, std::string_view(what.constData(), static_cast<size_t>(what.size())));
        return ExitRefused;
    }
    app.exec();
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString command = args.value(0);
    const bool known = (command == QLatin1String("topics") && args.size() == 1)
        || ((command == QLatin1String("get") || command == QLatin1String("watch"))
            && args.size() == 3);
    if (!known) {
        Print(stderr, texts::dde::ToolUsage);
        return ExitUsage;
    }
    if (!DdeBusConnection::sessionBusReachable()) {
        Print(stderr, texts::dde::ToolNoBus);
        return ExitNoBus;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Print(stderr, texts::dde::ToolNoBus);
        return ExitNoBus;
    }
    RegisterDdeTopicPair();
    if (command == QLatin1String("topics"))
        return Topics(bus);
    if (command == QLatin1String("get"))
        return Get(bus, args[1], args[2]);
    return Watch(app, bus, args[1], args[2]);
}
