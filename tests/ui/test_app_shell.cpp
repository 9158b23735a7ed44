// The application object in-process: settings and their defaults, the
// Language setting, start-up and shut-down order around a stand-in main
// window, SIGTERM as a close request, the language commands, and the
// single-instance lock with its raise requests.
#include "app/KorvoIPSetup.h"

#include "ShellTestSupport.h"
#include "app/MsgBoxDialog.h"
#include "app/SingleInstance.h"
#include "app/StringTable.h"
#include "files/DiagLog.h"
#include "files/FileOperation.h"
#include "platform/ExePath.h"
#include "platform/qt/DialogService.h"

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <future>
#include <mutex>
#include <thread>

using korvo::CKorvoIPSetupApp;
using korvo::CSingleInstance;
using korvo::UiLanguage;

namespace {

// Collects diagnostic log entries.
class CapturingListener : public CRLog::Listener {
public:
    struct Entry {
        int category;
        std::string text;
        std::string unit;
    };
    explicit CapturingListener(std::vector<Entry>* sink) : m_sink(sink) {}
    void Log(int category, const std::string& text, const char* unit, int) override
    {
        m_sink->push_back(Entry{category, text, unit != nullptr ? unit : ""});
    }

private:
    std::vector<Entry>* m_sink;
};

// What the stand-in main window saw of the application at each step.
struct Observed {
    bool constructed = false;
    std::string languageAtConstruction;
    QByteArray logAtConstruction;
    std::size_t listenersAtConstruction = 0;
    bool initialized = false;
    bool registeredDuringRun = false;
    bool execEntered = false;
    bool destroyed = false;
    bool registeredAfterDestroy = true;
};

class StandInWindow : public QDialog {
public:
    explicit StandInWindow(Observed* observed) : m_observed(observed) {}
    ~StandInWindow() override
    {
        m_observed->destroyed = true;
        m_observed->registeredAfterDestroy = CKorvoIPSetupApp::Instance().MainWindow() != nullptr;
    }
    int exec() override
    {
        m_observed->execEntered = true;
        return QDialog::exec();
    }

private:
    Observed* m_observed;
};

// A message target that refuses everything (the stand-in has no receiver).
class NullTarget : public platform::MessageTarget {
public:
    bool Post(unsigned, platform::WParam, platform::LParam) override { return false; }
    platform::LResult Send(unsigned, platform::WParam, platform::LParam) override { return 0; }
};

}  // namespace

class TestAppShell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void settingsDefaultsWithoutFile();
    void settingsPathIsBesideExecutable();
    void languageSettingReadAtStartUp_data();
    void languageSettingReadAtStartUp();
    void startUpAndShutDownOrder();
    void terminationSignalIsCloseRequest();
    void signalBeforeMainWindowIsKept();
    void failedInitialisationSkipsRun();
    void languageCommands_data();
    void languageCommands();
    void languageCommandUnwritableShowsNoSuccess();
    void singleInstanceLockIsExclusive();
    void raiseRequestOnlyForExactTitle_data();
    void raiseRequestOnlyForExactTitle();

private:
    korvo::MainWindowParts MakeStandIn(std::function<void(StandInWindow&)> onInitialize);
    int RunWithStandIn(CKorvoIPSetupApp& app, std::function<void(StandInWindow&)> onInitialize);

    std::unique_ptr<QTemporaryDir> m_dir;
    Observed m_observed;
    NullTarget m_target;
};

void TestAppShell::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    korvo::CFileOperation::SetProgramFolderOverride(m_dir->path().toStdString() + "/");
    m_observed = Observed{};
    korvo::SetUiLanguage(UiLanguage::English);
}

void TestAppShell::cleanup()
{
    CRLog::ClearListeners();
    korvo::CFileOperation::SetProgramFolderOverride("");
    korvo::SetUiLanguage(UiLanguage::English);
    m_dir.reset();
}

korvo::MainWindowParts TestAppShell::MakeStandIn(std::function<void(StandInWindow&)> onInitialize)
{
    m_observed.constructed = true;
    m_observed.languageAtConstruction = CKorvoIPSetupApp::Instance().Language();
    m_observed.listenersAtConstruction = CRLog::ListenerCount();
    const QStringList logs = shelltest::ConnectionLogs(m_dir->path());
    m_observed.logAtConstruction = logs.isEmpty() ? QByteArray() : shelltest::ReadFile(logs.front());
    auto window = std::make_unique<StandInWindow>(&m_observed);
    StandInWindow* raw = window.get();
    korvo::MainWindowParts parts;
    parts.window = std::move(window);
    parts.target = &m_target;
    parts.initialize = [this, raw, onInitialize]() {
        m_observed.initialized = true;
        m_observed.registeredDuringRun = CKorvoIPSetupApp::Instance().MainWindow() == raw &&
                                         CKorvoIPSetupApp::Instance().MainWindowTarget() == &m_target;
        if (onInitialize) {
            onInitialize(*raw);
        }
        return true;
    };
    return parts;
}

int TestAppShell::RunWithStandIn(CKorvoIPSetupApp& app, std::function<void(StandInWindow&)> onInitialize)
{
    char name[] = "KorvoIPSetup";
    char* argv[] = {name, nullptr};
    return app.Run(1, argv, [this, onInitialize]() { return MakeStandIn(onInitialize); });
}

void TestAppShell::settingsDefaultsWithoutFile()
{
    CKorvoIPSetupApp app;
    app.SetSettingsPathForTesting(m_dir->filePath(QStringLiteral("missing.ini")).toStdString());
    app.LoadLanguageSetting();
    QCOMPARE(app.Language(), std::string("en"));
    QCOMPARE(app.GetProfileInt("NetworkInq", "ResponsTime", 5000), 5000u);
    QCOMPARE(app.GetProfileInt("CameraTableInq", "ResponsTime", 2000), 2000u);
    QCOMPARE(app.GetProfileInt("CameraTableInq", "WaitTime", 0), 0u);
    QCOMPARE(app.GetProfileInt("CameraTableSet", "ResponsTime", 10000), 10000u);
    QCOMPARE(app.GetProfileInt("CameraTableSet", "WaitTime", 5000), 5000u);
    QCOMPARE(app.GetProfileInt("DebugUdp", "DebugUdpFlg", 0), 0u);
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("missing.ini"))));

    // The same reads go to the file once it exists; section and key names
    // match without regard to case.
    QVERIFY(shelltest::WriteFile(m_dir->filePath(QStringLiteral("missing.ini")),
                                 "[networkinq]\r\nresponstime=abc\r\n[CameraTableSet]\r\nWaitTime=-5\r\n"
                                 "ResponsTime=7000\r\n[DebugUdp]\r\nDebugUdpFlg=2\r\n"));
    QCOMPARE(app.GetProfileInt("NetworkInq", "ResponsTime", 5000), 0u);
    QCOMPARE(app.GetProfileInt("CameraTableSet", "WaitTime", 5000), 0u);
    QCOMPARE(app.GetProfileInt("CameraTableSet", "ResponsTime", 10000), 7000u);
    QCOMPARE(app.GetProfileInt("DebugUdp", "DebugUdpFlg", 0), 2u);
    QCOMPARE(app.GetProfileInt("CameraTableInq", "ResponsTime", 2000), 2000u);
}

void TestAppShell::settingsPathIsBesideExecutable()
{
    const std::string expected = platform::ExecutableFolder() + "test_app_shell.ini";
    QCOMPARE(CKorvoIPSetupApp::BuildSettingsPath(), expected);
    CKorvoIPSetupApp app;
    QCOMPARE(app.SettingsPath(), expected);
    // Start-up builds it again unless a test path was set.
    QVERIFY(!QFile::exists(QString::fromStdString(expected)));
    RunWithStandIn(app, [](StandInWindow& w) { QTimer::singleShot(0, &w, [&w]() { w.done(0); }); });
    QCOMPARE(app.SettingsPath(), expected);
    QCOMPARE(app.Language(), std::string("en"));
}

void TestAppShell::languageSettingReadAtStartUp_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("uiLanguage");
    QTest::newRow("cn") << QByteArray("[Language]\r\nLanguage=cn\r\n") << QStringLiteral("cn")
                        << int(UiLanguage::Chinese);
    QTest::newRow("CN in capitals") << QByteArray("[Language]\r\nLanguage=CN\r\n") << QStringLiteral("CN")
                                    << int(UiLanguage::English);
    QTest::newRow("en") << QByteArray("[Language]\r\nLanguage=en\r\n") << QStringLiteral("en")
                        << int(UiLanguage::English);
    QTest::newRow("other") << QByteArray("[Language]\r\nLanguage=fr\r\n") << QStringLiteral("fr")
                           << int(UiLanguage::English);
    QTest::newRow("no key") << QByteArray("[Language]\r\n") << QStringLiteral("en") << int(UiLanguage::English);
    QTest::newRow("no file") << QByteArray() << QStringLiteral("en") << int(UiLanguage::English);
}

void TestAppShell::languageSettingReadAtStartUp()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, language);
    QFETCH(int, uiLanguage);
    const QString path = m_dir->filePath(QStringLiteral("KorvoIPSetup.ini"));
    if (!ini.isEmpty()) {
        QVERIFY(shelltest::WriteFile(path, ini));
    }
    CKorvoIPSetupApp app;
    app.SetSettingsPathForTesting(path.toStdString());
    QCOMPARE(app.Language(), std::string("en"));  // before start-up reads it
    const int status = RunWithStandIn(app, [](StandInWindow& w) {
        QTimer::singleShot(0, &w, [&w]() { w.done(0); });
    });
    QCOMPARE(status, 0);
    QCOMPARE(m_observed.languageAtConstruction, language.toStdString());
    QCOMPARE(app.Language(), language.toStdString());
    QCOMPARE(int(korvo::LanguageFromSetting(app.Language())), uiLanguage);

    // Read once: a later change of the file does not change it.
    QVERIFY(shelltest::WriteFile(path, "[Language]\r\nLanguage=cn\r\n"));
    QCOMPARE(app.Language(), language.toStdString());
}

void TestAppShell::startUpAndShutDownOrder()
{
    CKorvoIPSetupApp app;
    app.SetSettingsPathForTesting(m_dir->filePath(QStringLiteral("KorvoIPSetup.ini")).toStdString());
    const int status = RunWithStandIn(app, [](StandInWindow& w) {
        QTimer::singleShot(0, &w, [&w]() { w.done(0); });
    });
    QCOMPARE(status, 0);
    // Before the main window: the connection log is registered and begins
    // with "Success!!".
    QVERIFY(m_observed.constructed);
    QCOMPARE(m_observed.listenersAtConstruction, std::size_t(1));
    QVERIFY2(m_observed.logAtConstruction.startsWith("[SUCCESS] "), m_observed.logAtConstruction.constData());
    const QList<QByteArray> lines = m_observed.logAtConstruction.split('\n');
    QVERIFY(lines.size() >= 2);
    QCOMPARE(lines[1], QByteArray("Success!!\r"));
    // The main window is registered while it runs, initialised before its
    // modal run, destroyed before Run returns and unregistered by then.
    QVERIFY(m_observed.registeredDuringRun);
    QVERIFY(m_observed.initialized);
    QVERIFY(m_observed.execEntered);
    QVERIFY(m_observed.destroyed);
    QVERIFY(!m_observed.registeredAfterDestroy);
    QVERIFY(app.MainWindow() == nullptr);
    QVERIFY(app.MainWindowTarget() == nullptr);
    // The listener stays registered until the process ends.
    QCOMPARE(CRLog::ListenerCount(), std::size_t(1));
}

void TestAppShell::terminationSignalIsCloseRequest()
{
    CKorvoIPSetupApp app;
    app.SetSettingsPathForTesting(m_dir->filePath(QStringLiteral("KorvoIPSetup.ini")).toStdString());
    bool finished = false;
    QElapsedTimer clock;
    clock.start();
    const int status = RunWithStandIn(app, [&](StandInWindow& w) {
        QObject::connect(&w, &QDialog::finished, [&]() { finished = true; });
        QTimer::singleShot(50, []() { ::raise(SIGTERM); });
        QTimer::singleShot(5000, &w, [&w]() { w.done(99); });  // safety net
    });
    QCOMPARE(status, 0);
    QVERIFY(finished);
    QVERIFY2(clock.elapsed() < 4000, "the close request did not close the window");
    QVERIFY(m_observed.destroyed);
}

void TestAppShell::signalBeforeMainWindowIsKept()
{
    CKorvoIPSetupApp app;
    app.SetSettingsPathForTesting(m_dir->filePath(QStringLiteral("KorvoIPSetup.ini")).toStdString());
    QElapsedTimer clock;
    clock.start();
    char name[] = "KorvoIPSetup";
    char* argv[] = {name, nullptr};
    const int status = app.Run(1, argv, [this]() {
        ::raise(SIGINT);
        QCoreApplication::processEvents();  // the signal is seen before the window exists
        return MakeStandIn([](StandInWindow& w) { QTimer::singleShot(5000, &w, [&w]() { w.done(99); }); });
    });
    QCOMPARE(status, 0);
    QVERIFY(m_observed.execEntered);
    QVERIFY2(clock.elapsed() < 4000, "the early close request was lost");
}

void TestAppShell::failedInitialisationSkipsRun()
{
    CKorvoIPSetupApp app;
    app.SetSettingsPathForTesting(m_dir->filePath(QStringLiteral("KorvoIPSetup.ini")).toStdString());
    char name[] = "KorvoIPSetup";
    char* argv[] = {name, nullptr};
    const int status = app.Run(1, argv, [this]() {
        korvo::MainWindowParts parts = MakeStandIn(nullptr);
        parts.initialize = []() { return false; };
        return parts;
    });
    QCOMPARE(status, 0);
    QVERIFY(!m_observed.execEntered);
    QVERIFY(m_observed.destroyed);
}

void TestAppShell::languageCommands_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("uiLanguage");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("written");
    QTest::newRow("Chinese, no file") << 32772 << int(UiLanguage::English) << QByteArray()
                                      << QByteArray("[Language]\r\nLanguage=cn\r\n") << QStringLiteral("cn");
    QTest::newRow("English while Chinese")
        << 32771 << int(UiLanguage::Chinese) << QByteArray("[DebugUdp]\r\nDebugUdpFlg=1\r\n[Language]\r\nLanguage=cn\r\n")
        << QByteArray("[DebugUdp]\r\nDebugUdpFlg=1\r\n[Language]\r\nLanguage=en\r\n") << QStringLiteral("en");
    QTest::newRow("Chinese again") << 32772 << int(UiLanguage::Chinese)
                                   << QByteArray("[Language]\r\nLanguage=cn\r\n")
                                   << QByteArray("[Language]\r\nLanguage=cn\r\n") << QStringLiteral("cn");
}

void TestAppShell::languageCommands()
{
    QFETCH(int, command);
    QFETCH(int, uiLanguage);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(QString, written);
    const auto language = static_cast<UiLanguage>(uiLanguage);
    const QString path = m_dir->filePath(QStringLiteral("KorvoIPSetup.ini"));
    if (!before.isEmpty()) {
        QVERIFY(shelltest::WriteFile(path, before));
    }
    CKorvoIPSetupApp app;
    app.SetSettingsPathForTesting(path.toStdString());
    app.LoadLanguageSetting();
    const std::string languageBefore = app.Language();
    korvo::SetUiLanguage(language);

    platform::ScopedScriptedDialogs dialogs;
    QWidget parent;
    QVERIFY(app.OnLanguageCommand(command, &parent));

    QCOMPARE(shelltest::ReadFile(path), after);
    QCOMPARE(app.GetProfileString("Language", "Language", "?"), written.toStdString());
    // The information box, in the language in force.
    QCOMPARE(dialogs->DialogRuns().size(), std::size_t(1));
    const auto& run = dialogs->DialogRuns().front();
    QCOMPARE(run.className, QStringLiteral("korvo::CMsgBoxDialog"));
    QCOMPARE(run.windowTitle, QString::fromUtf8(korvo::LoadText(10067, language)));
    QVERIFY(run.labels.contains(QString::fromUtf8(korvo::LoadText(10155, language))));
    QVERIFY(dialogs->Messages().empty());
    // Nothing else changes until the next start.
    QCOMPARE(app.Language(), languageBefore);
    QCOMPARE(korvo::CurrentUiLanguage(), language);

    QVERIFY(!app.OnLanguageCommand(30007, &parent));
    QCOMPARE(dialogs->DialogRuns().size(), std::size_t(1));
}

void TestAppShell::languageCommandUnwritableShowsNoSuccess()
{
    std::vector<CapturingListener::Entry> entries;
    CRLog::AddListener(std::make_unique<CapturingListener>(&entries));
    CKorvoIPSetupApp app;
    app.SetSettingsPathForTesting(m_dir->filePath(QStringLiteral("no-such-folder/KorvoIPSetup.ini")).toStdString());
    platform::ScopedScriptedDialogs dialogs;
    app.OnLanguageChinese(nullptr);
    QVERIFY(dialogs->DialogRuns().empty());
    QCOMPARE(entries.size(), std::size_t(1));
    QCOMPARE(entries[0].category, int(CRLog::kSymptom));
    QCOMPARE(entries[0].unit, std::string("KorvoIPSetup"));
    QVERIFY(QString::fromStdString(entries[0].text).startsWith(QStringLiteral("Language setting could not be written")));
}

void TestAppShell::singleInstanceLockIsExclusive()
{
    const std::string title = CKorvoIPSetupApp::InstanceTitle();
    QCOMPARE(title, std::string("Orvane Setup Tool"));
    auto first = std::make_unique<CSingleInstance>(title);
    QCOMPARE(first->Acquire(), CSingleInstance::Outcome::Acquired);
    CSingleInstance second(title);
    QCOMPARE(second.Acquire(), CSingleInstance::Outcome::AlreadyHeld);
    QVERIFY(!second.Held());
    // Another title is another lock.
    CSingleInstance other(title + " 2");
    QCOMPARE(other.Acquire(), CSingleInstance::Outcome::Acquired);
    // Released when the holder goes (as at process end).
    first.reset();
    CSingleInstance third(title);
    QCOMPARE(third.Acquire(), CSingleInstance::Outcome::Acquired);
}

void TestAppShell::raiseRequestOnlyForExactTitle_data()
{
    QTest::addColumn<QString>("windowTitle");
    QTest::addColumn<bool>("raised");
    QTest::newRow("exact title") << QStringLiteral("Orvane Setup Tool") << true;
    QTest::newRow("main window title with address") << QStringLiteral("Orvane Setup Tool (10.231.0.1)") << false;
    QTest::newRow("empty address") << QStringLiteral("Orvane Setup Tool ()") << false;
    QTest::newRow("other case") << QStringLiteral("orvane setup tool") << false;
}

void TestAppShell::raiseRequestOnlyForExactTitle()
{
    QFETCH(QString, windowTitle);
    QFETCH(bool, raised);
    const std::string title = CKorvoIPSetupApp::InstanceTitle();
    CSingleInstance holder(title);
    QCOMPARE(holder.Acquire(), CSingleInstance::Outcome::Acquired);
    holder.StartServing();
    QWidget window;
    window.setWindowTitle(windowTitle);
    window.show();
    QList<QWidget*> handled;
    connect(&holder, &CSingleInstance::RaiseHandled, this, [&](QWidget* w) { handled.push_back(w); });

    // The later launch asks from another thread; this one answers in its
    // event loop.
    auto answer = std::async(std::launch::async, [title]() {
        CSingleInstance later(title);
        if (later.Acquire() != CSingleInstance::Outcome::AlreadyHeld) {
            return -1;
        }
        return later.AskHolderToRaise(std::chrono::milliseconds(3000)) ? 1 : 0;
    });
    QTRY_COMPARE_WITH_TIMEOUT(handled.size(), 1, 4000);
    QCOMPARE(answer.get(), raised ? 1 : 0);
    QCOMPARE(handled.front(), raised ? &window : nullptr);
}

SHELL_TEST_MAIN(TestAppShell)
#include "test_app_shell.moc"
