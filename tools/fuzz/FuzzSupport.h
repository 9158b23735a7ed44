// Helpers of the libFuzzer targets: one input carries several parts (datagrams,
// file content and names) joined by a three-byte separator, and a broken
// invariant ends the run with a message, as a crash that libFuzzer records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace korvo::fuzz {

// Joins the parts of one input; chosen to be rare in frames and settings.
constexpr std::string_view kPartSeparator = "\xF0\xF1\xF2";

// The input cut at every separator; at most maxParts parts (the last one
// keeps the rest of the input).
inline std::vector<std::string_view> SplitParts(const std::uint8_t* data, std::size_t size, std::size_t maxParts)
{
    std::vector<std::string_view> parts;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (parts.size() + 1 < maxParts) {
        const std::size_t at = rest.find(kPartSeparator);
        if (at == std::string_view::npos)
            break;
        parts.push_back(rest.substr(0, at));
        rest.remove_prefix(at + kPartSeparator.size());
    }
    parts.push_back(rest);
    return parts;
}

inline std::string JoinParts(const std::vector<std::string>& parts)
{
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i != 0)
            joined += kPartSeparator;
        joined += parts[i];
    }
    return joined;
}

[[noreturn]] inline void InvariantBroken(const char* target, const std::string& what)
{
    std::fprintf(stderr, "\n%s: invariant broken: %s\n", target, what.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace korvo::fuzz
