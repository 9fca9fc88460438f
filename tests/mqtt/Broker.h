#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>

// A real broker on a loopback port of the test's own, and subscribers as
// a user would run them. Everything is stopped when the objects go.
class Broker {
public:
    Broker()
        : port_(FreePort())
    {
        conf_ = dir_.filePath("mosquitto.conf");
        QFile f(conf_);
        f.open(QIODevice::WriteOnly);
        f.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n")
                    .arg(port_)
                    .toUtf8());
    }
    ~Broker() { Stop(); }

    int port() const { return port_; }

    bool Start()
    {
        process_.start(QStringLiteral("mosquitto"), { QStringLiteral("-c"), conf_ });
        if (!process_.waitForStarted(5000))
            return false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000) {
            if (Accepts())
                return true;
            QThread::msleep(20);
        }
        return false;
    }
    void Stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(2000);
    }

    // What a subscriber that comes now gets: the retained messages, as
    // "topic\tretained\tqos\tpayload" lines.
    QStringList Retained(const QStringList& topics, int count)
    {
        QProcess sub;
        QStringList args { QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
            QString::number(port_), QStringLiteral("-q"), QStringLiteral("1"), QStringLiteral("-F"),
            QStringLiteral("%t\t%r\t%q\t%p"), QStringLiteral("-C"), QString::number(count),
            QStringLiteral("-W"), QStringLiteral("3") };
        for (const QString& t : topics)
            args << QStringLiteral("-t") << t;
        sub.start(QStringLiteral("mosquitto_sub"), args);
        sub.waitForFinished(5000);
        return QString::fromUtf8(sub.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }

private:
    static int FreePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        ::close(fd);
        return ntohs(a.sin_port);
    }
    bool Accepts() const
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port_));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        return ok;
    }

    QTemporaryDir dir_;
    QString conf_;
    int port_;
    QProcess process_;
};

// Runs the event loop until `done` holds or the time is up.
inline bool SpinUntil(const std::function<bool()>& done, int ms = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}
