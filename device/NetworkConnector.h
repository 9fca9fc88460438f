#pragma once

#include "device/NetworkAddress.h"

// Opens the TCP connection of a network port on the calling thread (the
// port's monitor thread), never for longer than the timeout and ending at
// once when the stop descriptor becomes readable. A name is resolved on a
// thread of its own that is left behind when the wait ends first, since the
// resolver cannot be interrupted; only a few are ever left at a time.
class NetworkConnector {
public:
    static constexpr int kTimeoutMs = 5000;
    static constexpr int kMaxResolvers = 4;

    // A connected, non-blocking socket with keep-alive on, or -1 with errno
    // set: ECANCELED when stopped, ETIMEDOUT, EHOSTUNREACH for a name that
    // does not resolve, or the connect's own error (ECONNREFUSED ...).
    static int Connect(const NetworkAddress& address, int stopFd, int timeoutMs = kTimeoutMs);
};
