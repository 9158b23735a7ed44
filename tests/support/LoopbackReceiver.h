// A UDP socket on 127.0.0.1 that stands in for the devices' broadcast
// address in tests: it keeps every datagram that arrives.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace korvotest {

class LoopbackReceiver {
public:
    LoopbackReceiver()
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    }
    ~LoopbackReceiver() { ::close(m_fd); }
    LoopbackReceiver(const LoopbackReceiver&) = delete;
    LoopbackReceiver& operator=(const LoopbackReceiver&) = delete;

    std::uint16_t Port() const { return m_port; }

    // Every datagram received so far.
    std::vector<std::string> Drain()
    {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n < 0) {
                break;
            }
            m_received.emplace_back(buffer, static_cast<std::size_t>(n));
        }
        return m_received;
    }

private:
    int m_fd = -1;
    std::uint16_t m_port = 0;
    std::vector<std::string> m_received;
};

}  // namespace korvotest
