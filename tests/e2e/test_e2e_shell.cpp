// End to end, in the tool namespace of scripts/netns.sh with devsim's
// default fleet (112 cameras, 5 controllers) in the device namespace:
// - the real KorvoIPSetup program (simulation off, settings file beside a
//   copy of it) discovers the fleet with its start-up inquiry: its
//   connection log holds an accepted network information reply from every
//   device, and SIGTERM (a close request) ends it with status 0;
// - the main window on the same settings shows the counts in its status
//   panes and the tool namespace's address in its title.
// The program refuses to run outside that namespace, since the tool
// broadcasts there.
#include "tests/e2e/E2eSupport.h"

#include "app/KorvoIPSetup.h"
#include "mainwindow/KorvoIPSetupDlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

#ifndef KORVO_BIN_DIR
#error "KORVO_BIN_DIR names the folder of the KorvoIPSetup program"
#endif

namespace {

constexpr int kFleetCameras = 112;
constexpr int kFleetControllers = 5;
const QByteArray kNetworkSettings = "[Language]\r\nLanguage=en\r\n[DebugUdp]\r\nDebugUdpFlg=0\r\n";

bool WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QByteArray ConnectionLog(const QString& folder)
{
    QDir dir(folder + QStringLiteral("/log"));
    QByteArray all;
    for (const QString& name : dir.entryList({QStringLiteral("connectlog_*.log")}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly)) {
            all += file.readAll();
        }
    }
    return all;
}

// One log entry: its label and its body lines.
struct Entry {
    QByteArray label;
    QList<QByteArray> body;
};

QList<Entry> ParseLog(const QByteArray& log)
{
    QList<Entry> entries;
    const QList<QByteArray> lines = log.split('\n');
    Entry current;
    bool inEntry = false;
    for (QByteArray line : lines) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (!inEntry) {
            if (line.startsWith('[')) {
                current = Entry{line.left(line.indexOf(' ')), {}};
                inEntry = true;
            }
        } else if (line.isEmpty()) {
            entries.push_back(current);
            inEntry = false;
        } else {
            current.body.push_back(line);
        }
    }
    return entries;
}

// The value of a frame field ("MAC:" ... up to the 0xFF that ends it).
QByteArray Field(const QByteArray& frame, const QByteArray& key)
{
    const int at = frame.indexOf(key);
    if (at < 0) {
        return {};
    }
    const int start = at + key.size();
    const int end = frame.indexOf('\xFF', start);
    return frame.mid(start, end < 0 ? -1 : end - start);
}

struct Discovery {
    QSet<QByteArray> cameras;      // MAC addresses of IPCARD replies
    QSet<QByteArray> controllers;  // MAC addresses of controller replies
    int rejected = 0;              // replies the analysis refused
};

Discovery Discovered(const QByteArray& log)
{
    Discovery found;
    for (const Entry& entry : ParseLog(log)) {
        if (entry.label == "[RECIEVE]" && !entry.body.isEmpty()) {
            const QByteArray frame = QByteArray::fromHex(entry.body.front());
            if (Field(frame, "INFO:") != "network") {
                continue;
            }
            const QByteArray model = Field(frame, "MODEL:");
            if (model == "IPCARD") {
                found.cameras.insert(Field(frame, "MAC:"));
            } else if (model == "CONTROLLER" || model == "ST-HUB80") {
                found.controllers.insert(Field(frame, "MAC:"));
            }
        } else if (entry.label == "[SYMPTOM]" && !entry.body.isEmpty() &&
                   entry.body.front().startsWith("[RCV]Network inquiry recieve error")) {
            ++found.rejected;
        }
    }
    return found;
}

}  // namespace

class TestE2eShell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void programDiscoversFleetAndEndsOnSigterm();
    void mainWindowShowsFleetCountsAndAddress();
};

void TestE2eShell::initTestCase()
{
    std::string why;
    if (!korvo::e2e::InToolNamespace(why)) {
        QFAIL(why.c_str());
    }
    QVERIFY(QFile::exists(QStringLiteral(KORVO_BIN_DIR "/KorvoIPSetup")));
}

void TestE2eShell::programDiscoversFleetAndEndsOnSigterm()
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("KorvoIPSetup"));
    QVERIFY(QFile::copy(QStringLiteral(KORVO_BIN_DIR "/KorvoIPSetup"), program));
    QVERIFY(WriteFile(dir.filePath(QStringLiteral("KorvoIPSetup.ini")), kNetworkSettings));

    QProcess process;
    process.setProgram(program);
    process.setWorkingDirectory(dir.path());
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start();
    QVERIFY(process.waitForStarted(5000));

    // Every device answers the start-up inquiry.
    Discovery found;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000 && process.state() == QProcess::Running) {
        found = Discovered(ConnectionLog(dir.path()));
        if (found.cameras.size() >= kFleetCameras && found.controllers.size() >= kFleetControllers) {
            break;
        }
        QTest::qWait(100);
    }
    QCOMPARE(process.state(), QProcess::Running);
    QCOMPARE(found.cameras.size(), kFleetCameras);
    QCOMPARE(found.controllers.size(), kFleetControllers);
    QCOMPARE(found.rejected, 0);

    const QList<Entry> entries = ParseLog(ConnectionLog(dir.path()));
    QVERIFY(!entries.isEmpty());
    QCOMPARE(entries.front().label, QByteArray("[SUCCESS]"));
    QCOMPARE(entries.front().body, QList<QByteArray>{"Success!!"});
    // Exactly one inquiry was broadcast: the start-up inquiry.
    int inquiries = 0;
    for (const Entry& entry : entries) {
        if (entry.label == "[SND/NETINQ]") {
            ++inquiries;
            QCOMPARE(QByteArray::fromHex(entry.body.value(0)), QByteArray("\x02" "ENQ:network\xFF\x03"));
        }
    }
    QCOMPARE(inquiries, 1);

    // A close request ends it normally.
    clock.restart();
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QStringLiteral("closing took %1 ms").arg(clock.elapsed())));
}

void TestE2eShell::mainWindowShowsFleetCountsAndAddress()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("KorvoIPSetup.ini"));
    QVERIFY(WriteFile(ini, kNetworkSettings));
    korvo::CKorvoIPSetupApp app;
    app.SetSettingsPathForTesting(ini.toStdString());
    app.LoadLanguageSetting();

    auto window = std::make_unique<korvo::CKorvoIPSetupDlg>();
    app.RegisterMainWindow(window.get(), window->Target());
    QVERIFY(window->Initialize());
    window->show();

    const QString expectedTitle =
        QStringLiteral("Orvane Setup Tool (%1)").arg(qEnvironmentVariable("KORVO_TOOL_IP", QStringLiteral("10.231.0.1")));
    QCOMPARE(window->windowTitle(), expectedTitle);
    QTRY_COMPARE_WITH_TIMEOUT(window->StatusText(0), QStringLiteral("Camera:%1").arg(kFleetCameras), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(window->StatusText(1), QStringLiteral("Controller:%1").arg(kFleetControllers), 5000);

    // Closing with no unapplied changes asks nothing and ends the run.
    window->close();
    QVERIFY(!window->isVisible());
    app.RegisterMainWindow(nullptr, nullptr);
    window.reset();
}

QTEST_MAIN(TestE2eShell)
#include "test_e2e_shell.moc"
