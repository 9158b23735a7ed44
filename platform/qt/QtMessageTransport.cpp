#include "platform/qt/QtMessageTransport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <iterator>
#include <mutex>
#include <utility>

namespace platform {
namespace detail {

struct SendRecord;

// The sends waiting for one thread. Every thread that sends across threads
// or owns a receiver has one; it outlives the thread while channels or
// waiting senders still refer to it.
struct Inbox {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::shared_ptr<SendRecord>> incoming;
    bool dead = false;         // its thread has ended
    unsigned long nudges = 0;  // bumped to wake a waiting WaitForThreadPumping

    // False when the thread has ended.
    bool Push(std::shared_ptr<SendRecord> record);
    void Nudge();
    // Takes the oldest waiting send; the lock is held by the caller.
    std::shared_ptr<SendRecord> PopLocked();
};

class QtChannel : public MessageTarget, public std::enable_shared_from_this<QtChannel> {
public:
    QtChannel(MessageHandler* handler, std::shared_ptr<Inbox> ownerInbox)
        : m_handler(handler), m_ownerInbox(std::move(ownerInbox)), m_owner(std::this_thread::get_id())
    {
    }

    bool Post(unsigned message, WParam wParam, LParam lParam) override;
    LResult Send(unsigned message, WParam wParam, LParam lParam) override;

    void Attach(QObject* dispatcher);
    void Synchronize() const { std::lock_guard lock(m_mutex); }
    void Close();
    bool IsClosed() const;

    // On the owner thread: runs the handler unless the channel is closed.
    // Returns false without calling it when closed.
    bool Deliver(unsigned message, WParam wParam, LParam lParam, LResult* result);

private:
    MessageHandler* const m_handler;
    const std::shared_ptr<Inbox> m_ownerInbox;
    const std::thread::id m_owner;
    mutable std::mutex m_mutex;
    bool m_closed = false;
    QObject* m_dispatcher = nullptr;  // alive while set; guarded by m_mutex
};

struct SendRecord {
    unsigned message;
    WParam wParam;
    LParam lParam;
    std::shared_ptr<QtChannel> channel;
    std::shared_ptr<Inbox> replyTo;  // the sender's inbox; guards done and result
    bool done = false;
    LResult result = 0;
};

bool Inbox::Push(std::shared_ptr<SendRecord> record)
{
    std::lock_guard lock(mutex);
    if (dead)
        return false;
    incoming.push_back(std::move(record));
    cv.notify_all();
    return true;
}

void Inbox::Nudge()
{
    std::lock_guard lock(mutex);
    ++nudges;
    cv.notify_all();
}

std::shared_ptr<SendRecord> Inbox::PopLocked()
{
    if (incoming.empty())
        return nullptr;
    auto record = std::move(incoming.front());
    incoming.pop_front();
    return record;
}

namespace {

void Complete(const std::shared_ptr<SendRecord>& record, LResult result)
{
    std::lock_guard lock(record->replyTo->mutex);
    record->done = true;
    record->result = result;
    record->replyTo->cv.notify_all();
}

void Handle(const std::shared_ptr<SendRecord>& record)
{
    LResult result = 0;
    record->channel->Deliver(record->message, record->wParam, record->lParam, &result);
    Complete(record, result);
}

// Owns the calling thread's inbox; when the thread ends, the sends still
// waiting for it are released with 0 and later ones are refused.
struct InboxHolder {
    std::shared_ptr<Inbox> inbox = std::make_shared<Inbox>();

    ~InboxHolder()
    {
        std::deque<std::shared_ptr<SendRecord>> left;
        {
            std::lock_guard lock(inbox->mutex);
            inbox->dead = true;
            left.swap(inbox->incoming);
        }
        for (const auto& record : left)
            Complete(record, 0);
    }
};

const std::shared_ptr<Inbox>& CurrentInbox()
{
    thread_local InboxHolder holder;
    return holder.inbox;
}

std::size_t HandleIncoming(const std::shared_ptr<Inbox>& inbox)
{
    std::size_t handled = 0;
    for (;;) {
        std::shared_ptr<SendRecord> record;
        {
            std::lock_guard lock(inbox->mutex);
            record = inbox->PopLocked();
        }
        if (!record)
            return handled;
        Handle(record);
        ++handled;
    }
}

const QEvent::Type kPostedEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kSendWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class PostedMessageEvent : public QEvent {
public:
    PostedMessageEvent(unsigned message, WParam wParam, LParam lParam)
        : QEvent(kPostedEvent), m_message(message), m_wParam(wParam), m_lParam(lParam)
    {
    }
    unsigned m_message;
    WParam m_wParam;
    LParam m_lParam;
};

// Lives on the receiver's thread; Qt delivers the posted messages and the
// wake-ups for waiting sends to it.
class Dispatcher : public QObject {
public:
    explicit Dispatcher(std::shared_ptr<QtChannel> channel) : m_channel(std::move(channel)) {}

    bool event(QEvent* e) override
    {
        // Our events are built by other threads, which post them while they
        // hold the channel lock; taking it here orders their construction
        // before every read on this thread in terms of the language, not
        // only through the event queue's own locking.
        m_channel->Synchronize();
        if (e->type() == kPostedEvent) {
            auto* posted = static_cast<PostedMessageEvent*>(e);
            LResult ignored = 0;
            m_channel->Deliver(posted->m_message, posted->m_wParam, posted->m_lParam, &ignored);
            return true;
        }
        if (e->type() == kSendWakeEvent) {
            HandleIncoming(CurrentInbox());
            return true;
        }
        return QObject::event(e);
    }

private:
    std::shared_ptr<QtChannel> m_channel;
};

}  // namespace

void QtChannel::Attach(QObject* dispatcher)
{
    std::lock_guard lock(m_mutex);
    m_dispatcher = dispatcher;
}

bool QtChannel::Post(unsigned message, WParam wParam, LParam lParam)
{
    auto* event = new PostedMessageEvent(message, wParam, lParam);
    std::lock_guard lock(m_mutex);
    if (m_closed || m_dispatcher == nullptr) {
        delete event;
        return false;
    }
    QCoreApplication::postEvent(m_dispatcher, event);
    return true;
}

LResult QtChannel::Send(unsigned message, WParam wParam, LParam lParam)
{
    if (std::this_thread::get_id() == m_owner) {
        LResult result = 0;
        Deliver(message, wParam, lParam, &result);
        return result;
    }

    const std::shared_ptr<Inbox>& own = CurrentInbox();
    auto record = std::make_shared<SendRecord>(
        SendRecord{message, wParam, lParam, shared_from_this(), own, false, 0});
    auto* wake = new QEvent(kSendWakeEvent);
    {
        std::lock_guard lock(m_mutex);
        if (m_closed || m_dispatcher == nullptr || !m_ownerInbox->Push(record)) {
            delete wake;
            return 0;
        }
        QCoreApplication::postEvent(m_dispatcher, wake, Qt::HighEventPriority);
    }

    // Wait for the answer, handling the sends addressed to this thread
    // meanwhile.
    std::unique_lock lock(own->mutex);
    for (;;) {
        if (record->done)
            return record->result;
        if (auto incoming = own->PopLocked()) {
            lock.unlock();
            Handle(incoming);
            lock.lock();
            continue;
        }
        own->cv.wait(lock);
    }
}

bool QtChannel::Deliver(unsigned message, WParam wParam, LParam lParam, LResult* result)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return false;
    }
    *result = m_handler ? m_handler->HandleMessage(message, wParam, lParam) : 0;
    return true;
}

void QtChannel::Close()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return;
        m_closed = true;
        if (m_dispatcher != nullptr)
            QCoreApplication::removePostedEvents(m_dispatcher, kPostedEvent);
        m_dispatcher = nullptr;
    }
    // Release the senders still waiting for this channel. Sends pushed later
    // are impossible: Send checks m_closed under the same lock as its push.
    std::deque<std::shared_ptr<SendRecord>> released;
    {
        std::lock_guard lock(m_ownerInbox->mutex);
        auto& incoming = m_ownerInbox->incoming;
        auto mine = std::stable_partition(incoming.begin(), incoming.end(),
                                          [this](const auto& r) { return r->channel.get() != this; });
        std::move(mine, incoming.end(), std::back_inserter(released));
        incoming.erase(mine, incoming.end());
    }
    for (const auto& record : released)
        Complete(record, 0);
}

bool QtChannel::IsClosed() const
{
    std::lock_guard lock(m_mutex);
    return m_closed;
}

}  // namespace detail

QtMessageReceiver::QtMessageReceiver(MessageHandler* handler)
    : m_channel(std::make_shared<detail::QtChannel>(handler, detail::CurrentInbox())),
      m_dispatcher(new detail::Dispatcher(m_channel))
{
    m_channel->Attach(m_dispatcher);
}

QtMessageReceiver::~QtMessageReceiver()
{
    Close();
    if (m_dispatcher->thread() == QThread::currentThread())
        delete m_dispatcher;  // also discards whatever Qt still holds for it
    else
        m_dispatcher->deleteLater();
}

bool QtMessageReceiver::Post(unsigned message, WParam wParam, LParam lParam)
{
    return m_channel->Post(message, wParam, lParam);
}

LResult QtMessageReceiver::Send(unsigned message, WParam wParam, LParam lParam)
{
    return m_channel->Send(message, wParam, lParam);
}

void QtMessageReceiver::Close()
{
    m_channel->Close();
}

bool QtMessageReceiver::IsClosed() const
{
    return m_channel->IsClosed();
}

std::shared_ptr<MessageTarget> QtMessageReceiver::Target() const
{
    return m_channel;
}

std::size_t HandlePendingSends()
{
    return detail::HandleIncoming(detail::CurrentInbox());
}

bool WaitForThreadPumping(const std::function<bool()>& finished, std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    constexpr auto kSlice = std::chrono::milliseconds(2);
    const auto deadline = Clock::now() + timeout;
    const std::shared_ptr<detail::Inbox>& inbox = detail::CurrentInbox();

    for (;;) {
        detail::HandleIncoming(inbox);
        if (finished())
            return true;
        const auto now = Clock::now();
        if (now >= deadline)
            return false;
        std::unique_lock lock(inbox->mutex);
        const unsigned long seen = inbox->nudges;
        inbox->cv.wait_until(lock, std::min(deadline, now + kSlice),
                             [&] { return !inbox->incoming.empty() || inbox->nudges != seen; });
    }
}

bool WaitForThreadPumping(std::thread& t, std::chrono::milliseconds timeout)
{
    if (!t.joinable())
        return true;
    if (t.get_id() == std::this_thread::get_id())
        return false;

    // A std::thread cannot be asked whether it has ended, so a helper joins
    // it and wakes this thread. The helper owns the thread from here on.
    struct Joined {
        std::thread worker;
        std::atomic<bool> ended{false};
    };
    auto joined = std::make_shared<Joined>();
    joined->worker = std::move(t);
    std::shared_ptr<detail::Inbox> inbox = detail::CurrentInbox();
    std::thread joiner([joined, inbox] {
        joined->worker.join();
        joined->ended.store(true);
        inbox->Nudge();
    });
    if (WaitForThreadPumping([&] { return joined->ended.load(); }, timeout)) {
        joiner.join();
        return true;
    }
    joiner.detach();
    return false;
}

}  // namespace platform
