// The modal response wait (dialog 1800). While it is open a worker thread
// hands the exchange's frames one by one to the main window and waits for
// answers or timeouts; the window closes by itself when the exchange is over
// and the caller then reads the timed-out flag.
//
// Modes: 0 and 2 send every frame at once and then wait one response time;
// 1 and 3 send one frame at a time: response timer restarted, frame sent,
// wait for the answer, then the pause; the response timer runs on through
// the pause, and a frame goes out only while the timed-out flag is 0.
//
// Enter, Escape and close requests leave the window open; only the end of
// the exchange (UWM_WAIT_FINISHED) closes it.
#pragma once

#include "platform/MessageTransport.h"
#include "platform/qt/QtMessageTransport.h"

#include <QDialog>
#include <QString>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class QLabel;

namespace korvo {

inline constexpr int IDD_WAIT_DIALOG = 1800;
inline constexpr int IDC_WAIT_MESSAGE = 1801;

// Names of the two events the worker waits on (one wait exists at a time).
inline constexpr const char* kWaitAnswerEventName = "VIVIZAZIVUZO_ZADEZ_EVUD_AVIRIVU";
inline constexpr const char* kWaitPauseEventName = "CMJJXZNOJQKT_FTTHJ_KSGD_FXQVGSQ";

class CWaitDlg : public QDialog, public platform::MessageHandler {
    Q_OBJECT

public:
    // owningPage receives UWM_WAIT_OPENED (sent, wParam = Target()); frames are
    // sent synchronously to mainWindow with the send message id (wParam =
    // const std::string* frame, lParam 0). Both must outlive the wait.
    CWaitDlg(QWidget* ownerWindow, platform::MessageTarget* owningPage, platform::MessageTarget* mainWindow);
    ~CWaitDlg() override;
    CWaitDlg(const CWaitDlg&) = delete;
    CWaitDlg& operator=(const CWaitDlg&) = delete;

    void SetMessage(const QString& text);
    void SetSendMessageId(unsigned id);
    void SetMode(int mode);  // 0..3
    void SetResponseTime(int ms);
    void SetPauseTime(int ms);
    void SetFrames(const std::vector<std::string>& frames);

    // Modal run; returns 0 when the exchange is over. Runs once per object.
    int exec() override;
    // 1 when the response timer expired or a refusal ended the exchange.
    int TimedOut() const;
    // Where answers go (UWM_WAIT_RESPONSE: wParam 0 answer, 1 refusal).
    platform::MessageTarget* Target();

    platform::LResult HandleMessage(unsigned message, platform::WParam wParam, platform::LParam lParam) override;

    // Settings as the caller left them (for tests and diagnostics).
    int Mode() const { return m_mode; }
    int ResponseTime() const { return m_responseTime; }
    int PauseTime() const { return m_pauseTime; }
    unsigned SendMessageId() const { return m_sendMessageId; }
    const QString& Message() const { return m_message; }
    QLabel* MessageLabel() const { return m_label; }  // control 1801

public Q_SLOTS:
    // Nothing: Enter, the OK action and Escape leave the wait open.
    void accept() override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    struct Shared;

    void Open();
    void Finish();
    void StartResponseTimer();
    void StartPauseTimer();
    void StopTimers();
    static void RunWorker(std::shared_ptr<Shared> shared);

    platform::MessageTarget* m_owningPage;
    QString m_message;
    int m_mode = 0;
    int m_responseTime = 10000;
    int m_pauseTime = 5000;
    unsigned m_sendMessageId = 0;
    int m_responseTimer = 0;  // Qt timer id; 0 when not running
    int m_pauseTimer = 0;
    bool m_finishing = false;
    bool m_ran = false;
    QLabel* m_label = nullptr;
    std::shared_ptr<Shared> m_shared;  // what the worker thread uses
    std::thread m_worker;
    platform::QtMessageReceiver m_receiver;
};

}  // namespace korvo
