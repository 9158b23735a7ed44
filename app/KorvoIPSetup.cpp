#include "app/KorvoIPSetup.h"

#include "app/MsgBoxDialog.h"
#include "app/SingleInstance.h"
#include "files/DiagLog.h"
#include "files/LogFile.h"
#include "platform/ExePath.h"
#include "platform/Profile.h"
#include "platform/qt/DialogService.h"

#include <QApplication>
#include <QDialog>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace korvo {

namespace {

constexpr const char* kUnit = "KorvoIPSetup";
constexpr int kStrTitle = 10001;
// How long a second launch waits for the running instance's answer.
constexpr std::chrono::milliseconds kRaiseAnswerLimit{1000};

CKorvoIPSetupApp* g_app = nullptr;

// SIGTERM and SIGINT become close requests to the main window: the signal
// handler only writes a byte into a pipe; the UI thread reads it in its
// event loop (also inside modal loops) and closes the main window as its
// close button would.
int g_signalPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

class CloseRequestSignals {
public:
    CloseRequestSignals()
    {
        if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            return;
        }
        m_notifier.emplace(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(&*m_notifier, &QSocketNotifier::activated, [this]() { OnSignal(); });
        struct sigaction action {};
        action.sa_handler = &OnTerminationSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, &m_oldTerm);
        ::sigaction(SIGINT, &action, &m_oldInt);
        m_installed = true;
    }
    ~CloseRequestSignals()
    {
        if (m_installed) {
            ::sigaction(SIGTERM, &m_oldTerm, nullptr);
            ::sigaction(SIGINT, &m_oldInt, nullptr);
        }
    }
    CloseRequestSignals(const CloseRequestSignals&) = delete;
    CloseRequestSignals& operator=(const CloseRequestSignals&) = delete;

    // The window that receives close requests; a request that came before
    // it existed is delivered once it is set.
    void SetWindow(QWidget* window)
    {
        m_window = window;
        if (m_pending && window != nullptr) {
            m_pending = false;
            RequestClose();
        }
    }

private:
    void OnSignal()
    {
        char buffer[64];
        while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
        }
        if (m_window.isNull()) {
            m_pending = true;
        } else {
            RequestClose();
        }
    }
    void RequestClose()
    {
        QPointer<QWidget> window = m_window;
        QMetaObject::invokeMethod(
            window.data(),
            [window]() {
                if (!window.isNull()) {
                    window->close();
                }
            },
            Qt::QueuedConnection);
    }

    std::optional<QSocketNotifier> m_notifier;
    QPointer<QWidget> m_window;
    bool m_pending = false;
    bool m_installed = false;
    struct sigaction m_oldTerm {};
    struct sigaction m_oldInt {};
};

}  // namespace

CKorvoIPSetupApp::CKorvoIPSetupApp() : m_settingsPath(BuildSettingsPath()), m_previous(g_app)
{
    g_app = this;
}

CKorvoIPSetupApp::~CKorvoIPSetupApp()
{
    if (g_app == this) {
        g_app = m_previous;
    }
}

CKorvoIPSetupApp& CKorvoIPSetupApp::Instance()
{
    if (g_app == nullptr) {
        // No program run in this process (window tests): settings beside
        // the executable, Language "en" until read.
        static CKorvoIPSetupApp fallback;
        if (g_app == nullptr) {
            g_app = &fallback;
        }
    }
    return *g_app;
}

std::string CKorvoIPSetupApp::InstanceTitle()
{
    // Loaded before the UI language is chosen: the default (English) table.
    return LoadText(kStrTitle, UiLanguage::English);
}

std::string CKorvoIPSetupApp::BuildSettingsPath()
{
    const std::string folder = platform::ExecutableFolder();
    const std::string base = platform::ExecutableBaseName();
    if (folder.empty() || base.empty()) {
        return {};
    }
    return folder + base + ".ini";
}

void CKorvoIPSetupApp::SetSettingsPathForTesting(const std::string& path)
{
    m_settingsPath = path;
    m_settingsPathFixed = true;
}

void CKorvoIPSetupApp::LoadLanguageSetting()
{
    m_language = GetProfileString("Language", "Language", "en");
}

unsigned CKorvoIPSetupApp::GetProfileInt(const std::string& section, const std::string& key,
                                         unsigned defaultValue) const
{
    if (m_settingsPath.empty()) {
        return defaultValue;
    }
    return platform::GetProfileInt(m_settingsPath, section, key, defaultValue);
}

std::string CKorvoIPSetupApp::GetProfileString(const std::string& section, const std::string& key,
                                               const std::string& defaultValue) const
{
    if (m_settingsPath.empty()) {
        return defaultValue;
    }
    return platform::GetProfileString(m_settingsPath, section, key, defaultValue);
}

bool CKorvoIPSetupApp::WriteProfileString(const std::string& section, const std::string& key,
                                          const std::string& value)
{
    if (m_settingsPath.empty()) {
        return false;
    }
    return platform::WriteProfileString(m_settingsPath, section, key, value);
}

void CKorvoIPSetupApp::OnLanguageEnglish(QWidget* parent)
{
    WriteLanguage(UiLanguage::English, parent);
}

void CKorvoIPSetupApp::OnLanguageChinese(QWidget* parent)
{
    WriteLanguage(UiLanguage::Chinese, parent);
}

bool CKorvoIPSetupApp::OnLanguageCommand(int commandId, QWidget* parent)
{
    switch (commandId) {
    case 32771:
        OnLanguageEnglish(parent);
        return true;
    case 32772:
        OnLanguageChinese(parent);
        return true;
    default:
        return false;
    }
}

bool CKorvoIPSetupApp::WriteLanguage(UiLanguage language, QWidget* parent)
{
    // Written whatever the current language; the running program keeps its
    // texts and menu.
    if (!WriteProfileString("Language", "Language", LanguageSettingValue(language))) {
        // The box would report a success that did not happen.
        WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kSymptom), "Language setting could not be written: %s",
                        m_settingsPath.c_str());
        return false;
    }
    CMsgBoxDialog box(parent);
    platform::Dialogs().ExecDialog(box);
    return true;
}

void CKorvoIPSetupApp::RegisterMainWindow(QWidget* window, platform::MessageTarget* target)
{
    m_mainWindow = window;
    m_mainTarget = target;
}

int CKorvoIPSetupApp::Run(int argc, char** argv, const MainWindowFactory& makeMainWindow)
{
    // 1. Single instance, before anything is shown (a second launch needs
    // no display).
    CSingleInstance instance(InstanceTitle());
    switch (instance.Acquire()) {
    case CSingleInstance::Outcome::Failed:
        return 0;
    case CSingleInstance::Outcome::AlreadyHeld:
        instance.AskHolderToRaise(kRaiseAnswerLimit);
        return 0;
    case CSingleInstance::Outcome::Acquired:
        break;
    }

    // 2, 3. The framework; the command line is not the program's (only the
    // program name is passed on).
    char fallbackName[] = "KorvoIPSetup";
    char* frameworkArgv[] = {argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : fallbackName, nullptr};
    int frameworkArgc = 1;
    std::optional<QApplication> application;
    if (QCoreApplication::instance() == nullptr) {
        application.emplace(frameworkArgc, frameworkArgv);
    }
    instance.StartServing();

    // 4. Sockets need no library start-up on this platform.

    // 5. English conventions for the runtime library (after the framework,
    // which takes the environment's locale).
    if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) {
        std::setlocale(LC_ALL, "C");
    }

    // 6, 7. The connection log, registered until the process ends.
    CRLog::AddListener(std::make_unique<CLogFile>());
    WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kSuccess), "Success!!");

    // 8, 9. Settings path and UI language.
    if (!m_settingsPathFixed) {
        m_settingsPath = BuildSettingsPath();
    }
    LoadLanguageSetting();

    {
        CloseRequestSignals closeRequests;

        // 10. The main window, registered for the worker threads.
        MainWindowParts mainWindow = makeMainWindow();
        if (mainWindow.window != nullptr) {
            RegisterMainWindow(mainWindow.window.get(), mainWindow.target);

            // 11. Its modal run: everything the program does happens inside.
            if (!mainWindow.initialize || mainWindow.initialize()) {
                closeRequests.SetWindow(mainWindow.window.get());
                mainWindow.window->exec();
            }
            closeRequests.SetWindow(nullptr);

            // 12. Shut-down: the main window stops the receive thread and
            // deletes the UDP client before the data store goes.
            RegisterMainWindow(nullptr, nullptr);
            mainWindow.window.reset();
        }
    }

    // 13. The framework ends.
    instance.StopServing();
    application.reset();
    return 0;
}

}  // namespace korvo
