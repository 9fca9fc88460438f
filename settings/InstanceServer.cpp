#include "settings/InstanceServer.h"

#include "platform/WindowRaise.h"

#include <QSocketNotifier>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace {

constexpr std::string_view kVerb = "raise";
constexpr std::string_view kAnswer = "ok\n";
constexpr std::size_t kLongestLine = 512;
constexpr int kMostClients = 8;
constexpr int kClientPatienceMs = 2000;

} // namespace

// One connected start: its line is read as it comes, then answered once.
class InstanceServer::Client : public QObject {
public:
    Client(int fd, InstanceServer& server)
        : QObject(&server)
        , fd_(fd)
        , server_(server)
        , notifier_(fd, QSocketNotifier::Read, this)
    {
        ++server_.clients_;
        connect(&notifier_, &QSocketNotifier::activated, this, [this] { OnReadable(); });
        QTimer::singleShot(kClientPatienceMs, this, [this] { Finish(); });
    }
    ~Client() override
    {
        --server_.clients_;
        if (fd_ >= 0)
            ::close(fd_);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

private:
    void OnReadable()
    {
        std::array<char, 128> buffer {};
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            if (n <= 0)
                break; // gone before its line ended
            line_.append(buffer.data(), static_cast<std::size_t>(n));
            if (const std::size_t end = line_.find('\n'); end != std::string::npos) {
                line_.resize(end);
                QString token;
                if (ParseRequest(line_, token)) {
                    ::send(fd_, kAnswer.data(), kAnswer.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
                    if (server_.raise_)
                        server_.raise_(token);
                }
                break;
            }
            if (line_.size() > kLongestLine)
                break;
        }
        Finish();
    }

    void Finish()
    {
        if (fd_ < 0)
            return;
        notifier_.setEnabled(false);
        ::close(fd_);
        fd_ = -1;
        deleteLater();
    }

    int fd_;
    InstanceServer& server_;
    QSocketNotifier notifier_;
    std::string line_;
};

InstanceServer::InstanceServer(int listener, Raise raise, QObject* parent)
    : QObject(parent)
    , raise_(std::move(raise))
{
    if (listener < 0)
        return;
    notifier_ = new QSocketNotifier(listener, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { OnListener(); });
}

InstanceServer::~InstanceServer() = default;

void InstanceServer::OnListener()
{
    for (;;) {
        const int fd = ::accept4(
            static_cast<int>(notifier_->socket()), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return; // EAGAIN: nobody else waits; other errors: next time
        }
        if (clients_ >= kMostClients) {
            ::close(fd);
            continue;
        }
        new Client(fd, *this);
    }
}

std::string InstanceServer::Request(const QString& activationToken)
{
    std::string request(kVerb);
    if (const QString token = CleanActivationToken(activationToken); !token.isEmpty())
        request += ' ' + token.toStdString();
    return request;
}

bool InstanceServer::ParseRequest(std::string_view line, QString& activationToken)
{
    activationToken.clear();
    if (line.substr(0, kVerb.size()) != kVerb)
        return false;
    line.remove_prefix(kVerb.size());
    if (line.empty())
        return true;
    if (line.front() != ' ')
        return false;
    activationToken = CleanActivationToken(QString::fromLatin1(line.substr(1)));
    return true;
}
