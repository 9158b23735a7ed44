// Synchronisation helpers: a manual-reset event and a one-permit lock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

namespace platform {

// A manual-reset event. Events with the same name in one process share
// their state (created, or opened when one exists already).
class ManualResetEvent {
public:
    ManualResetEvent(const std::string& name, bool initiallySet);
    ~ManualResetEvent();
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    void Wait();
    // False on timeout.
    bool WaitFor(std::chrono::milliseconds timeout);
    const std::string& Name() const { return m_name; }

    struct State;

private:
    std::string m_name;
    std::shared_ptr<State> m_state;
};

// A semaphore with a single permit, used as a lock that may be released by
// another thread than the one that took it.
class SemaphoreLock {
public:
    void Lock();
    void Unlock();
    bool TryLock();
    // BasicLockable, so std::lock_guard<SemaphoreLock> works.
    void lock() { Lock(); }
    void unlock() { Unlock(); }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_taken = false;
};

}  // namespace platform
