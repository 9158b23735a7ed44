// libFuzzer target: validation of operator texts.
//
// Input: a control byte, then two texts joined by the part separator. Every
// CJudge rule runs on the first text (the host part check and the
// comparisons on both). Checked: each result is one of the codes the rule
// may give; every failed check writes exactly one log line and a passed one
// none; and what "valid" promises holds for the text itself (names of at
// most 8 printable characters without '"', ',' or ':'; MAC addresses of six
// hexadecimal pairs; addresses of four digit parts in range, masks
// contiguous); the comparisons are symmetric and ignore letter case.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "files/DiagLog.h"
#include "tools/fuzz/FuzzSupport.h"
#include "validation/Judge.h"

namespace {

using korvo::fuzz::InvariantBroken;
using namespace korvo;

constexpr const char* kTarget = "fuzz_judge";

class CountingListener : public CRLog::Listener {
public:
    void Log(int category, const std::string&, const char* unit, int) override
    {
        ++count;
        if (category != CRLog::kSymptom || std::string(unit ? unit : "") != "Judge")
            InvariantBroken(kTarget, "log line of another category or unit");
    }
    int count = 0;
};

CountingListener* Listener()
{
    static CountingListener* listener = [] {
        auto owned = std::make_unique<CountingListener>();
        CountingListener* raw = owned.get();
        CRLog::ClearListeners();
        CRLog::AddListener(std::move(owned));
        return raw;
    }();
    return listener;
}

// Runs one rule and checks its code and its log line count.
template <typename Rule>
int Run(const char* rule, std::initializer_list<int> codes, bool logs, Rule run)
{
    const int before = Listener()->count;
    const int result = run();
    bool known = false;
    for (int code : codes)
        known = known || code == result;
    if (!known)
        InvariantBroken(kTarget, std::string(rule) + " gave " + std::to_string(result));
    const int lines = Listener()->count - before;
    const int expected = (logs && result != kJudgeValid) ? 1 : 0;
    if (lines != expected)
        InvariantBroken(kTarget, std::string(rule) + " wrote " + std::to_string(lines) + " log lines");
    return result;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Parts 1 to 4 of a dotted text (part 4 up to the next "." or the end);
// false with fewer than four parts.
bool Parts(const std::string& text, std::array<std::string, 4>& parts)
{
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        std::size_t end = text.find('.', start);
        if (end == std::string::npos) {
            if (i < 3)
                return false;
            end = text.size();
        }
        parts[static_cast<std::size_t>(i)] = text.substr(start, end - start);
        start = end + 1;
    }
    return true;
}

// Values of a text the address rules accepted: length 7 to 15, four parts of
// at most three digits each.
std::array<int, 4> AcceptedAddress(const char* rule, const std::string& text)
{
    std::array<std::string, 4> parts;
    if (text.size() < 7 || text.size() > 15 || !Parts(text, parts))
        InvariantBroken(kTarget, std::string(rule) + " accepted a text of the wrong shape");
    std::array<int, 4> values{};
    for (std::size_t i = 0; i < 4; ++i) {
        int v = 0;
        for (char c : parts[i]) {
            if (!IsDigit(c))
                InvariantBroken(kTarget, std::string(rule) + " accepted a non-digit");
            v = v * 10 + (c - '0');
            if (v > 255)
                InvariantBroken(kTarget, std::string(rule) + " accepted a part above 255");
        }
        values[i] = v;
    }
    return values;
}

// Value of a run of digits, at most 1000000 (larger values are out of every
// range anyway); -1 when it holds a non-digit.
long Number(const std::string& digits)
{
    long value = 0;
    for (char c : digits) {
        if (!IsDigit(c))
            return -1;
        value = std::min(value * 10 + (c - '0'), 1000000L);
    }
    return value;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int perGroup = (data[0] & 3) == 0 ? 7 : (data[0] & 3) == 1 ? 10 : static_cast<int>(data[0]) - 128;
    const std::vector<std::string_view> parts = korvo::fuzz::SplitParts(data + 1, size - 1, 2);
    const std::string text(parts[0]);
    const std::string other = parts.size() > 1 ? std::string(parts[1]) : std::string();
    const CJudge judge;

    if (Run("CheckGroupText", {0, 1001, 1002}, true, [&] { return judge.CheckGroupText(text, perGroup); }) == 0) {
        const std::size_t dash = text.find('-', 5);
        if (text.compare(0, 5, "Group") != 0 || dash == std::string::npos)
            InvariantBroken(kTarget, "CheckGroupText accepted a text without Group<g>-");
        if (perGroup == 7 || perGroup == 10) {
            const std::string g = text.substr(5, dash - 5);
            const std::string c = text.substr(dash + 1);
            const long group = Number(g);
            const long camera = Number(c);
            const long groups = perGroup == 7 ? 16 : 10;
            if (group < 1 || group > groups || camera < 1 || camera > perGroup)
                InvariantBroken(kTarget, "CheckGroupText accepted a position out of range");
        }
    }

    if (Run("CheckName", {0, 1003, 1004, 1005}, true, [&] { return judge.CheckName(text); }) == 0) {
        if (text.size() > 8)
            InvariantBroken(kTarget, "CheckName accepted more than 8 characters");
        for (char c : text) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 || u > 0x7E || c == '"' || c == ',' || c == ':')
                InvariantBroken(kTarget, "CheckName accepted a forbidden character");
        }
    }

    const std::initializer_list<int> addressCodes = {0, 1006, 1007, 1008, 1009};
    if (Run("CheckIpAddress", addressCodes, true, [&] { return judge.CheckIpAddress(text); }) == 0) {
        const std::array<int, 4> v = AcceptedAddress("CheckIpAddress", text);
        if (v[0] < 1 || v[0] > 223)
            InvariantBroken(kTarget, "CheckIpAddress accepted a first part outside 1 to 223");
    }
    if (Run("CheckSubnetMask", addressCodes, true, [&] { return judge.CheckSubnetMask(text); }) == 0) {
        const std::array<int, 4> v = AcceptedAddress("CheckSubnetMask", text);
        const std::uint32_t mask = (static_cast<std::uint32_t>(v[0]) << 24) | (static_cast<std::uint32_t>(v[1]) << 16) |
                                   (static_cast<std::uint32_t>(v[2]) << 8) | static_cast<std::uint32_t>(v[3]);
        const std::uint32_t zeros = ~mask;
        if ((zeros & (zeros + 1)) != 0 || (mask & 0xE0000000u) != 0xE0000000u)
            InvariantBroken(kTarget, "CheckSubnetMask accepted a mask that is not 3 to 32 leading ones");
    }
    if (Run("CheckGateway", addressCodes, true, [&] { return judge.CheckGateway(text); }) == 0) {
        const std::array<int, 4> v = AcceptedAddress("CheckGateway", text);
        if (v[0] > 223 || (v[0] == 0 && (v[1] | v[2] | v[3]) != 0))
            InvariantBroken(kTarget, "CheckGateway accepted a gateway out of range");
    }

    if (Run("CheckMacAddress", {0, 1010, 1011, 1013}, true, [&] { return judge.CheckMacAddress(text); }) == 0) {
        bool shape = text.size() == 17;
        for (std::size_t i = 0; shape && i < text.size(); ++i) {
            const char c = text[i];
            const bool hex = IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
            shape = i % 3 == 2 ? c == '-' : hex;
        }
        if (!shape)
            InvariantBroken(kTarget, "CheckMacAddress accepted a text that is not six hexadecimal pairs");
    }

    const int same = Run("IsSameMacAddress", {0, 2002}, false, [&] { return judge.IsSameMacAddress(text, other); });
    const bool expectSame = !text.empty() && !other.empty() && Lower(text) == Lower(other);
    if ((same == kJudgeSameMacAddress) != expectSame || judge.IsSameMacAddress(other, text) != same)
        InvariantBroken(kTarget, "IsSameMacAddress is not a case-blind, symmetric equality");
    if (!text.empty() && judge.IsSameMacAddress(text, Lower(text)) != kJudgeSameMacAddress)
        InvariantBroken(kTarget, "IsSameMacAddress does not match a text with itself");

    Run("SupportsNetworkSettings", {0, 1}, false, [&] { return judge.SupportsNetworkSettings(text); });
    const int host = Run("CheckHostPart", {0, 1006, 1008}, false, [&] { return judge.CheckHostPart(text, other); });
    std::array<std::string, 4> unused;
    if ((host == kJudgeAddressTooFewParts) != (!Parts(text, unused) || !Parts(other, unused)))
        InvariantBroken(kTarget, "CheckHostPart reports missing parts wrongly");

    Address4 a{};
    Address4 b{};
    for (std::size_t i = 0; i < 4; ++i) {
        a[i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0;
        b[i] = i < other.size() ? static_cast<std::uint8_t>(other[i]) : 0;
    }
    const int sameIp = Run("IsSameIpAddress", {0, 2001}, false, [&] { return judge.IsSameIpAddress(a, b); });
    if ((sameIp == kJudgeSameIpAddress) != (a == b))
        InvariantBroken(kTarget, "IsSameIpAddress is not equality");
    return 0;
}
