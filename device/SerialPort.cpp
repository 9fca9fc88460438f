#include "device/SerialPort.h"

#include "device/NetworkConnector.h"
#include "device/SerialPortOwner.h"
#include "device/SystemCalls.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

speed_t speedFor(int baud)
{
    switch (baud) {
    case 50:
        return B50;
    case 75:
        return B75;
    case 110:
        return B110;
    case 150:
        return B150;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return 0;
    }
}

tcflag_t sizeFor(int dataBits)
{
    switch (dataBits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    case 8:
        return CS8;
    default:
        return 0;
    }
}

std::uint8_t comPortParity(char parity)
{
    switch (parity) {
    case 'O':
    case 'o':
        return 2;
    case 'E':
    case 'e':
        return 3;
    default:
        return 1;
    }
}

} // namespace

SerialPort::SerialPort()
    : SerialPort(SystemCalls::Real(), PortRoots::System())
{
}

SerialPort::SerialPort(SystemCalls& calls, PortRoots roots)
    : calls_(calls)
    , roots_(std::move(roots))
{
}

SerialPort::~SerialPort()
{
    {
        std::lock_guard lock(lock_);
        if (fd_ >= 0 && !network_)
            SetModemLines(false);
    }
    StopMonitoring();
    CloseDevice();
}

bool SerialPort::Open(SerialPortOwner* owner, int portNumber, int baud, char parity, int dataBits,
    int stopBits, unsigned eventMask)
{
    // A second Open replaces the first port entirely.
    StopMonitoring();
    CloseDevice();

    owner_ = owner;
    portNumber_ = portNumber;
    baud_ = baud;
    parity_ = parity;
    dataBits_ = dataBits;
    stopBits_ = stopBits;
    eventMask_ = eventMask;
    network_.reset();
    telnet_.reset();

    std::lock_guard lock(lock_);
    const PortDevice device = PortNames::Device(portNumber, roots_);
    devicePath_ = device.path;
    if (devicePath_.empty())
        return false;
    if (device.linked) {
        // A link may name a server instead of a device; it leads nowhere.
        std::error_code ec;
        const std::string target = std::filesystem::read_symlink(devicePath_, ec).string();
        if (!ec && NetworkAddress::LooksLikeAddress(target)) {
            network_ = NetworkAddress::Parse(target);
            if (!network_) {
                errno = EINVAL;
                return false;
            }
            return true;
        }
    }
    fd_ = calls_.Open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return false;
    // Not shared with another instance, even one run by root, which the
    // exclusive flag below does not stop: two readers would split the bytes.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        calls_.Close(fd_);
        fd_ = -1;
        errno = EBUSY;
        return false;
    }
    // Not shared with other programs; a device that refuses is still used.
    calls_.Ioctl(fd_, TIOCEXCL, nullptr);
    Configure(baud, parity, dataBits, stopBits);
    SetModemLines(true);
    calls_.Flush(fd_, TCIOFLUSH);
    return true;
}

void SerialPort::Configure(int baud, char parity, int dataBits, int stopBits)
{
    termios t {};
    if (calls_.GetAttributes(fd_, &t) != 0)
        return;
    const speed_t speed = speedFor(baud);
    const tcflag_t size = sizeFor(dataBits);
    if (speed == 0 || size == 0 || (stopBits != 1 && stopBits != 2))
        return;
    cfmakeraw(&t);
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= size | CREAD | CLOCAL;
    switch (parity) {
    case 'N':
    case 'n':
        break;
    case 'E':
    case 'e':
        t.c_cflag |= PARENB;
        break;
    case 'O':
    case 'o':
        t.c_cflag |= PARENB | PARODD;
        break;
    default:
        return;
    }
    if (stopBits == 2)
        t.c_cflag |= CSTOPB;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    calls_.SetAttributes(fd_, TCSANOW, &t);
}

void SerialPort::SetModemLines(bool raised)
{
    int bits = TIOCM_DTR | TIOCM_RTS;
    calls_.Ioctl(fd_, raised ? TIOCMBIS : TIOCMBIC, &bits);
}

bool SerialPort::StartMonitoring()
{
    if ((fd_ < 0 && !network_) || monitor_.joinable())
        return false;
    stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0)
        return false;
    // Whatever came between Open and now is a stale half frame. Purged here
    // rather than on the new thread, so a byte that arrives after this call
    // returns is always delivered.
    if (!network_) {
        std::lock_guard lock(lock_);
        calls_.Flush(fd_, TCIOFLUSH);
    }
    gate_ = DeliveryGate::Create();
    running_ = true;
    try {
        monitor_ = std::thread(&SerialPort::MonitorThread, this);
    } catch (...) {
        running_ = false;
        return false;
    }
    return true;
}

void SerialPort::StopMonitoring()
{
    if (gate_)
        gate_->Stop(); // releases a delivery the owner has not handled yet
    if (stopFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(stopFd_, &one, sizeof one);
    }
    if (monitor_.joinable())
        monitor_.join();
    if (stopFd_ >= 0) {
        ::close(stopFd_);
        stopFd_ = -1;
    }
    gate_.reset();
}

void SerialPort::CloseDevice()
{
    std::lock_guard lock(lock_);
    if (fd_ >= 0) {
        // The exclusive flag belongs to the device, not to this descriptor:
        // on a pseudo-terminal it outlives the close and keeps every other
        // user out until the far end goes away.
        if (!network_)
            calls_.Ioctl(fd_, TIOCNXCL, nullptr);
        calls_.Close(fd_);
        fd_ = -1;
    }
}

void SerialPort::MonitorThread()
{
    std::vector<std::uint8_t> pending;
    pending.reserve(kChunkBytes);
    bool lost = false;
    if (!network_ || Connect(lost))
        Monitor(pending, lost);
    // The bytes read before the loss come first.
    if (lost && owner_ != nullptr && !gate_->Stopped()
        && (pending.empty() || Deliver(pending, pending.size())))
        owner_->PostDeviceLost(gate_->IssueLoss());
    running_ = false;
}

bool SerialPort::Connect(bool& lost)
{
    const int fd = NetworkConnector::Connect(*network_, stopFd_);
    if (fd < 0) {
        // Refused, unreachable, not resolved, timed out: like a device that
        // is not there yet, so the owner tries again.
        lost = errno != ECANCELED;
        return false;
    }
    {
        std::lock_guard lock(lock_);
        fd_ = fd;
    }
    if (network_->protocol == NetworkAddress::Protocol::Telnet) {
        TelnetComPort::Line line;
        line.baud = static_cast<std::uint32_t>(baud_);
        line.dataSize = static_cast<std::uint8_t>(dataBits_);
        line.parity = comPortParity(parity_);
        line.stopSize = static_cast<std::uint8_t>(stopBits_);
        telnet_ = std::make_unique<TelnetComPort>(line);
        SendReplies(telnet_->Start());
    }
    return true;
}

void SerialPort::SendReplies(const std::vector<std::uint8_t>& replies)
{
    std::size_t done = 0;
    while (done < replies.size()) {
        const ssize_t n = ::send(
            fd_, replies.data() + done, replies.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // full or broken: the read says which
        done += static_cast<std::size_t>(n);
    }
}

void SerialPort::Monitor(std::vector<std::uint8_t>& pending, bool& lost)
{
    const short wanted = (eventMask_ & EV_RXCHAR) != 0 ? POLLIN : 0;
    for (;;) {
        if (!DeliverLines(pending))
            break;
        // Stop first in the list: it wins when both are ready.
        pollfd fds[2] = { { stopFd_, POLLIN, 0 }, { fd_, wanted, 0 } };
        const int ready = calls_.Poll(fds, 2, pending.empty() ? -1 : kQuietMs);
        if (ready < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            break;
        }
        if ((fds[0].revents & POLLIN) != 0 || gate_->Stopped())
            break;
        if (ready == 0) {
            // The line went quiet in the middle of a line.
            if (!Deliver(pending, pending.size()))
                break;
            continue;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            if (!ReadPending(pending, lost))
                break;
            continue;
        }
        // Hang-up or error without data: the device is gone. Polling again
        // would return at once forever.
        if ((fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            lost = true;
            break;
        }
    }
}

bool SerialPort::ReadPending(std::vector<std::uint8_t>& pending, bool& lost)
{
    // DeliverLines leaves fewer than kChunkBytes behind, so there is room.
    std::uint8_t buffer[kChunkBytes];
    const std::size_t room = kChunkBytes - pending.size();
    for (;;) {
        ssize_t n = 0;
        int error = 0;
        {
            std::lock_guard lock(lock_);
            n = calls_.Read(fd_, buffer, room);
            error = n < 0 ? errno : 0;
        }
        if (n > 0) {
            if (telnet_) {
                replies_.clear();
                telnet_->Receive(buffer, static_cast<std::size_t>(n), pending, replies_);
                SendReplies(replies_);
            } else {
                pending.insert(pending.end(), buffer, buffer + n);
            }
            return true;
        }
        if (n < 0 && error == EINTR)
            continue;
        if (n < 0 && (error == EAGAIN || error == EWOULDBLOCK))
            return true; // nothing after all; wait for more
        // End of file or a read error (EIO after a hang-up).
        lost = true;
        return false;
    }
}

bool SerialPort::DeliverLines(std::vector<std::uint8_t>& pending)
{
    for (;;) {
        const auto cr = std::find(pending.begin(), pending.end(), std::uint8_t { 0x0D });
        std::size_t count = 0;
        if (cr != pending.end())
            count = static_cast<std::size_t>(cr - pending.begin()) + 1;
        else if (pending.size() >= kChunkBytes)
            count = kChunkBytes;
        else
            return true;
        if (!Deliver(pending, count))
            return false;
    }
}

bool SerialPort::Deliver(std::vector<std::uint8_t>& pending, std::size_t count)
{
    const auto end = pending.begin() + static_cast<std::ptrdiff_t>(count);
    if (owner_ == nullptr) {
        pending.erase(pending.begin(), end);
        return true;
    }
    std::vector<std::uint8_t> bytes(pending.begin(), end);
    pending.erase(pending.begin(), end);
    owner_->PostBytes(gate_->IssueBytes(std::move(bytes)));
    return gate_->WaitHandled();
}
