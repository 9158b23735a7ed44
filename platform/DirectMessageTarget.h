// A message target without an event loop, for single-threaded use and tests.
// Send calls the handler at once on the calling thread; Post queues the
// message until DrainPosted delivers it. Post and the queue accessors may be
// called from any thread; Send and DrainPosted run the handler on the calling
// thread, so they belong to the thread that owns the handler.
#pragma once

#include "platform/MessageTransport.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace platform {

struct QueuedMessage {
    unsigned message = 0;
    WParam wParam = 0;
    LParam lParam = 0;

    bool operator==(const QueuedMessage&) const = default;
};

class DirectMessageTarget : public MessageTarget {
public:
    explicit DirectMessageTarget(MessageHandler* handler);
    DirectMessageTarget(const DirectMessageTarget&) = delete;
    DirectMessageTarget& operator=(const DirectMessageTarget&) = delete;

    bool Post(unsigned message, WParam wParam, LParam lParam) override;
    LResult Send(unsigned message, WParam wParam, LParam lParam) override;

    // Delivers queued posts in order, including those the handler posts while
    // the queue is drained, until the queue is empty. Returns how many were
    // delivered.
    std::size_t DrainPosted();
    // The posts waiting to be delivered, oldest first.
    std::vector<QueuedMessage> Posted() const;
    // Drops the waiting posts without delivering them.
    void ClearPosted();

    // Refuses further messages (Send returns 0, Post false) and drops the
    // waiting posts.
    void Close();
    bool IsClosed() const;

private:
    MessageHandler* m_handler;
    mutable std::mutex m_mutex;
    std::deque<QueuedMessage> m_queue;
    bool m_closed = false;
};

// A handler that remembers every message it receives (thread-safe) and
// answers with the result of an optional function (0 without one).
class RecordingHandler : public MessageHandler {
public:
    using Answer = std::function<LResult(unsigned, WParam, LParam)>;

    RecordingHandler() = default;
    explicit RecordingHandler(Answer answer) : m_answer(std::move(answer)) {}

    LResult HandleMessage(unsigned message, WParam wParam, LParam lParam) override;

    std::vector<QueuedMessage> Received() const;
    std::size_t Count() const;
    // Messages received with the given number, oldest first.
    std::vector<QueuedMessage> ReceivedOf(unsigned message) const;
    void Clear();

private:
    Answer m_answer;
    mutable std::mutex m_mutex;
    std::vector<QueuedMessage> m_received;
};

}  // namespace platform
