// Numbered messages with two machine-word arguments, delivered to a receiver
// on the receiver's own thread. Post queues a message (no pointers may travel
// in it); Send waits until the receiver has handled the message and returns
// its answer, so pointers into the sender's memory stay valid for the call.
#pragma once

#include <cstdint>

namespace platform {

using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

// What a receiver does with a message. Runs on the receiver's thread.
class MessageHandler {
public:
    virtual ~MessageHandler() = default;
    virtual LResult HandleMessage(unsigned message, WParam wParam, LParam lParam) = 0;
};

// The address of a receiver. Safe to call from any thread.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    // Queues the message; false when the receiver is gone or closing.
    virtual bool Post(unsigned message, WParam wParam, LParam lParam) = 0;
    // Delivers the message and waits for the answer. Returns 0 without
    // delivering when the receiver is gone or closing.
    virtual LResult Send(unsigned message, WParam wParam, LParam lParam) = 0;
};

}  // namespace platform
