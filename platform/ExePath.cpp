#include "platform/ExePath.h"

#include <unistd.h>

#include <vector>

namespace platform {

std::string ExecutablePath()
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return std::string();
        if (static_cast<std::size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        if (buffer.size() >= (1u << 20))
            return std::string();
        buffer.resize(buffer.size() * 2);  // possibly cut: try a larger buffer
    }
}

std::string ExecutableFolder()
{
    const std::string path = ExecutablePath();
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    return path.substr(0, slash + 1);
}

std::string ExecutableBaseName()
{
    const std::string path = ExecutablePath();
    const std::size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot != 0)
        name.erase(dot);
    return name;
}

}  // namespace platform
