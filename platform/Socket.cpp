#include "platform/Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <vector>

namespace platform {

namespace {

sockaddr_in ToSockaddr(const Ipv4Endpoint& endpoint)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    address.sin_addr.s_addr = htonl(endpoint.address);
    return address;
}

Ipv4Endpoint FromSockaddr(const sockaddr_in& address)
{
    Ipv4Endpoint endpoint;
    endpoint.address = ntohl(address.sin_addr.s_addr);
    endpoint.port = ntohs(address.sin_port);
    return endpoint;
}

bool SetIntOption(SocketHandle socket, int level, int name, int value)
{
    return ::setsockopt(socket, level, name, &value, sizeof value) == 0;
}

bool IsLoopback(std::uint32_t address) { return (address >> 24) == 127; }

std::atomic<SocketFault> g_fault{SocketFault::kNone};

// True (with errno set) when the fault for this operation is set.
bool Faulted(SocketFault operation)
{
    if (g_fault.load() != operation)
        return false;
    errno = EINVAL;
    return true;
}

}  // namespace

std::string Ipv4Endpoint::AddressText() const
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", (address >> 24) & 0xFF, (address >> 16) & 0xFF,
                  (address >> 8) & 0xFF, address & 0xFF);
    return text;
}

bool Ipv4Endpoint::ParseAddress(const std::string& text, std::uint32_t& address)
{
    std::uint32_t result = 0;
    int parts = 0;
    std::size_t pos = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 3) {
            value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || value > 255)
            return false;
        result = (result << 8) | value;
        ++parts;
        if (parts < 4) {
            if (pos >= text.size() || text[pos] != '.')
                return false;
            ++pos;
        }
    }
    if (pos != text.size())
        return false;
    address = result;
    return true;
}

bool SocketLibraryStartup() { return true; }
void SocketLibraryCleanup() {}

SocketHandle CreateDatagramSocket()
{
    if (Faulted(SocketFault::kCreateSocket))
        return kInvalidSocket;
    int handle = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    return handle < 0 ? kInvalidSocket : handle;
}

bool SetBroadcast(SocketHandle socket, bool enabled)
{
    if (Faulted(SocketFault::kSetBroadcast))
        return false;
    return SetIntOption(socket, SOL_SOCKET, SO_BROADCAST, enabled ? 1 : 0);
}

bool SetReceiveBufferSize(SocketHandle socket, int bytes)
{
    if (Faulted(SocketFault::kSetReceiveBufferSize))
        return false;
    return SetIntOption(socket, SOL_SOCKET, SO_RCVBUF, bytes);
}

bool SetSendBufferSize(SocketHandle socket, int bytes)
{
    if (Faulted(SocketFault::kSetSendBufferSize))
        return false;
    return SetIntOption(socket, SOL_SOCKET, SO_SNDBUF, bytes);
}

bool SetReceiveTimeout(SocketHandle socket, std::chrono::milliseconds timeout)
{
    if (Faulted(SocketFault::kSetReceiveTimeout))
        return false;
    if (timeout.count() < 0)
        return false;
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
    return ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

bool SetTimeToLive(SocketHandle socket, int hops)
{
    if (Faulted(SocketFault::kSetTimeToLive))
        return false;
    return SetIntOption(socket, IPPROTO_IP, IP_TTL, hops);
}

bool BindAny(SocketHandle socket, std::uint16_t port)
{
    if (Faulted(SocketFault::kBind))
        return false;
    sockaddr_in address = ToSockaddr(Ipv4Endpoint{Ipv4Endpoint::kAny, port});
    return ::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool LocalEndpoint(SocketHandle socket, Ipv4Endpoint& endpoint)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        address.sin_family != AF_INET)
        return false;
    endpoint = FromSockaddr(address);
    return true;
}

long SendTo(SocketHandle socket, const void* data, std::size_t length, const Ipv4Endpoint& to)
{
    if (socket == kInvalidSocket) {
        errno = EBADF;
        return -1;
    }
    sockaddr_in address = ToSockaddr(to);
    ssize_t sent;
    do {
        sent = ::sendto(socket, data, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address),
                        sizeof address);
    } while (sent < 0 && errno == EINTR);
    return sent < 0 ? -1 : static_cast<long>(sent);
}

ReceiveStatus ReceiveFrom(SocketHandle socket, void* buffer, std::size_t capacity,
                          std::size_t& received, Ipv4Endpoint& from)
{
    received = 0;
    if (socket == kInvalidSocket) {
        errno = EBADF;
        return ReceiveStatus::kError;
    }
    if (Faulted(SocketFault::kReceive))
        return ReceiveStatus::kError;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    // MSG_TRUNC makes the call report the datagram's real length, so an
    // oversized datagram is recognised instead of being taken cut short.
    ssize_t got;
    do {
        length = sizeof address;
        got = ::recvfrom(socket, buffer, capacity, MSG_TRUNC, reinterpret_cast<sockaddr*>(&address), &length);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return ReceiveStatus::kTimeout;
        return ReceiveStatus::kError;
    }
    if (got == 0 && length == 0) {
        // No sender: the receive side was shut down (an empty datagram
        // always carries its sender's address).
        return ReceiveStatus::kShutDown;
    }
    from = FromSockaddr(address);
    if (static_cast<std::size_t>(got) > capacity) {
        received = capacity;
        return ReceiveStatus::kTruncated;
    }
    received = static_cast<std::size_t>(got);
    return ReceiveStatus::kData;
}

int WaitReadable(SocketHandle socket, std::chrono::milliseconds timeout)
{
    pollfd entry{};
    entry.fd = socket;
    entry.events = POLLIN;
    int ms = timeout.count() > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(timeout.count());
    if (ms < 0)
        ms = 0;
    int result = ::poll(&entry, 1, ms);
    if (result < 0)
        return errno == EINTR ? 0 : -1;
    if (result == 0)
        return 0;
    return (entry.revents & (POLLIN | POLLHUP)) ? 1 : -1;
}

bool ShutdownSocket(SocketHandle socket)
{
    if (socket == kInvalidSocket)
        return false;
    // An unconnected datagram socket reports ENOTCONN, but the shutdown
    // takes effect and wakes waiting receivers all the same.
    return ::shutdown(socket, SHUT_RDWR) == 0 || errno == ENOTCONN;
}

bool CloseSocket(SocketHandle socket)
{
    if (socket == kInvalidSocket)
        return false;
    const bool closed = ::close(socket) == 0;
    if (Faulted(SocketFault::kCloseSocket))
        return false;
    return closed;
}

std::string LastSocketErrorText() { return std::strerror(errno); }

void SetSocketFaultForTesting(SocketFault fault) { g_fault.store(fault); }

HostLookupResult LookUpHostAddress()
{
    HostLookupResult result;
    if (Faulted(SocketFault::kHostName)) {
        result.status = HostLookupStatus::kNoHostName;
        return result;
    }
    if (Faulted(SocketFault::kHostResolve)) {
        result.status = HostLookupStatus::kNotResolvable;
        return result;
    }
    if (Faulted(SocketFault::kHostAddress)) {
        result.status = HostLookupStatus::kNoAddress;
        return result;
    }
    char name[256] = {};
    if (::gethostname(name, 255) != 0) {
        result.status = HostLookupStatus::kNoHostName;
        return result;
    }
    name[255] = '\0';

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr) {
        if (found)
            ::freeaddrinfo(found);
        result.status = HostLookupStatus::kNotResolvable;
        return result;
    }
    std::vector<std::uint32_t> addresses;
    for (addrinfo* entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr)
            addresses.push_back(ntohl(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr));
    }
    ::freeaddrinfo(found);

    for (std::uint32_t address : addresses) {
        if (!IsLoopback(address)) {
            result.status = HostLookupStatus::kFound;
            result.address = Ipv4Endpoint{address, 0}.AddressText();
            return result;
        }
    }

    // Only loopback (or nothing): the address of the first interface that
    // is up and not loopback is the one the devices can reach.
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) == 0) {
        for (ifaddrs* entry = interfaces; entry; entry = entry->ifa_next) {
            if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
                continue;
            if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0)
                continue;
            std::uint32_t address = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
            if (IsLoopback(address) || address == 0)
                continue;
            result.status = HostLookupStatus::kFound;
            result.address = Ipv4Endpoint{address, 0}.AddressText();
            break;
        }
        ::freeifaddrs(interfaces);
    }
    if (result.status != HostLookupStatus::kFound)
        result.status = HostLookupStatus::kNoAddress;
    return result;
}

}  // namespace platform
