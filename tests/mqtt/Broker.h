#pragma once

#include "Child.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

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
        process_ = std::make_unique<Child>(
            std::vector<std::string> { "mosquitto", "-c", conf_.toStdString() });
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000 && process_->Running()) {
            if (Accepts())
                return true;
            process_->Wait(20);
        }
        return false;
    }
    void Stop()
    {
        if (!process_ || !process_->Running())
            return;
        process_->Kill(SIGTERM);
        if (!process_->Wait(5000))
            process_->Kill(SIGKILL);
        process_->Wait(2000);
    }

    // What a subscriber that comes now gets: the retained messages, as
    // "topic\tretained\tqos\tpayload" lines.
    QStringList Retained(const QStringList& topics, int count)
    {
        std::vector<std::string> args { "mosquitto_sub", "-h", "127.0.0.1", "-p",
            std::to_string(port_), "-q", "1", "-F", "%t\t%r\t%q\t%p", "-C", std::to_string(count),
            "-W", "3" };
        for (const QString& t : topics) {
            args.emplace_back("-t");
            args.push_back(t.toStdString());
        }
        Child sub(args);
        sub.Wait(5000);
        return QString::fromStdString(sub.output()).split('\n', Qt::SkipEmptyParts);
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
    std::unique_ptr<Child> process_;
};
