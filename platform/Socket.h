// A thin IPv4 datagram socket layer. Everything the tool and its helper
// programs do with sockets goes through these functions, so that another
// operating system's socket API can sit behind the same declarations.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

using SocketHandle = int;
constexpr SocketHandle kInvalidSocket = -1;

// An IPv4 address and port, both in host byte order.
struct Ipv4Endpoint {
    std::uint32_t address = 0;  // first dotted part in the highest byte
    std::uint16_t port = 0;

    static constexpr std::uint32_t kAny = 0;
    static constexpr std::uint32_t kLimitedBroadcast = 0xFFFFFFFFu;
    static constexpr std::uint32_t kLoopback = 0x7F000001u;

    // "a.b.c.d" without the port.
    std::string AddressText() const;
    // Parses strict dotted decimal ("10.231.0.2"); false when malformed.
    static bool ParseAddress(const std::string& text, std::uint32_t& address);
    bool operator==(const Ipv4Endpoint&) const = default;
};

// Socket library reference (start-up / clean-up). Always available here;
// kept so callers balance it as a platform that needs it expects.
bool SocketLibraryStartup();
void SocketLibraryCleanup();

// Creates an IPv4 datagram socket; kInvalidSocket on failure.
SocketHandle CreateDatagramSocket();
bool SetBroadcast(SocketHandle socket, bool enabled);
bool SetReceiveBufferSize(SocketHandle socket, int bytes);
bool SetSendBufferSize(SocketHandle socket, int bytes);
// A receive that waits longer than the timeout returns ReceiveStatus::kTimeout.
bool SetReceiveTimeout(SocketHandle socket, std::chrono::milliseconds timeout);
bool SetTimeToLive(SocketHandle socket, int hops);
// Binds to any local interface and the given port (0: the system picks one).
bool BindAny(SocketHandle socket, std::uint16_t port);
// The address and port the socket is bound to.
bool LocalEndpoint(SocketHandle socket, Ipv4Endpoint& endpoint);

// Sends one datagram. Returns the number of bytes sent, or -1 on failure.
long SendTo(SocketHandle socket, const void* data, std::size_t length, const Ipv4Endpoint& to);

enum class ReceiveStatus {
    kData,       // a datagram (possibly empty) was received
    kTimeout,    // the receive timeout passed without a datagram
    kTruncated,  // a datagram longer than the buffer arrived; its bytes are lost
    kShutDown,   // the socket was shut down for receiving
    kError,      // any other failure
};

// Receives one datagram of at most capacity bytes and the sender's address.
ReceiveStatus ReceiveFrom(SocketHandle socket, void* buffer, std::size_t capacity,
                          std::size_t& received, Ipv4Endpoint& from);

// Waits until a datagram can be read: 1 readable, 0 timeout, -1 failure.
int WaitReadable(SocketHandle socket, std::chrono::milliseconds timeout);

// Shuts the socket down in both directions, which wakes a receive that is
// waiting on another thread. The handle stays valid until CloseSocket.
bool ShutdownSocket(SocketHandle socket);
bool CloseSocket(SocketHandle socket);

// Text of the last socket failure of this thread (for diagnostics).
std::string LastSocketErrorText();

// Tests only: makes one operation fail the way the system would report it,
// on every thread, until the fault is set back to kNone. kCloseSocket closes
// the handle all the same (so nothing leaks) but reports failure; the three
// host faults make LookUpHostAddress report that status.
enum class SocketFault {
    kNone,
    kCreateSocket,
    kSetBroadcast,
    kSetReceiveBufferSize,
    kSetSendBufferSize,
    kSetReceiveTimeout,
    kSetTimeToLive,
    kBind,
    kReceive,
    kCloseSocket,
    kHostName,
    kHostResolve,
    kHostAddress,
};
void SetSocketFaultForTesting(SocketFault fault);

// The PC's own IPv4 address.
enum class HostLookupStatus {
    kFound,
    kNoHostName,     // the host name could not be read
    kNotResolvable,  // the host name could not be resolved
    kNoAddress,      // resolved, but no usable IPv4 address
};
struct HostLookupResult {
    HostLookupStatus status = HostLookupStatus::kNoAddress;
    std::string address;  // dotted text; empty unless kFound
};
// Resolves the host name. When the name resolves only to loopback addresses
// (a common host file entry), the first IPv4 address of a non-loopback
// interface that is up is taken instead; when there is none, kNoAddress.
HostLookupResult LookUpHostAddress();

}  // namespace platform
