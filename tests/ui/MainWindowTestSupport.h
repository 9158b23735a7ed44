// Helpers for the main window's tests: a private network namespace with its
// loopback up, a settings file per test, a loopback receiver that stands in
// for the devices' broadcast address, a capture of the diagnostic log, and
// reply frames for the reply analysis.
#pragma once

#include "tests/support/LoopbackReceiver.h"
#include "tests/support/PrivateNetwork.h"

#include <QApplication>
#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/KorvoIPSetup.h"
#include "app/StringTable.h"
#include "files/DiagLog.h"
#include "mainwindow/KorvoIPSetupDlg.h"
#include "model/DataCommon.h"
#include "protocol/Frames.h"
#include "platform/qt/DialogService.h"
#include "protocol/UdpClient.h"

namespace mwtest {

using korvotest::EnterPrivateNetworkNamespace;

using korvotest::LoopbackReceiver;

struct LogEntry {
    int category;
    std::string text;
    std::string unit;
};

// Diagnostic log entries of every thread.
class LogCapture {
public:
    LogCapture() { CRLog::AddListener(std::make_unique<Listener>(this)); }
    ~LogCapture() { CRLog::ClearListeners(); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogEntry> Entries() const
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_entries;
    }
    std::size_t Count(const std::string& text, int category = -1) const
    {
        std::size_t n = 0;
        for (const LogEntry& e : Entries()) {
            if (e.text == text && (category < 0 || e.category == category)) {
                ++n;
            }
        }
        return n;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_entries.clear();
    }

private:
    class Listener : public CRLog::Listener {
    public:
        explicit Listener(LogCapture* owner) : m_owner(owner) {}
        void Log(int category, const std::string& text, const char* unit, int) override
        {
            std::lock_guard<std::mutex> guard(m_owner->m_mutex);
            m_owner->m_entries.push_back({category, text, unit != nullptr ? unit : ""});
        }

    private:
        LogCapture* m_owner;
    };

    mutable std::mutex m_mutex;
    std::vector<LogEntry> m_entries;
};

// Settings of one test run.
struct Settings {
    std::string language = "en";
    int debugUdp = 0;
    int tableInquiryResponse = 2000;
    int tableInquiryWait = 0;
    int networkSettingResponse = 300;
    int tableSettingResponse = 1000;
    int tableSettingWait = 0;
};

inline QByteArray IniText(const Settings& s)
{
    std::string text;
    text += "[Language]\r\nLanguage=" + s.language + "\r\n";
    text += "[NetworkInq]\r\nResponsTime=" + std::to_string(s.networkSettingResponse) + "\r\n";
    text += "[CameraTableInq]\r\nResponsTime=" + std::to_string(s.tableInquiryResponse) +
            "\r\nWaitTime=" + std::to_string(s.tableInquiryWait) + "\r\n";
    text += "[CameraTableSet]\r\nResponsTime=" + std::to_string(s.tableSettingResponse) +
            "\r\nWaitTime=" + std::to_string(s.tableSettingWait) + "\r\n";
    text += "[DebugUdp]\r\nDebugUdpFlg=" + std::to_string(s.debugUdp) + "\r\n";
    return QByteArray::fromStdString(text);
}

// A main window on a settings file of its own, sending to a loopback
// receiver instead of the broadcast address, initialised and shown.
class WindowRun {
public:
    explicit WindowRun(const Settings& settings)
    {
        const QString path = m_dir.filePath(QStringLiteral("KorvoIPSetup.ini"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(IniText(settings));
            file.close();
        }
        korvo::CKorvoIPSetupApp& app = korvo::CKorvoIPSetupApp::Instance();
        app.SetSettingsPathForTesting(path.toStdString());
        app.LoadLanguageSetting();
        window = std::make_unique<korvo::CKorvoIPSetupDlg>();
        window->UdpClient()->SetDestinationForTesting("127.0.0.1", receiver.Port());
        initialized = window->Initialize();
        window->show();
    }
    ~WindowRun()
    {
        window.reset();
        korvo::SetUiLanguage(korvo::UiLanguage::English);
    }

    korvo::CKorvoIPSetupDlg& operator*() { return *window; }
    korvo::CKorvoIPSetupDlg* operator->() { return window.get(); }

    LoopbackReceiver receiver;
    std::unique_ptr<korvo::CKorvoIPSetupDlg> window;
    bool initialized = false;

private:
    QTemporaryDir m_dir;
};

// Runs the event loop until the condition holds (or 5 s have passed).
template <class Condition>
bool WaitUntil(Condition condition, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Per test: English texts, and every box and dialog answered by a script.
// Install in the test's init, Remove in its cleanup.
class TestDialogs {
public:
    void Install()
    {
        korvo::SetUiLanguage(korvo::UiLanguage::English);
        m_service = std::make_unique<platform::ScriptedDialogService>();
        platform::SetDialogService(m_service.get());
    }
    void Remove()
    {
        platform::SetDialogService(nullptr);
        m_service.reset();
    }
    platform::ScriptedDialogService* get() const { return m_service.get(); }
    platform::ScriptedDialogService* operator->() const { return m_service.get(); }

private:
    std::unique_ptr<platform::ScriptedDialogService> m_service;
};

// Handles the events queued now (posted notifications included).
inline void Settle(int ms = 50)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

// Settings of a start with simulated devices.
inline Settings Simulated(const std::string& language = "en")
{
    Settings s;
    s.language = language;
    s.debugUdp = 1;
    return s;
}

// Hands a received frame to the window's reply analysis, as the receive
// thread does.
inline void Feed(korvo::CKorvoIPSetupDlg& window, const std::string& frame)
{
    window.UdpClient()->Analysis().AnalyzeReply(frame);
}

// Feeds the frames and handles the notifications they posted.
inline void FeedAll(korvo::CKorvoIPSetupDlg& window, const std::vector<std::string>& frames)
{
    for (const std::string& frame : frames) {
        Feed(window, frame);
    }
    Settle(50);
}

// Reports a page state code for the active page (also codes no page uses).
inline void SendState(korvo::CKorvoIPSetupDlg& window, int code)
{
    window.Target()->Send(korvo::UWM_PAGE_STATE, static_cast<platform::WParam>(code), 0);
}
inline void SendState(korvo::CKorvoIPSetupDlg& window, korvo::PageState state)
{
    SendState(window, static_cast<int>(state));
}

inline std::string Mac(int n, int kind = 0)
{
    char text[32];
    std::snprintf(text, sizeof text, "02-%02X-00-00-%02X-%02X", kind, (n >> 8) & 0xFF, n & 0xFF);
    return text;
}

// Network information reply of a camera or controller (version 9.87 with a
// gateway field).
inline std::string NetworkReply(const std::string& mac, const std::string& ip, const std::string& model = "IPCARD",
                                const std::string& name = "dev", const std::string& write = "on")
{
    korvo::NetworkInfoFields fields;
    fields.mac = mac;
    fields.model = model;
    fields.version = "9.87";
    fields.ip = ip;
    fields.mask = "255.255.255.0";
    fields.name = name;
    fields.write = write;
    fields.gateway = "0.0.0.0";
    return korvo::BuildNetworkInfoReply(fields);
}

inline std::string AddressText(const korvo::Address4& a)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    return text;
}

inline std::vector<korvo::DeviceRecord> Cameras(korvo::CKorvoIPSetupDlg& window)
{
    std::vector<korvo::DeviceRecord> out;
    window.DataStore()->CopyCameras(out);
    return out;
}

inline std::vector<korvo::DeviceRecord> Controllers(korvo::CKorvoIPSetupDlg& window)
{
    std::vector<korvo::DeviceRecord> out;
    window.DataStore()->CopyControllers(out);
    return out;
}

inline QString ReadText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

inline QString Utf8(int id)
{
    return QString::fromUtf8(korvo::LoadText(id));
}

}  // namespace mwtest

// Qt Test entry point that first moves into a private network namespace.
#define MAINWINDOW_TEST_MAIN(TestObject)                                            \
    int main(int argc, char** argv)                                                 \
    {                                                                               \
        const bool isolated = mwtest::EnterPrivateNetworkNamespace();               \
        QApplication app(argc, argv);                                               \
        if (!isolated) {                                                            \
            qWarning("no private network namespace; tests send to 127.0.0.1 only"); \
        }                                                                           \
        TestObject test;                                                            \
        return QTest::qExec(&test, argc, argv);                                     \
    }
