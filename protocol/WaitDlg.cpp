#include "protocol/WaitDlg.h"

#include "app/StringTable.h"
#include "files/DiagLog.h"
#include "mainwindow/Messages.h"
#include "platform/Sync.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimerEvent>

#include <chrono>

namespace korvo {

namespace {

constexpr int kStrTitle = 10001;
constexpr int kMarginAroundMessage = 40;

// The wait window's own messages: timers are started and stopped on the UI
// thread, so the worker asks the window to do it (sent, answered at once).
constexpr unsigned kMsgStartResponseTimer = kWmApp + 0x0700;
constexpr unsigned kMsgStartPauseTimer = kWmApp + 0x0701;
constexpr unsigned kMsgStopTimers = kWmApp + 0x0702;
static_assert(MessageName(kMsgStartResponseTimer) == nullptr && MessageName(kMsgStartPauseTimer) == nullptr &&
              MessageName(kMsgStopTimers) == nullptr);

// How often a waiting worker looks whether its window is being torn down.
constexpr std::chrono::milliseconds kStopPoll{50};
// How long the end of an exchange or the window's destruction waits for the
// worker (it only finishes a send to the main window by then).
constexpr std::chrono::milliseconds kWorkerJoinLimit{10000};

}  // namespace

struct CWaitDlg::Shared {
    Shared() : answer(kWaitAnswerEventName, true), pause(kWaitPauseEventName, true) {}

    platform::ManualResetEvent answer;
    platform::ManualResetEvent pause;
    std::atomic<int> timedOut{0};
    std::atomic<bool> stopping{false};
    std::vector<std::string> frames;
    int mode = 0;
    unsigned sendMessageId = 0;
    platform::MessageTarget* mainWindow = nullptr;
    std::shared_ptr<platform::MessageTarget> window;  // the wait window, safe after it is gone

    // Waits for the event; false when the window is torn down meanwhile.
    bool Await(platform::ManualResetEvent& event)
    {
        while (!event.WaitFor(kStopPoll)) {
            if (stopping.load()) {
                return false;
            }
        }
        return !stopping.load();
    }
};

CWaitDlg::CWaitDlg(QWidget* ownerWindow, platform::MessageTarget* owningPage, platform::MessageTarget* mainWindow)
    : QDialog(ownerWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_owningPage(owningPage),
      m_shared(std::make_shared<Shared>()),
      m_receiver(this)
{
    setObjectName(QStringLiteral("IDD_WAIT_DIALOG"));
    setModal(true);
    m_shared->mainWindow = mainWindow;
    m_shared->window = m_receiver.Target();
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("ctl1801"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setAlignment(Qt::AlignCenter);
}

CWaitDlg::~CWaitDlg()
{
    if (m_worker.joinable()) {
        // Torn down while the exchange runs (the program is ending): release
        // the worker from every wait and let it finish its current send.
        m_shared->stopping.store(true);
        m_shared->answer.Set();
        m_shared->pause.Set();
        m_receiver.Close();
        if (!platform::WaitForThreadPumping(m_worker, kWorkerJoinLimit)) {
            WriteDiagnostic(KORVO_WHERE("WaitDlg", CRLog::kSymptom), "%s",
                            "Response wait worker did not end; left running.");
        }
    }
    m_receiver.Close();
}

void CWaitDlg::SetMessage(const QString& text) { m_message = text; }
void CWaitDlg::SetSendMessageId(unsigned id) { m_sendMessageId = id; }
void CWaitDlg::SetMode(int mode) { m_mode = mode; }
void CWaitDlg::SetResponseTime(int ms) { m_responseTime = ms; }
void CWaitDlg::SetPauseTime(int ms) { m_pauseTime = ms; }
void CWaitDlg::SetFrames(const std::vector<std::string>& frames) { m_shared->frames = frames; }

int CWaitDlg::TimedOut() const { return m_shared->timedOut.load(); }

platform::MessageTarget* CWaitDlg::Target() { return &m_receiver; }

int CWaitDlg::exec()
{
    if (m_ran) {
        return 0;
    }
    m_ran = true;
    Open();
    return QDialog::exec();
}

void CWaitDlg::Open()
{
    QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    if (owner != nullptr) {
        setFont(owner->font());
    }
    setWindowTitle(QString::fromUtf8(LoadText(kStrTitle)));

    // The window is the message plus a margin on every side, centred over
    // its owner; the message field is one pixel larger than the text.
    const QSize text = QFontMetrics(font()).size(Qt::TextSingleLine, m_message);
    const QSize client(text.width() + 2 * kMarginAroundMessage, text.height() + 2 * kMarginAroundMessage);
    setFixedSize(client);
    m_label->setGeometry(kMarginAroundMessage - 1, kMarginAroundMessage - 1, text.width() + 2, text.height() + 2);
    m_label->setText(m_message);
    QRect area;
    if (owner != nullptr) {
        area = owner->frameGeometry();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    if (area.isValid()) {
        move(area.center() - QPoint(client.width() / 2, client.height() / 2));
    }

    m_shared->mode = m_mode;
    m_shared->sendMessageId = m_sendMessageId;
    m_worker = std::thread(&CWaitDlg::RunWorker, m_shared);

    if (m_owningPage != nullptr) {
        m_owningPage->Send(UWM_WAIT_OPENED, reinterpret_cast<platform::WParam>(Target()), 0);
    }
}

void CWaitDlg::RunWorker(std::shared_ptr<Shared> shared)
{
    Shared& s = *shared;
    const auto sendFrame = [&s](const std::string& frame) {
        if (s.mainWindow != nullptr) {
            s.mainWindow->Send(s.sendMessageId, reinterpret_cast<platform::WParam>(&frame), 0);
        }
    };

    if (s.mode == 1 || s.mode == 3) {
        // One frame at a time; the response timer runs on through the pause.
        for (const std::string& frame : s.frames) {
            if (s.timedOut.load() != 0 || s.stopping.load()) {
                break;
            }
            s.answer.Reset();
            s.window->Send(kMsgStartResponseTimer, 0, 0);
            sendFrame(frame);
            if (!s.Await(s.answer)) {
                break;
            }
            s.pause.Reset();
            s.window->Send(kMsgStartPauseTimer, 0, 0);
            if (!s.Await(s.pause)) {
                break;
            }
        }
    } else {
        // Every frame at once, then one response time.
        for (const std::string& frame : s.frames) {
            if (s.stopping.load()) {
                break;
            }
            sendFrame(frame);
        }
        if (!s.stopping.load()) {
            s.answer.Reset();
            s.window->Send(kMsgStartResponseTimer, 0, 0);
            s.Await(s.answer);
        }
    }
    s.window->Send(kMsgStopTimers, 0, 0);
    s.window->Post(UWM_WAIT_FINISHED, 0, 0);
}

platform::LResult CWaitDlg::HandleMessage(unsigned message, platform::WParam wParam, platform::LParam)
{
    switch (message) {
    case UWM_WAIT_RESPONSE:
        if (wParam != 0) {
            m_shared->timedOut.store(1);
        }
        m_shared->answer.Set();
        return 0;
    case UWM_WAIT_FINISHED:
        Finish();
        return 0;
    case kMsgStartResponseTimer:
        StartResponseTimer();
        return 0;
    case kMsgStartPauseTimer:
        StartPauseTimer();
        return 0;
    case kMsgStopTimers:
        StopTimers();
        return 0;
    default:
        return 0;
    }
}

void CWaitDlg::Finish()
{
    if (m_worker.joinable() && !platform::WaitForThreadPumping(m_worker, kWorkerJoinLimit)) {
        WriteDiagnostic(KORVO_WHERE("WaitDlg", CRLog::kSymptom), "%s",
                        "Response wait worker did not end; left running.");
    }
    m_finishing = true;
    done(0);
}

void CWaitDlg::StartResponseTimer()
{
    if (m_responseTimer != 0) {
        killTimer(m_responseTimer);
    }
    m_responseTimer = startTimer(std::chrono::milliseconds(qMax(0, m_responseTime)), Qt::PreciseTimer);
}

void CWaitDlg::StartPauseTimer()
{
    if (m_pauseTimer != 0) {
        killTimer(m_pauseTimer);
    }
    m_pauseTimer = startTimer(std::chrono::milliseconds(qMax(0, m_pauseTime)), Qt::PreciseTimer);
}

void CWaitDlg::StopTimers()
{
    if (m_responseTimer != 0) {
        killTimer(m_responseTimer);
        m_responseTimer = 0;
    }
    if (m_pauseTimer != 0) {
        killTimer(m_pauseTimer);
        m_pauseTimer = 0;
    }
}

void CWaitDlg::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != 0 && event->timerId() == m_responseTimer) {
        killTimer(m_responseTimer);
        m_responseTimer = 0;
        m_shared->timedOut.store(1);
        m_receiver.Post(UWM_WAIT_RESPONSE, 1, 0);
    } else if (event->timerId() != 0 && event->timerId() == m_pauseTimer) {
        killTimer(m_pauseTimer);
        m_pauseTimer = 0;
        m_shared->pause.Set();
    } else {
        QDialog::timerEvent(event);
    }
}

void CWaitDlg::accept() {}

void CWaitDlg::reject() {}

void CWaitDlg::closeEvent(QCloseEvent* event)
{
    if (m_finishing) {
        QDialog::closeEvent(event);
    } else {
        event->ignore();
    }
}

}  // namespace korvo
