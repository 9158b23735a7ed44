// The modal response wait: pacing of frames by mode, answers, refusals and
// timeouts, the window that only the end of the exchange closes, and the
// worker's frames arriving at the main window as synchronous sends.
#include "protocol/WaitDlg.h"

#include "app/StringTable.h"
#include "mainwindow/Messages.h"
#include "platform/qt/QtMessageTransport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <functional>
#include <thread>

using korvo::CWaitDlg;

namespace {

struct SeenFrame {
    unsigned message = 0;
    std::string frame;
    qint64 at = 0;  // ms since the run began
    bool onUiThread = false;
    platform::LParam lParam = -1;
};

// Stands in for the main window: records each frame and lets the test act on
// it (typically: schedule an answer to the wait).
class FakeMainWindow : public platform::MessageHandler {
public:
    platform::LResult HandleMessage(unsigned message, platform::WParam wParam, platform::LParam lParam) override
    {
        SeenFrame seen;
        seen.message = message;
        seen.frame = *reinterpret_cast<const std::string*>(wParam);
        seen.at = clock.elapsed();
        seen.onUiThread = std::this_thread::get_id() == uiThread;
        seen.lParam = lParam;
        frames.push_back(seen);
        if (onFrame) {
            onFrame(frames.size() - 1);
        }
        return 0;
    }
    QElapsedTimer clock;
    std::thread::id uiThread = std::this_thread::get_id();
    std::vector<SeenFrame> frames;
    std::function<void(std::size_t)> onFrame;
};

// Stands in for the owning page: remembers the wait's address.
class FakePage : public platform::MessageHandler {
public:
    platform::LResult HandleMessage(unsigned message, platform::WParam wParam, platform::LParam) override
    {
        if (message == korvo::UWM_WAIT_OPENED) {
            waitTarget = reinterpret_cast<platform::MessageTarget*>(wParam);
            framesSeenWhenOpened = main != nullptr ? main->frames.size() : 0;
            ++opened;
        }
        return 0;
    }
    platform::MessageTarget* waitTarget = nullptr;
    FakeMainWindow* main = nullptr;
    std::size_t framesSeenWhenOpened = 99;
    int opened = 0;
};

std::vector<std::string> Frames(int count)
{
    std::vector<std::string> frames;
    for (int i = 0; i < count; ++i) {
        frames.push_back(std::string("\x02") + "MAC:" + std::to_string(i) + "\xFF" + "\x03");
    }
    return frames;
}

struct Rig {
    Rig()
    {
        page.main = &main;
        owner.setGeometry(200, 150, 640, 480);
        owner.show();
    }
    // Schedules an answer (wParam) to the open wait, delay ms after a frame.
    void AnswerEachFrame(int delayMs, std::function<platform::WParam(std::size_t)> code)
    {
        main.onFrame = [this, delayMs, code](std::size_t index) {
            const platform::WParam value = code(index);
            QTimer::singleShot(delayMs, Qt::PreciseTimer, [this, value]() {
                if (page.waitTarget != nullptr) {
                    page.waitTarget->Send(korvo::UWM_WAIT_RESPONSE, value, 0);
                }
            });
        };
    }
    // Runs the wait; returns how long it lasted in ms.
    qint64 Run(CWaitDlg& wait)
    {
        main.clock.start();
        const int result = wait.exec();
        const qint64 took = main.clock.elapsed();
        page.waitTarget = nullptr;  // as a page resets its stored handle
        lastResult = result;
        return took;
    }
    QWidget owner;
    FakeMainWindow main;
    FakePage page;
    platform::QtMessageReceiver mainReceiver{&main};
    platform::QtMessageReceiver pageReceiver{&page};
    int lastResult = -1;
};

// Sets up an exchange: pacing mode, the message that carries each frame,
// response and pause time in milliseconds, the frames.
void Configure(CWaitDlg& wait, int mode, unsigned sendId, int responseMs, int pauseMs,
               const std::vector<std::string>& frames)
{
    wait.SetMode(mode);
    wait.SetSendMessageId(sendId);
    wait.SetResponseTime(responseMs);
    wait.SetPauseTime(pauseMs);
    wait.SetFrames(frames);
}

}  // namespace

class TestWaitDlg : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { korvo::SetUiLanguage(korvo::UiLanguage::English); }
    void constructionDefaults();
    void framesArriveAsSendsAfterOpening();
    void answerBeforeResponseTimeLetsNextFrameGoAfterPause();
    void answerDuringPauseStillFails();
    void refusalEndsExchange();
    void noAnswerEndsAfterResponseTimeAndPause();
    void allAtOnceModesLastTheirResponseTime_data();
    void allAtOnceModesLastTheirResponseTime();
    void pauseZeroFollowsAnswers();
    void enterEscapeAndCloseLeaveItOpen();
    void windowSizedAroundMessageAndCentred();
    void destroyedWhileRunningEndsWorker();
};

void TestWaitDlg::constructionDefaults()
{
    Rig rig;
    CWaitDlg wait(&rig.owner, &rig.pageReceiver, &rig.mainReceiver);
    QCOMPARE(wait.Mode(), 0);
    QCOMPARE(wait.ResponseTime(), 10000);
    QCOMPARE(wait.PauseTime(), 5000);
    QCOMPARE(wait.SendMessageId(), 0u);
    QCOMPARE(wait.TimedOut(), 0);
    QVERIFY(wait.Message().isEmpty());
    QVERIFY(wait.Target() != nullptr);
    // Caption bar without a close box.
    QVERIFY(!(wait.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(wait.windowFlags() & Qt::WindowSystemMenuHint));
    QVERIFY(wait.windowFlags() & Qt::WindowTitleHint);
}

void TestWaitDlg::framesArriveAsSendsAfterOpening()
{
    Rig rig;
    CWaitDlg wait(&rig.owner, &rig.pageReceiver, &rig.mainReceiver);
    wait.SetMode(0);
    wait.SetSendMessageId(korvo::UWM_SEND_NETWORK_INQUIRY);
    wait.SetResponseTime(200);
    wait.SetPauseTime(0);
    const auto frames = Frames(3);
    wait.SetFrames(frames);
    rig.Run(wait);

    QCOMPARE(rig.page.opened, 1);
    QVERIFY(rig.page.waitTarget == nullptr);  // reset after the run, as a page does
    QCOMPARE(rig.page.framesSeenWhenOpened, std::size_t(0));
    QCOMPARE(rig.main.frames.size(), std::size_t(3));
    for (std::size_t i = 0; i < frames.size(); ++i) {
        QCOMPARE(rig.main.frames[i].message, unsigned(korvo::UWM_SEND_NETWORK_INQUIRY));
        QCOMPARE(rig.main.frames[i].frame, frames[i]);  // bytes as given, 0x02 ... 0xFF 0x03
        QCOMPARE(rig.main.frames[i].lParam, platform::LParam(0));
        QVERIFY(rig.main.frames[i].onUiThread);
    }
    QCOMPARE(rig.lastResult, 0);
}

void TestWaitDlg::answerBeforeResponseTimeLetsNextFrameGoAfterPause()
{
    Rig rig;
    CWaitDlg wait(&rig.owner, &rig.pageReceiver, &rig.mainReceiver);
    Configure(wait, 3, korvo::UWM_SEND_CAMTABLE_SETTING, 1000, 300, Frames(3));
    rig.AnswerEachFrame(100, [](std::size_t) { return platform::WParam(0); });
    const qint64 took = rig.Run(wait);

    QCOMPARE(rig.main.frames.size(), std::size_t(3));
    QCOMPARE(wait.TimedOut(), 0);
    for (std::size_t i = 1; i < rig.main.frames.size(); ++i) {
        const qint64 gap = rig.main.frames[i].at - rig.main.frames[i - 1].at;
        QVERIFY2(gap >= 390, qPrintable(QStringLiteral("gap %1 ms").arg(gap)));  // answer 100 + pause 300
    }
    QVERIFY2(took >= 3 * 390, qPrintable(QStringLiteral("took %1 ms").arg(took)));

    // The end of the exchange stops both timers: the last frame's response
    // timer, still running through its pause, never fires afterwards.
    QTest::qWait(900);
    QCOMPARE(wait.TimedOut(), 0);
}

void TestWaitDlg::answerDuringPauseStillFails()
{
    // The response timer runs on through the pause: answer at 100 ms, pause
    // until 700 ms, response time 300 ms.
    Rig rig;
    CWaitDlg wait(&rig.owner, &rig.pageReceiver, &rig.mainReceiver);
    Configure(wait, 3, korvo::UWM_SEND_CAMTABLE_SETTING, 300, 600, Frames(3));
    rig.AnswerEachFrame(100, [](std::size_t) { return platform::WParam(0); });
    const qint64 took = rig.Run(wait);

    QCOMPARE(rig.main.frames.size(), std::size_t(1));
    QCOMPARE(wait.TimedOut(), 1);
    // The exchange ends after that pause.
    QVERIFY2(took >= 690, qPrintable(QStringLiteral("took %1 ms").arg(took)));
}

void TestWaitDlg::refusalEndsExchange()
{
    Rig rig;
    CWaitDlg wait(&rig.owner, &rig.pageReceiver, &rig.mainReceiver);
    Configure(wait, 3, korvo::UWM_SEND_CAMTABLE_SETTING, 2000, 50, Frames(3));
    rig.AnswerEachFrame(50, [](std::size_t) { return platform::WParam(1); });
    const qint64 took = rig.Run(wait);

    QCOMPARE(rig.main.frames.size(), std::size_t(1));
    QCOMPARE(wait.TimedOut(), 1);
    QVERIFY2(took < 1500, qPrintable(QStringLiteral("took %1 ms").arg(took)));
}

void TestWaitDlg::noAnswerEndsAfterResponseTimeAndPause()
{
    Rig rig;
    CWaitDlg wait(&rig.owner, &rig.pageReceiver, &rig.mainReceiver);
    Configure(wait, 1, korvo::UWM_SEND_CAMTABLE_INQUIRY, 250, 150, Frames(4));
    const qint64 took = rig.Run(wait);

    QCOMPARE(rig.main.frames.size(), std::size_t(1));
    QCOMPARE(rig.main.frames[0].message, unsigned(korvo::UWM_SEND_CAMTABLE_INQUIRY));
    QCOMPARE(wait.TimedOut(), 1);
    QVERIFY2(took >= 390, qPrintable(QStringLiteral("took %1 ms").arg(took)));
}

void TestWaitDlg::allAtOnceModesLastTheirResponseTime_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<unsigned>("sendId");
    QTest::newRow("network inquiry") << 0 << unsigned(korvo::UWM_SEND_NETWORK_INQUIRY);
    QTest::newRow("network setting") << 2 << unsigned(korvo::UWM_SEND_NETWORK_SETTING);
}

void TestWaitDlg::allAtOnceModesLastTheirResponseTime()
{
    QFETCH(int, mode);
    QFETCH(unsigned, sendId);
    Rig rig;
    CWaitDlg wait(&rig.owner, &rig.pageReceiver, &rig.mainReceiver);
    Configure(wait, mode, sendId, 400, 5000, Frames(5));  // not used by these modes
    const qint64 took = rig.Run(wait);

    QCOMPARE(rig.main.frames.size(), std::size_t(5));
    // All frames go at once, without waiting between them.
    QVERIFY2(rig.main.frames.back().at - rig.main.frames.front().at < 200,
             qPrintable(QStringLiteral("spread %1 ms").arg(rig.main.frames.back().at - rig.main.frames.front().at)));
    QVERIFY2(took >= 395, qPrintable(QStringLiteral("took %1 ms").arg(took)));
    QVERIFY2(took < 2500, qPrintable(QStringLiteral("took %1 ms").arg(took)));
    QCOMPARE(wait.TimedOut(), 1);
}

void TestWaitDlg::pauseZeroFollowsAnswers()
{
    Rig rig;
    CWaitDlg wait(&rig.owner, &rig.pageReceiver, &rig.mainReceiver);
    Configure(wait, 1, korvo::UWM_SEND_CAMTABLE_INQUIRY, 2000, 0, Frames(10));
    rig.AnswerEachFrame(0, [](std::size_t) { return platform::WParam(0); });
    const qint64 took = rig.Run(wait);

    QCOMPARE(rig.main.frames.size(), std::size_t(10));
    QCOMPARE(wait.TimedOut(), 0);
    QVERIFY2(took < 1500, qPrintable(QStringLiteral("took %1 ms").arg(took)));
}

void TestWaitDlg::enterEscapeAndCloseLeaveItOpen()
{
    Rig rig;
    CWaitDlg wait(&rig.owner, &rig.pageReceiver, &rig.mainReceiver);
    wait.SetMode(0);
    wait.SetSendMessageId(korvo::UWM_SEND_NETWORK_INQUIRY);
    wait.SetResponseTime(500);
    wait.SetFrames(Frames(1));
    bool visibleAfterKeys = false;
    QTimer::singleShot(50, [&]() {
        QTest::keyClick(&wait, Qt::Key_Return);
        QTest::keyClick(&wait, Qt::Key_Enter);
        QTest::keyClick(&wait, Qt::Key_Escape);
        wait.close();
        wait.accept();
        wait.reject();
        QCoreApplication::processEvents();
        visibleAfterKeys = wait.isVisible();
    });
    const qint64 took = rig.Run(wait);
    QVERIFY(visibleAfterKeys);
    QVERIFY2(took >= 495, qPrintable(QStringLiteral("took %1 ms").arg(took)));
    QCOMPARE(rig.lastResult, 0);
    QVERIFY(!wait.isVisible());
}

void TestWaitDlg::windowSizedAroundMessageAndCentred()
{
    Rig rig;
    CWaitDlg wait(&rig.owner, &rig.pageReceiver, &rig.mainReceiver);
    const QString message = QString::fromUtf8(korvo::LoadText(10106));  // "Getting configurations."
    wait.SetMessage(message);
    wait.SetMode(0);
    wait.SetResponseTime(200);
    QSize seenSize;
    QPoint seenCentre;
    QRect labelRect;
    QString labelText;
    QString caption;
    QTimer::singleShot(50, [&]() {
        seenSize = wait.size();
        seenCentre = wait.frameGeometry().center();
        labelRect = wait.MessageLabel()->geometry();
        labelText = wait.MessageLabel()->text();
        caption = wait.windowTitle();
    });
    rig.Run(wait);

    const QSize text = QFontMetrics(rig.owner.font()).size(Qt::TextSingleLine, message);
    QCOMPARE(seenSize, QSize(text.width() + 80, text.height() + 80));
    QVERIFY((seenCentre - rig.owner.frameGeometry().center()).manhattanLength() <= 2);
    QCOMPARE(labelRect, QRect(39, 39, text.width() + 2, text.height() + 2));
    QCOMPARE(labelText, QStringLiteral("Getting configurations."));
    QCOMPARE(caption, QStringLiteral("Orvane Setup Tool"));
}

void TestWaitDlg::destroyedWhileRunningEndsWorker()
{
    // The program may tear the wait down while its worker is sending: the
    // window's destruction must neither hang nor leave the worker sending.
    Rig rig;
    QPointer<CWaitDlg> wait = new CWaitDlg(&rig.owner, &rig.pageReceiver, &rig.mainReceiver);
    wait->SetMode(0);
    wait->SetSendMessageId(korvo::UWM_SEND_NETWORK_SETTING);
    wait->SetResponseTime(60000);
    wait->SetFrames(Frames(500));
    rig.main.onFrame = [&](std::size_t index) {
        if (index == 2) {
            QTimer::singleShot(0, [&]() { delete wait.data(); });
        }
    };
    QElapsedTimer clock;
    clock.start();
    rig.Run(*wait);
    QVERIFY(wait.isNull());
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QStringLiteral("took %1 ms").arg(clock.elapsed())));
    const std::size_t seen = rig.main.frames.size();
    QVERIFY(seen < 500);
    QTest::qWait(100);
    QCOMPARE(rig.main.frames.size(), seen);
}

QTEST_MAIN(TestWaitDlg)
#include "test_wait_dlg.moc"
