// qm482-dde: lists the topics of the QM482 service, requests an item, or
// watches one. Exit codes: 0 done, 1 refused by the server, 2 wrong usage,
// 3 the service is not running, 4 no session bus, 5 other bus error.
#include "AdviseWatcher.h"
#include "platform/DdeBusConnection.h"
#include "platform/DdeInstance.h"
#include "platform/DdeTopicPair.h"
#include "resources/DdeTexts.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

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

// Reports a failed call and returns its exit code.
int Failure(const QDBusError& error)
{
    if (error.type() == QDBusError::ServiceUnknown
        || error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
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

QDBusMessage Call(const QDBusConnection& bus, const QString& method, const QVariantList& args)
{
    QDBusMessage call = QDBusMessage::createMethodCall(BusName,
        QString::fromLatin1(dde_bus::ObjectPath), QString::fromLatin1(dde_bus::Interface), method);
    call.setArguments(args);
    return bus.call(call, QDBus::Block, 10000);
}

int Topics(const QDBusConnection& bus)
{
    const QDBusReply<QList<DdeTopicPair>> reply
        = Call(bus, QStringLiteral("WildConnect"), { QString(), QString() });
    if (!reply.isValid())
        return Failure(reply.error());
    for (const DdeTopicPair& pair : reply.value())
        PrintLine(pair.topic);
    return ExitOk;
}

int Get(const QDBusConnection& bus, const QString& topic, const QString& item)
{
    const QDBusReply<QString> reply
        = Call(bus, QStringLiteral("Request"), { topic, item, CF_TEXT });
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
    // Connect first, so that the advise sent at once on StartAdvise is seen.
    bus.connect(BusName, QString::fromLatin1(dde_bus::ObjectPath),
        QString::fromLatin1(dde_bus::Interface), QStringLiteral("Advise"), &watcher,
        SLOT(OnAdvise(QString, QString, QString)));
    QDBusServiceWatcher gone(BusName, bus, QDBusServiceWatcher::WatchForUnregistration);
    int result = ExitOk;
    QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered, &app, [&] {
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
        = Call(bus, QStringLiteral("StartAdvise"), { topic, item, CF_TEXT });
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
