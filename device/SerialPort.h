#pragma once

#include "device/DeliveryGate.h"
#include "device/NetworkAddress.h"
#include "device/PortNames.h"
#include "device/TelnetComPort.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class SerialPortOwner;
class SystemCalls;

// One COM port for the meter: opens and configures the line on termios and
// runs a monitor thread that hands the received bytes to the owner a line at
// a time (up to and including the carriage return; what it has when the line
// goes quiet; at most kChunkBytes) and waits until the owner has handled
// them. One hand-over per frame rather than per byte keeps the owner's
// thread asleep between frames. Deleting the object is the only way to
// close the port.
//
// A COMn link whose target is a network address ("tcp://HOST:PORT",
// "rfc2217://HOST:PORT", see NetworkAddress) makes the port a connection to
// a serial device server: the monitor thread connects (bounded by a
// timeout, stopped at once by the port's deletion) and then reads the
// socket on the same road. A connection that fails or ends is reported as a
// lost device.
class SerialPort {
public:
    static constexpr unsigned EV_RXCHAR = 1; // event mask bit: character received
    // Bytes without a carriage return handed over at once (noise, an overlong line).
    static constexpr std::size_t kChunkBytes = 256;
    // Silence after which bytes without a carriage return are handed over:
    // three character times at 300 baud, so a frame arriving at the line's
    // pace is never cut.
    static constexpr int kQuietMs = 100;

    SerialPort();
    // Tests pass their own system calls and port roots.
    SerialPort(SystemCalls& calls, PortRoots roots);
    ~SerialPort();

    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens port n read-write, non-blocking, not as controlling terminal,
    // exclusively until it is closed (another instance is refused even when
    // run by root), and sets the line (raw, given baud,
    // parity 'N'/'E'/'O', data bits, stop bits, no flow control), raises DTR
    // and RTS and flushes both queues. True once the device is open, even when a configuration
    // step was refused; false only if the device could not be opened. A
    // network port is only noted here (true); the monitor thread connects.
    // A link target with a scheme that is not a valid address fails with
    // EINVAL.
    bool Open(SerialPortOwner* owner, int portNumber, int baud, char parity, int dataBits,
        int stopBits, unsigned eventMask);
    // Starts the monitor thread; false without an open port or if the thread
    // cannot be created.
    bool StartMonitoring();

    // True while the monitor thread runs (it ends on stop or device loss).
    bool monitoring() const { return running_.load(); }
    int portNumber() const { return portNumber_; }
    const std::string& devicePath() const { return devicePath_; }
    // The server of a network port; nothing for a local device.
    const std::optional<NetworkAddress>& networkAddress() const { return network_; }

private:
    void Configure(int baud, char parity, int dataBits, int stopBits);
    void SetModemLines(bool raised);
    void StopMonitoring();
    void CloseDevice();
    void MonitorThread();
    // The monitor thread's loop over the open descriptor.
    void Monitor(std::vector<std::uint8_t>& pending, bool& lost);
    // Reads what is waiting into `pending`; false when the thread must end,
    // with `lost` telling whether the device went away.
    bool ReadPending(std::vector<std::uint8_t>& pending, bool& lost);
    // Hands over every complete line in `pending`, and a full chunk without
    // a carriage return; false when the port was stopped meanwhile.
    bool DeliverLines(std::vector<std::uint8_t>& pending);
    // Hands over the first `count` bytes and waits until they are handled.
    bool Deliver(std::vector<std::uint8_t>& pending, std::size_t count);
    // The monitor thread's connection of a network port; false when it ends
    // without one (`lost` false when stopped).
    bool Connect(bool& lost);
    // Sends Telnet answers without waiting; what the socket cannot take now
    // is dropped (a server that floods commands and never reads).
    void SendReplies(const std::vector<std::uint8_t>& replies);

    SystemCalls& calls_;
    PortRoots roots_;
    int portNumber_ = 0;
    int baud_ = 0;
    char parity_ = 'N';
    int dataBits_ = 8;
    int stopBits_ = 1;
    std::optional<NetworkAddress> network_;
    std::unique_ptr<TelnetComPort> telnet_;
    std::vector<std::uint8_t> replies_;
    unsigned eventMask_ = 0;
    SerialPortOwner* owner_ = nullptr;
    std::string devicePath_;

    std::mutex lock_; // guards fd_ during open and each read; never held while delivering
    int fd_ = -1;
    int stopFd_ = -1;
    std::shared_ptr<DeliveryGate> gate_;
    std::thread monitor_;
    std::atomic<bool> running_ { false };
};
