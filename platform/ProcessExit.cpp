#include "platform/ProcessExit.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace platform {

namespace {

std::mutex g_handlerMutex;
std::function<void(int)>& Handler()
{
    static auto* handler = new std::function<void(int)>();
    return *handler;
}

}  // namespace

void ExitProcess(int code)
{
    std::function<void(int)> handler;
    {
        std::lock_guard<std::mutex> guard(g_handlerMutex);
        handler = Handler();
    }
    if (handler) {
        handler(code);
        return;
    }
    std::fflush(nullptr);
    std::_Exit(code);
}

std::function<void(int)> SetExitHandler(std::function<void(int)> handler)
{
    std::lock_guard<std::mutex> guard(g_handlerMutex);
    std::function<void(int)> previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

}  // namespace platform
