// Helpers for the application shell's tests.
#pragma once

#include "tests/support/PrivateNetwork.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

namespace shelltest {

using korvotest::EnterPrivateNetworkNamespace;

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
