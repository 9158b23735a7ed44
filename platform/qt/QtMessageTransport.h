// Application messages between threads on the Qt event loop.
//
// A QtMessageReceiver belongs to the thread that constructs it and delivers
// every message to its handler on that thread. Post queues a message behind
// the thread's other events, in order. Send from the receiver's own thread
// calls the handler directly; Send from any other thread hands the message
// to the receiver's thread and blocks until it has been handled there.
//
// A thread handles the sends addressed to its receivers whenever it
// - runs an event loop (also a nested or modal one),
// - waits in Send for another thread's answer (so that two threads sending
//   to each other cannot deadlock),
// - waits in WaitForThreadPumping or calls HandlePendingSends.
// It does not handle them while it is blocked in any other way.
//
// Sent messages are handed over ahead of the thread's queued events, so a
// send may overtake a post made earlier.
//
// Closing or destroying a receiver refuses further messages and releases
// every sender that is still waiting with the answer 0; posts still queued
// are dropped. When the receiver's thread ends, the sends still waiting for
// it are released with 0 as well.
#pragma once

#include "platform/MessageTransport.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <thread>

class QObject;

namespace platform {

namespace detail {
class QtChannel;
}

class QtMessageReceiver : public MessageTarget {
public:
    // Delivers to handler on the thread that constructs the receiver (the
    // thread of its internal QObject). The handler must outlive the receiver.
    explicit QtMessageReceiver(MessageHandler* handler);
    // Close()s first. Destroy the receiver on its own thread.
    ~QtMessageReceiver() override;
    QtMessageReceiver(const QtMessageReceiver&) = delete;
    QtMessageReceiver& operator=(const QtMessageReceiver&) = delete;

    // Queued, delivered in order on the receiver's thread. False when closed.
    bool Post(unsigned message, WParam wParam, LParam lParam) override;
    // Same thread: direct call. Other thread: handled on the receiver's
    // thread (also inside nested and modal event loops); the caller blocks
    // until it has been handled and gets the answer. 0 when closed, or when
    // the receiver is closed while the caller waits.
    LResult Send(unsigned message, WParam wParam, LParam lParam) override;

    // Refuses further messages (Send returns 0, Post false), drops queued
    // posts and releases every blocked sender with 0. May be called from any
    // thread; a handler already running on the receiver's thread finishes.
    void Close();
    bool IsClosed() const;

    // An address of this receiver that stays valid after the receiver is
    // gone (then it refuses every message). Give it to threads that may
    // outlive the receiver instead of a pointer to the receiver itself.
    std::shared_ptr<MessageTarget> Target() const;

private:
    std::shared_ptr<detail::QtChannel> m_channel;
    QObject* m_dispatcher;
};

// Waits for the thread t to end while handling the sends addressed to
// receivers of the calling thread (and only those: no posted messages, no
// other events), so that the calling thread never deadlocks on a worker
// that is blocked in a Send to it.
// True when the thread has ended; it has then been joined (t is no longer
// joinable). False on timeout: the thread keeps running on its own, detached
// (t is no longer joinable either); the caller must not free what it still
// uses. A t that is not joinable counts as ended; t being the calling thread
// gives false at once.
bool WaitForThreadPumping(std::thread& t, std::chrono::milliseconds timeout);

// The same for any other end condition: waits until finished() returns true
// (checked at least every few milliseconds and after every handled send),
// handling sends meanwhile. False on timeout. finished() runs on the calling
// thread, never while a lock of the transport is held.
bool WaitForThreadPumping(const std::function<bool()>& finished, std::chrono::milliseconds timeout);

// Handles the sends that are waiting for the calling thread now; returns how
// many were handled.
std::size_t HandlePendingSends();

}  // namespace platform
