// Helpers for the application shell's tests.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstring>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace shelltest {

// Moves the test process (and the processes it starts) into a network
// namespace of its own: the single-instance lock of the tool lives in the
// abstract socket namespace, which belongs to the network namespace, so the
// tests neither meet a tool the user runs nor one another; and nothing they
// start can reach a real network. Call first thing in main, before any
// thread exists. Its loopback interface is brought up (127.0.0.1 works).
// False when the system refuses.
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

inline bool WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    return file.write(content) == content.size();
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

// The connection log files of a program folder, oldest name first.
inline QStringList ConnectionLogs(const QString& programFolder)
{
    QDir dir(programFolder + QStringLiteral("/log"));
    QStringList names = dir.entryList({QStringLiteral("connectlog_*.log")}, QDir::Files, QDir::Name);
    for (QString& name : names) {
        name = dir.filePath(name);
    }
    return names;
}

}  // namespace shelltest

// Qt Test entry point that first enters a private network namespace.
#define SHELL_TEST_MAIN(TestObject)                                              \
    int main(int argc, char** argv)                                              \
    {                                                                            \
        const bool isolated = shelltest::EnterPrivateNetworkNamespace();         \
        QApplication app(argc, argv);                                            \
        if (!isolated) {                                                         \
            qWarning("no private network namespace; tests share the user's lock"); \
        }                                                                        \
        TestObject test;                                                         \
        return QTest::qExec(&test, argc, argv);                                  \
    }
