// The real KorvoIPSetup program as a process: the connection log begins with
// "Success!!", SIGTERM closes it like its close button (exit status 0), a
// second launch ends at once with status 0 and asks the running instance to
// bring forward a window titled exactly like the application; and, in this
// process, the main window started without a settings file takes every
// default.
//
// Each program copy runs in a temporary folder of its own (the settings
// file and log folder live beside the executable) with simulated devices,
// in the test's private network namespace.
#include "ShellTestSupport.h"
#include "tests/support/LoopbackReceiver.h"
#include "app/KorvoIPSetup.h"
#include "app/SingleInstance.h"
#include "mainwindow/KorvoIPSetupDlg.h"
#include "protocol/UdpClient.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

#ifndef KORVO_BIN_DIR
#error "KORVO_BIN_DIR names the folder of the KorvoIPSetup program"
#endif

namespace {

const QByteArray kSimulation = "[DebugUdp]\r\nDebugUdpFlg=1\r\n";

// A copy of the program in a folder of its own.
class ProgramCopy {
public:
    explicit ProgramCopy(const QByteArray& ini)
    {
        m_program = m_dir.filePath(QStringLiteral("KorvoIPSetup"));
        m_ok = m_dir.isValid() &&
               QFile::copy(QStringLiteral(KORVO_BIN_DIR "/KorvoIPSetup"), m_program) &&
               (ini.isNull() || shelltest::WriteFile(m_dir.filePath(QStringLiteral("KorvoIPSetup.ini")), ini));
        m_process.setProgram(m_program);
        m_process.setWorkingDirectory(m_dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~ProgramCopy()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    bool Ok() const { return m_ok; }
    QString Folder() const { return m_dir.path(); }
    QProcess& Process() { return m_process; }
    bool Start()
    {
        m_process.start();
        return m_process.waitForStarted(5000);
    }
    // All connection log text so far.
    QByteArray Log() const
    {
        QByteArray all;
        for (const QString& file : shelltest::ConnectionLogs(m_dir.path())) {
            all += shelltest::ReadFile(file);
        }
        return all;
    }
    // Waits until the log holds the text (or the process ended).
    bool WaitForLog(const QByteArray& text, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            if (Log().contains(text)) {
                return true;
            }
            if (m_process.state() == QProcess::NotRunning) {
                return false;
            }
            QTest::qWait(50);
        }
        return false;
    }
    void Terminate() { ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM); }

private:
    QTemporaryDir m_dir;
    QString m_program;
    QProcess m_process;
    bool m_ok = false;
};

// The start-up network inquiry (step 12 of the main window's
// initialisation) is logged as its frame in hexadecimal.
const QByteArray kStartupInquiryLogged = "[SND/NETINQ]";

}  // namespace

class TestAppProcess : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void connectionLogBeginsWithSuccessAndSigtermEndsCleanly();
    void secondLaunchEndsAtOnce();
    void secondLaunchAsksRunningInstance_data();
    void secondLaunchAsksRunningInstance();
    void startUpWithoutSettingsFileTakesDefaults();
    void simulationOnlyForExactlyOne_data();
    void simulationOnlyForExactlyOne();
};

void TestAppProcess::initTestCase()
{
    QVERIFY2(QFile::exists(QStringLiteral(KORVO_BIN_DIR "/KorvoIPSetup")), "the program is not built");
    korvo::CSingleInstance probe(korvo::CKorvoIPSetupApp::InstanceTitle());
    if (probe.Acquire() == korvo::CSingleInstance::Outcome::AlreadyHeld) {
        QSKIP("a KorvoIPSetup of this user runs in this network namespace");
    }
}

void TestAppProcess::connectionLogBeginsWithSuccessAndSigtermEndsCleanly()
{
    ProgramCopy program(kSimulation);
    QVERIFY(program.Ok());
    QVERIFY(program.Start());
    QVERIFY2(program.WaitForLog(kStartupInquiryLogged, 15000), program.Log().constData());

    const QByteArray log = program.Log();
    static const QRegularExpression first(QStringLiteral("^\\[SUCCESS\\] \\d{12}\r\nSuccess!!\r\n\r\n"));
    QVERIFY2(first.match(QString::fromLatin1(log)).hasMatch(), log.constData());
    QCOMPARE(shelltest::ConnectionLogs(program.Folder()).size(), 1);

    QElapsedTimer clock;
    clock.start();
    program.Terminate();
    QVERIFY(program.Process().waitForFinished(10000));
    QCOMPARE(program.Process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.Process().exitCode(), 0);
    QVERIFY2(clock.elapsed() < 5000, "closing took too long");
    // The program wrote no settings file (only the language commands write).
    QCOMPARE(shelltest::ReadFile(program.Folder() + QStringLiteral("/KorvoIPSetup.ini")), kSimulation);
}

void TestAppProcess::secondLaunchEndsAtOnce()
{
    ProgramCopy first(kSimulation);
    QVERIFY(first.Ok());
    QVERIFY(first.Start());
    QVERIFY2(first.WaitForLog(kStartupInquiryLogged, 15000), first.Log().constData());

    ProgramCopy second(kSimulation);
    QVERIFY(second.Ok());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(second.Start());
    QVERIFY(second.Process().waitForFinished(5000));
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QStringLiteral("took %1 ms").arg(clock.elapsed())));
    QCOMPARE(second.Process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.Process().exitCode(), 0);
    // It ended before its connection log was started.
    QVERIFY(!QFile::exists(second.Folder() + QStringLiteral("/log")));

    // The first runs on, and ends normally on request.
    QTest::qWait(200);
    QCOMPARE(first.Process().state(), QProcess::Running);
    first.Terminate();
    QVERIFY(first.Process().waitForFinished(10000));
    QCOMPARE(first.Process().exitCode(), 0);

    // With the first gone, a new launch runs.
    ProgramCopy third(kSimulation);
    QVERIFY(third.Ok());
    QVERIFY(third.Start());
    QVERIFY2(third.WaitForLog(kStartupInquiryLogged, 15000), third.Log().constData());
    third.Terminate();
    QVERIFY(third.Process().waitForFinished(10000));
    QCOMPARE(third.Process().exitCode(), 0);
}

void TestAppProcess::secondLaunchAsksRunningInstance_data()
{
    QTest::addColumn<QString>("windowTitle");
    QTest::addColumn<bool>("raised");
    QTest::newRow("a window bears exactly the title") << QStringLiteral("Orvane Setup Tool") << true;
    QTest::newRow("main window title with its address")
        << QStringLiteral("Orvane Setup Tool (127.0.0.1)") << false;
}

void TestAppProcess::secondLaunchAsksRunningInstance()
{
    // This process is the running instance: it holds the lock and answers
    // the real program's request with the holder's own code.
    QFETCH(QString, windowTitle);
    QFETCH(bool, raised);
    korvo::CSingleInstance holder(korvo::CKorvoIPSetupApp::InstanceTitle());
    QCOMPARE(holder.Acquire(), korvo::CSingleInstance::Outcome::Acquired);
    holder.StartServing();
    QWidget window;
    window.setWindowTitle(windowTitle);
    window.show();
    QList<QWidget*> handled;
    connect(&holder, &korvo::CSingleInstance::RaiseHandled, this, [&](QWidget* w) { handled.push_back(w); });

    ProgramCopy later(kSimulation);
    QVERIFY(later.Ok());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(later.Start());
    QTRY_VERIFY_WITH_TIMEOUT(later.Process().state() == QProcess::NotRunning, 5000);
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QStringLiteral("took %1 ms").arg(clock.elapsed())));
    QCOMPARE(later.Process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(later.Process().exitCode(), 0);
    QCOMPARE(handled.size(), 1);
    QCOMPARE(handled.front(), raised ? &window : nullptr);
    QVERIFY(!QFile::exists(later.Folder() + QStringLiteral("/log")));
}

void TestAppProcess::startUpWithoutSettingsFileTakesDefaults()
{
    QTemporaryDir dir;
    korvo::CKorvoIPSetupApp app;
    app.SetSettingsPathForTesting(dir.filePath(QStringLiteral("KorvoIPSetup.ini")).toStdString());
    app.LoadLanguageSetting();
    QCOMPARE(app.Language(), std::string("en"));

    // A loopback port stands in for the broadcast address.
    korvotest::LoopbackReceiver sink;
    QVERIFY(sink.Port() != 0);
    {
        korvo::CKorvoIPSetupDlg window;
        QVERIFY(window.UdpClient()->SetDestinationForTesting("127.0.0.1", sink.Port()));
        QVERIFY(window.Initialize());
        const korvo::WaitTimings& t = window.Timings();
        QCOMPARE(t.networkSettingResponse, 5000);
        QCOMPARE(t.tableInquiryResponse, 2000);
        QCOMPARE(t.tableInquiryWait, 0);
        QCOMPARE(t.tableSettingResponse, 10000);
        QCOMPARE(t.tableSettingWait, 5000);
        QCOMPARE(window.UdpClient()->SimulationFlag(), 0);
        QCOMPARE(korvo::CurrentUiLanguage(), korvo::UiLanguage::English);
    }
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("KorvoIPSetup.ini"))));
}

void TestAppProcess::simulationOnlyForExactlyOne_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("simulation");
    QTest::newRow("1") << QByteArray("1") << 1;
    QTest::newRow("2") << QByteArray("2") << 0;
    QTest::newRow("0") << QByteArray("0") << 0;
    QTest::newRow("01") << QByteArray("01") << 1;
    QTest::newRow("abc") << QByteArray("abc") << 0;
}

void TestAppProcess::simulationOnlyForExactlyOne()
{
    QFETCH(QByteArray, value);
    QFETCH(int, simulation);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KorvoIPSetup.ini"));
    QVERIFY(shelltest::WriteFile(path, "[DebugUdp]\r\nDebugUdpFlg=" + value + "\r\n"));
    korvo::CKorvoIPSetupApp app;
    app.SetSettingsPathForTesting(path.toStdString());
    app.LoadLanguageSetting();
    korvotest::LoopbackReceiver sink;
    QVERIFY(sink.Port() != 0);
    {
        korvo::CKorvoIPSetupDlg window;
        QVERIFY(window.UdpClient()->SetDestinationForTesting("127.0.0.1", sink.Port()));
        QVERIFY(window.Initialize());
        QCOMPARE(window.UdpClient()->SimulationFlag(), simulation);
    }
}

SHELL_TEST_MAIN(TestAppProcess)
#include "test_app_process.moc"
