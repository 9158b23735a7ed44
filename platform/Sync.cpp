#include "platform/Sync.h"

#include <map>

namespace platform {

struct ManualResetEvent::State {
    std::mutex mutex;
    std::condition_variable cv;
    bool set = false;
};

namespace {

// Named events of this process. An entry lives while any handle holds it.
std::mutex g_namesMutex;
std::map<std::string, std::weak_ptr<ManualResetEvent::State>>& Names()
{
    static auto* names = new std::map<std::string, std::weak_ptr<ManualResetEvent::State>>();
    return *names;
}

}  // namespace

ManualResetEvent::ManualResetEvent(const std::string& name, bool initiallySet) : m_name(name)
{
    if (!name.empty()) {
        std::lock_guard<std::mutex> guard(g_namesMutex);
        auto& names = Names();
        auto it = names.find(name);
        if (it != names.end())
            m_state = it->second.lock();
        if (m_state)
            return;  // opened an existing event: its state stays as it is
        m_state = std::make_shared<State>();
        m_state->set = initiallySet;
        names[name] = m_state;
        return;
    }
    m_state = std::make_shared<State>();
    m_state->set = initiallySet;
}

ManualResetEvent::~ManualResetEvent()
{
    if (m_name.empty())
        return;
    std::lock_guard<std::mutex> guard(g_namesMutex);
    auto& names = Names();
    auto it = names.find(m_name);
    m_state.reset();
    if (it != names.end() && it->second.expired())
        names.erase(it);
}

void ManualResetEvent::Set()
{
    {
        std::lock_guard<std::mutex> guard(m_state->mutex);
        m_state->set = true;
    }
    m_state->cv.notify_all();
}

void ManualResetEvent::Reset()
{
    std::lock_guard<std::mutex> guard(m_state->mutex);
    m_state->set = false;
}

bool ManualResetEvent::IsSet() const
{
    std::lock_guard<std::mutex> guard(m_state->mutex);
    return m_state->set;
}

void ManualResetEvent::Wait()
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    m_state->cv.wait(lock, [this] { return m_state->set; });
}

bool ManualResetEvent::WaitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    return m_state->cv.wait_for(lock, timeout, [this] { return m_state->set; });
}

void SemaphoreLock::Lock()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait(lock, [this] { return !m_taken; });
    m_taken = true;
}

bool SemaphoreLock::TryLock()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_taken)
        return false;
    m_taken = true;
    return true;
}

void SemaphoreLock::Unlock()
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_taken = false;
    }
    m_cv.notify_one();
}

}  // namespace platform
