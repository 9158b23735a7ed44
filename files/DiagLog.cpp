// The diagnostic log entry point and its listener registry.
#include "files/DiagLog.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <shared_mutex>
#include <utility>
#include <vector>

namespace CRLog {
namespace {

// Longest text handed to a listener in one entry (the entry point formats
// into a buffer of 8192 characters including the terminating zero).
constexpr std::size_t kBufferSize = 8192;
constexpr std::size_t kMaxPiece = kBufferSize - 1;

// The one registry of the program: created on first use, destroyed with its
// listeners at program end. It is filled at start-up before other threads
// run; the lock only protects tests that add or clear listeners while
// others log. A listener must not call WriteDiagnostic from its Log.
struct Registry {
    std::shared_mutex lock;
    std::vector<std::unique_ptr<Listener>> listeners;
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

const char* const kLabels[] = {
    "[SND/NETINQ]", "[SND/NETSET]", "[SND/CAMINQ]", "[SND/CAMSET]", "[RCV/NETINQ]",
    "[RCV/CAMINQ]", "[RCV/ACK]",    "[RCV/NAK]",    "[RCV/UNKNOWN]", "[SUCCESS]",
    "[FAILURE]",    "[SYMPTOM]",    "[NETWORKERR]", "[RECIEVE]",
};

}  // namespace

const char* CategoryLabel(int category)
{
    if (category < 0 || category >= static_cast<int>(sizeof(kLabels) / sizeof(kLabels[0])))
        return nullptr;
    return kLabels[category];
}

bool AddListener(std::unique_ptr<Listener> listener)
{
    if (!listener)
        return false;
    Registry& registry = TheRegistry();
    std::unique_lock<std::shared_mutex> guard(registry.lock);
    const int id = listener->Id();
    if (id != -1) {
        for (const auto& existing : registry.listeners) {
            if (existing->Id() == id)
                return false;  // the caller's listener is destroyed here
        }
    }
    registry.listeners.push_back(std::move(listener));
    return true;
}

std::size_t ListenerCount()
{
    Registry& registry = TheRegistry();
    std::shared_lock<std::shared_mutex> guard(registry.lock);
    return registry.listeners.size();
}

void ClearListeners()
{
    Registry& registry = TheRegistry();
    std::vector<std::unique_ptr<Listener>> doomed;
    {
        std::unique_lock<std::shared_mutex> guard(registry.lock);
        doomed.swap(registry.listeners);
    }
    // destroyed outside the lock
}

}  // namespace CRLog

void WriteDiagnostic(const CRLog::SourceLocation& where, const char* format, ...)
{
    using namespace CRLog;
    Registry& registry = TheRegistry();
    std::shared_lock<std::shared_mutex> guard(registry.lock);
    if (registry.listeners.empty() || format == nullptr)
        return;

    char buffer[kBufferSize];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);

    std::string text;
    if (needed < 0) {
        va_end(again);
        return;  // formatting failed: nothing sensible to write
    }
    if (static_cast<std::size_t>(needed) < kBufferSize) {
        text.assign(buffer, static_cast<std::size_t>(needed));
    } else {
        // Longer than the buffer: format the whole message, then hand it on
        // in consecutive pieces that each fit the buffer.
        text.resize(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<std::size_t>(needed));
    }
    va_end(again);

    std::size_t offset = 0;
    do {
        const std::size_t length = std::min(kMaxPiece, text.size() - offset);
        const std::string piece = (offset == 0 && length == text.size()) ? text : text.substr(offset, length);
        for (const auto& listener : registry.listeners)
            listener->Log(where.category, piece, where.unit, where.line);
        offset += length;
    } while (offset < text.size());
}
