#include "platform/DirectMessageTarget.h"

#include <utility>

namespace platform {

DirectMessageTarget::DirectMessageTarget(MessageHandler* handler) : m_handler(handler) {}

bool DirectMessageTarget::Post(unsigned message, WParam wParam, LParam lParam)
{
    std::lock_guard lock(m_mutex);
    if (m_closed || m_handler == nullptr)
        return false;
    m_queue.push_back({message, wParam, lParam});
    return true;
}

LResult DirectMessageTarget::Send(unsigned message, WParam wParam, LParam lParam)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_closed || m_handler == nullptr)
            return 0;
    }
    return m_handler->HandleMessage(message, wParam, lParam);
}

std::size_t DirectMessageTarget::DrainPosted()
{
    std::size_t delivered = 0;
    for (;;) {
        QueuedMessage next;
        {
            std::lock_guard lock(m_mutex);
            if (m_closed || m_queue.empty())
                return delivered;
            next = m_queue.front();
            m_queue.pop_front();
        }
        m_handler->HandleMessage(next.message, next.wParam, next.lParam);
        ++delivered;
    }
}

std::vector<QueuedMessage> DirectMessageTarget::Posted() const
{
    std::lock_guard lock(m_mutex);
    return {m_queue.begin(), m_queue.end()};
}

void DirectMessageTarget::ClearPosted()
{
    std::lock_guard lock(m_mutex);
    m_queue.clear();
}

void DirectMessageTarget::Close()
{
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_queue.clear();
}

bool DirectMessageTarget::IsClosed() const
{
    std::lock_guard lock(m_mutex);
    return m_closed;
}

LResult RecordingHandler::HandleMessage(unsigned message, WParam wParam, LParam lParam)
{
    {
        std::lock_guard lock(m_mutex);
        m_received.push_back({message, wParam, lParam});
    }
    return m_answer ? m_answer(message, wParam, lParam) : 0;
}

std::vector<QueuedMessage> RecordingHandler::Received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

std::size_t RecordingHandler::Count() const
{
    std::lock_guard lock(m_mutex);
    return m_received.size();
}

std::vector<QueuedMessage> RecordingHandler::ReceivedOf(unsigned message) const
{
    std::lock_guard lock(m_mutex);
    std::vector<QueuedMessage> out;
    for (const auto& m : m_received)
        if (m.message == message)
            out.push_back(m);
    return out;
}

void RecordingHandler::Clear()
{
    std::lock_guard lock(m_mutex);
    m_received.clear();
}

}  // namespace platform
