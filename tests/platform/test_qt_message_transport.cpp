#include "platform/qt/QtMessageTransport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using platform::LParam;
using platform::LResult;
using platform::QtMessageReceiver;
using platform::WParam;

namespace {

QCoreApplication& App()
{
    static int argc = 1;
    static char name[] = "test_qt_message_transport";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

struct Call {
    unsigned message;
    WParam wParam;
    LParam lParam;
    std::thread::id thread;
};

// Records every call with the thread it ran on; answers with a function of
// the arguments unless a custom reaction is set.
class Handler : public platform::MessageHandler {
public:
    std::function<LResult(unsigned, WParam, LParam)> react;

    LResult HandleMessage(unsigned message, WParam wParam, LParam lParam) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_calls.push_back({message, wParam, lParam, std::this_thread::get_id()});
        }
        if (react)
            return react(message, wParam, lParam);
        return static_cast<LResult>(message * 1000 + wParam) + lParam;
    }

    std::vector<Call> Calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::size_t Count() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls.size();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Call> m_calls;
};

// Runs the calling thread's event loop until done() or the time limit.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

// Runs the event loop for a while without a condition.
void PumpFor(std::chrono::milliseconds span)
{
    QEventLoop loop;
    QTimer::singleShot(span, &loop, &QEventLoop::quit);
    loop.exec();
}

class QtMessageTransport : public ::testing::Test {
protected:
    void SetUp() override { App(); }
};

TEST_F(QtMessageTransport, SameThreadSendIsADirectCall)
{
    Handler handler;
    QtMessageReceiver receiver(&handler);
    EXPECT_EQ(receiver.Send(7, 3, 4), 7007);  // no event loop ran
    ASSERT_EQ(handler.Count(), 1u);
    EXPECT_EQ(handler.Calls()[0].thread, std::this_thread::get_id());
}

TEST_F(QtMessageTransport, CrossThreadSendBlocksUntilHandledOnReceiverThread)
{
    Handler handler;
    handler.react = [](unsigned, WParam w, LParam) {
        *reinterpret_cast<int*>(w) = 42;  // writes into the sender's memory
        return LResult{-17};
    };
    QtMessageReceiver receiver(&handler);
    std::atomic<bool> started{false};
    std::atomic<bool> returned{false};
    LResult answer = 0;
    int filled = 0;
    std::thread worker([&] {
        started = true;
        answer = receiver.Send(1130, reinterpret_cast<WParam>(&filled), 0);
        returned = true;
    });
    while (!started)
        std::this_thread::yield();
    std::this_thread::sleep_for(50ms);  // the receiver's thread is not pumping
    EXPECT_FALSE(returned.load());
    EXPECT_EQ(handler.Count(), 0u);

    ASSERT_TRUE(PumpUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_EQ(answer, -17);
    EXPECT_EQ(filled, 42);
    ASSERT_EQ(handler.Count(), 1u);
    EXPECT_EQ(handler.Calls()[0].thread, std::this_thread::get_id());
    EXPECT_EQ(handler.Calls()[0].message, 1130u);
}

TEST_F(QtMessageTransport, PostsAreQueuedAndKeepTheirOrder)
{
    Handler handler;
    QtMessageReceiver receiver(&handler);
    constexpr int kCount = 200;
    EXPECT_TRUE(receiver.Post(1, 0, -1));  // from the receiver's own thread: queued too
    EXPECT_EQ(handler.Count(), 0u);
    std::thread worker([&] {
        for (int i = 0; i < kCount; ++i)
            EXPECT_TRUE(receiver.Post(2, static_cast<WParam>(i), 0));
    });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return handler.Count() == kCount + 1; }));
    const auto calls = handler.Calls();
    EXPECT_EQ(calls[0].message, 1u);
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(calls[i + 1].message, 2u);
        EXPECT_EQ(calls[i + 1].wParam, static_cast<WParam>(i));
        EXPECT_EQ(calls[i + 1].thread, std::this_thread::get_id());
    }
}

TEST_F(QtMessageTransport, SendFromWorkerIsHandledInsideNestedEventLoop)
{
    Handler handler;
    QtMessageReceiver receiver(&handler);
    std::thread worker;
    std::atomic<LResult> answer{0};
    bool innerRunning = false;
    int handledInside = 0;
    QEventLoop inner;
    handler.react = [&](unsigned message, WParam, LParam) -> LResult {
        if (message == 114) {
            if (innerRunning)
                ++handledInside;
            return 5;
        }
        return 0;
    };
    // Like a modal wait: the outer loop runs a nested loop that ends once
    // the worker's send has been answered.
    QTimer::singleShot(0, [&] {
        worker = std::thread([&] { answer = receiver.Send(114, 0, 0); });
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &inner, [&] {
            if (answer != 0)
                inner.quit();
        });
        poll.start(1);
        innerRunning = true;
        inner.exec();
        innerRunning = false;
    });
    ASSERT_TRUE(PumpUntil([&] { return answer == 5 && !innerRunning; }));
    worker.join();
    EXPECT_EQ(handledInside, 1);
}

TEST_F(QtMessageTransport, ClosingReleasesBlockedSenderWithZero)
{
    Handler handler;
    QtMessageReceiver receiver(&handler);
    std::atomic<bool> started{false};
    std::atomic<bool> returned{false};
    LResult answer = -1;
    std::thread worker([&] {
        started = true;
        answer = receiver.Send(3, 0, 0);
        returned = true;
    });
    while (!started)
        std::this_thread::yield();
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(returned.load());
    receiver.Close();
    worker.join();  // must not hang
    EXPECT_EQ(answer, 0);
    EXPECT_TRUE(receiver.IsClosed());
    EXPECT_FALSE(receiver.Post(4, 0, 0));
    EXPECT_EQ(receiver.Send(5, 0, 0), 0);
    PumpFor(20ms);
    EXPECT_EQ(handler.Count(), 0u);
}

TEST_F(QtMessageTransport, DestroyingReceiverReleasesSenderAndDropsQueuedPosts)
{
    Handler handler;
    auto receiver = std::make_unique<QtMessageReceiver>(&handler);
    std::shared_ptr<platform::MessageTarget> target = receiver->Target();
    EXPECT_TRUE(target->Post(9, 0, 0));
    std::atomic<bool> started{false};
    LResult answer = -1;
    std::thread worker([&] {
        started = true;
        answer = target->Send(3, 0, 0);
    });
    while (!started)
        std::this_thread::yield();
    std::this_thread::sleep_for(30ms);
    receiver.reset();
    worker.join();
    EXPECT_EQ(answer, 0);
    // The address outlives the receiver and refuses everything.
    EXPECT_FALSE(target->Post(9, 0, 0));
    EXPECT_EQ(target->Send(9, 0, 0), 0);
    std::thread late([&] { EXPECT_EQ(target->Send(9, 0, 0), 0); });
    late.join();
    PumpFor(20ms);
    EXPECT_EQ(handler.Count(), 0u);
}

TEST_F(QtMessageTransport, WaitForThreadPumpingHandlesSendsButNotPosts)
{
    Handler handler;
    QtMessageReceiver receiver(&handler);
    std::vector<LResult> answers;
    std::thread worker([&] {
        receiver.Post(50, 0, 0);
        for (WParam i = 1; i <= 3; ++i)
            answers.push_back(receiver.Send(115, i, 0));
    });
    // No event loop runs here: without pumping this would never end.
    ASSERT_TRUE(platform::WaitForThreadPumping(worker, 5000ms));
    EXPECT_FALSE(worker.joinable());
    EXPECT_EQ(answers, (std::vector<LResult>{115001, 115002, 115003}));
    auto calls = handler.Calls();
    ASSERT_EQ(calls.size(), 3u);
    for (const auto& call : calls) {
        EXPECT_EQ(call.message, 115u);
        EXPECT_EQ(call.thread, std::this_thread::get_id());
    }
    // The post waits for the event loop.
    ASSERT_TRUE(PumpUntil([&] { return handler.Count() == 4; }));
    EXPECT_EQ(handler.Calls()[3].message, 50u);
}

TEST_F(QtMessageTransport, WaitForThreadPumpingTimesOutAndAbandonsTheThread)
{
    auto release = std::make_shared<std::atomic<bool>>(false);
    auto ended = std::make_shared<std::atomic<bool>>(false);
    std::thread worker([release, ended] {
        while (!release->load())
            std::this_thread::sleep_for(1ms);
        ended->store(true);
    });
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(platform::WaitForThreadPumping(worker, 60ms));
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(took, 60ms);
    EXPECT_LT(took, 2000ms);
    EXPECT_FALSE(worker.joinable());
    release->store(true);
    // The abandoned thread still ends on its own.
    EXPECT_TRUE(platform::WaitForThreadPumping([&] { return ended->load(); }, 5000ms));
}

TEST_F(QtMessageTransport, WaitForThreadPumpingTrivialCases)
{
    std::thread none;
    EXPECT_TRUE(platform::WaitForThreadPumping(none, 0ms));
    EXPECT_FALSE(platform::WaitForThreadPumping([] { return false; }, 5ms));
    EXPECT_TRUE(platform::WaitForThreadPumping([] { return true; }, 0ms));
}

TEST_F(QtMessageTransport, ShutdownWhileWorkerKeepsSendingDoesNotDeadlock)
{
    Handler handler;
    auto receiver = std::make_unique<QtMessageReceiver>(&handler);
    auto target = receiver->Target();
    std::atomic<int> answered{0};
    std::thread worker([target, &answered] {
        // Like the receive thread: sends until the main window is gone.
        while (target->Send(112, 1, 0) != 0)
            ++answered;
    });
    ASSERT_TRUE(PumpUntil([&] { return answered.load() >= 20; }));
    receiver.reset();  // the worker may be blocked in a send right now
    EXPECT_TRUE(platform::WaitForThreadPumping(worker, 5000ms));
    // Every handled send got its answer; the one the close cut off was not handled.
    EXPECT_EQ(handler.Count(), static_cast<std::size_t>(answered.load()));
}

TEST_F(QtMessageTransport, UiThreadWaitingForWorkerBlockedInSendDoesNotDeadlock)
{
    // The UI thread stops a worker that is blocked in a send to the UI
    // thread, the order of a window that shuts down its receive thread.
    Handler handler;
    QtMessageReceiver receiver(&handler);
    std::atomic<bool> stop{false};
    std::atomic<bool> inSend{false};
    std::thread worker([&] {
        while (!stop) {
            inSend = true;
            receiver.Send(107, 0, 0);
        }
    });
    while (!inSend)
        std::this_thread::yield();
    stop = true;
    EXPECT_TRUE(platform::WaitForThreadPumping(worker, 5000ms));
    EXPECT_GE(handler.Count(), 1u);
}

TEST_F(QtMessageTransport, ThreadsSendingToEachOtherDoNotDeadlock)
{
    Handler mainHandler;
    QtMessageReceiver mainReceiver(&mainHandler);
    Handler workerHandler;
    std::unique_ptr<QtMessageReceiver> workerReceiver;
    std::atomic<bool> ready{false};
    LResult workerAnswer = 0;
    std::thread worker([&] {
        workerReceiver = std::make_unique<QtMessageReceiver>(&workerHandler);
        ready = true;
        // While this send waits, the main thread sends back to this thread.
        workerAnswer = mainReceiver.Send(2, 0, 0);
        workerReceiver.reset();
    });
    while (!ready)
        std::this_thread::yield();
    mainHandler.react = [&](unsigned, WParam, LParam) { return workerReceiver->Send(3, 0, 0) + 1; };
    ASSERT_TRUE(platform::WaitForThreadPumping(worker, 5000ms));
    EXPECT_EQ(workerAnswer, 3000 + 1);
    ASSERT_EQ(workerHandler.Count(), 1u);
    EXPECT_NE(workerHandler.Calls()[0].thread, std::this_thread::get_id());
}

TEST_F(QtMessageTransport, ManySendersAndPostersConcurrently)
{
    Handler handler;
    QtMessageReceiver receiver(&handler);
    constexpr int kThreads = 4;
    constexpr int kRounds = 150;
    std::atomic<int> wrong{0};
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                receiver.Post(600 + t, static_cast<WParam>(i), 0);
                if (receiver.Send(10 + t, static_cast<WParam>(i), t) != (10 + t) * 1000 + i + t)
                    ++wrong;
            }
            ++finished;
        });
    }
    ASSERT_TRUE(PumpUntil([&] { return finished == kThreads && handler.Count() == 2 * kThreads * kRounds; },
                          20000ms));
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(wrong.load(), 0);
    // Each poster's messages arrive in the order it posted them.
    std::vector<WParam> next(kThreads, 0);
    for (const auto& call : handler.Calls()) {
        EXPECT_EQ(call.thread, std::this_thread::get_id());
        if (call.message >= 600) {
            EXPECT_EQ(call.wParam, next[call.message - 600]++);
        }
    }
}

}  // namespace
