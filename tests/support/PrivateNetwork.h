// Moves the test process (and the processes it starts) into a network
// namespace of its own, with its loopback interface up: nothing a test sends
// can leave the machine, 127.0.0.1 works, and the tool's single-instance lock
// (an abstract socket, which belongs to the network namespace) meets neither
// a tool the user runs nor another test. Call first thing in main, before any
// thread exists. False when the system refuses.
#pragma once

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace korvotest {

inline bool EnterPrivateNetworkNamespace()
{
    if (::unshare(CLONE_NEWNET) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        return false;
    }
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    if (up) {
        request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
        up = ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    }
    ::close(fd);
    return up;
}

}  // namespace korvotest
