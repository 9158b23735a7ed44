#include "app/SingleInstance.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace korvo {

namespace {

constexpr char kRaiseRequest[] = "RAISE\n";
constexpr char kRaised = '1';
constexpr char kNotRaised = '0';
// How long the holder waits for a request's bytes once a peer connected.
constexpr int kRequestReadLimitMs = 500;

// Abstract-namespace address: a zero byte, then the name (not terminated).
socklen_t MakeAddress(const std::string& name, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const std::size_t room = sizeof address.sun_path - 1;
    const std::size_t length = name.size() < room ? name.size() : room;
    std::memcpy(address.sun_path + 1, name.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

bool WaitReadable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    return r > 0;
}

}  // namespace

CSingleInstance::CSingleInstance(const std::string& title, QObject* parent) : QObject(parent), m_title(title) {}

CSingleInstance::~CSingleInstance()
{
    delete m_notifier;
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

std::string CSingleInstance::LockName(const std::string& title)
{
    return "KorvoIPSetup." + std::to_string(::getuid()) + "." + title;
}

CSingleInstance::Outcome CSingleInstance::Acquire()
{
    if (m_fd >= 0) {
        return Outcome::Acquired;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return Outcome::Failed;
    }
    sockaddr_un address;
    const socklen_t length = MakeAddress(LockName(m_title), address);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EADDRINUSE ? Outcome::AlreadyHeld : Outcome::Failed;
    }
    if (::listen(fd, 8) != 0) {
        ::close(fd);
        return Outcome::Failed;
    }
    m_fd = fd;
    return Outcome::Acquired;
}

void CSingleInstance::StartServing()
{
    if (m_fd < 0 || m_notifier != nullptr) {
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read);
    connect(m_notifier, &QSocketNotifier::activated, this, &CSingleInstance::OnIncoming);
}

void CSingleInstance::StopServing()
{
    delete m_notifier;
    m_notifier = nullptr;
}

QWidget* CSingleInstance::FindTopLevelWindow(const QString& title)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isWindow() && widget->windowTitle() == title) {
            return widget;
        }
    }
    return nullptr;
}

void CSingleInstance::OnIncoming()
{
    for (;;) {
        const int peer = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer < 0) {
            return;  // nothing more waiting (the socket does not block)
        }
        char request[sizeof kRaiseRequest] = {};
        std::size_t got = 0;
        while (got < sizeof kRaiseRequest - 1 && WaitReadable(peer, kRequestReadLimitMs)) {
            const ssize_t n = ::read(peer, request + got, sizeof kRaiseRequest - 1 - got);
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        if (got == sizeof kRaiseRequest - 1 && std::memcmp(request, kRaiseRequest, got) == 0) {
            QWidget* window = FindTopLevelWindow(QString::fromUtf8(m_title));
            if (window != nullptr) {
                if (window->isMinimized()) {
                    window->showNormal();
                }
                window->raise();
                window->activateWindow();
            }
            const char answer = window != nullptr ? kRaised : kNotRaised;
            [[maybe_unused]] const ssize_t sent = ::send(peer, &answer, 1, MSG_NOSIGNAL);
            ::close(peer);
            Q_EMIT RaiseHandled(window);
        } else {
            ::close(peer);
        }
    }
}

bool CSingleInstance::AskHolderToRaise(std::chrono::milliseconds timeout) const
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address;
    const socklen_t length = MakeAddress(LockName(m_title), address);
    bool raised = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
        ::send(fd, kRaiseRequest, sizeof kRaiseRequest - 1, MSG_NOSIGNAL) ==
            static_cast<ssize_t>(sizeof kRaiseRequest - 1) &&
        WaitReadable(fd, static_cast<int>(timeout.count()))) {
        char answer = 0;
        raised = ::read(fd, &answer, 1) == 1 && answer == kRaised;
    }
    ::close(fd);
    return raised;
}

}  // namespace korvo
