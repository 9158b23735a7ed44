#include "validation/Judge.h"

#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>

#include "files/DiagLog.h"

#define JUDGE_WHERE KORVO_WHERE("Judge", CRLog::kSymptom)

namespace korvo {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool AllDigits(const std::string& text)
{
    for (char c : text) {
        if (!IsDigit(c))
            return false;
    }
    return true;
}

// Decimal value of a run of digits; an empty run is 0. Values too large for
// an int stay at INT_MAX, so an absurdly long run can never overflow.
int NumberOf(const std::string& digits)
{
    long long value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
        if (value > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(value);
}

struct AddressTexts {
    const char* overLength;
    const char* octetLess;
    const char* nonNumeric;
    const char* invalidNumber;  // takes the part's number as %d
};

const AddressTexts kIpTexts = {
    "[CHECK_IPADDR]Over length.",
    "[CHECK_IPADDR]Octet less.",
    "[CHECK_IPADDR]Non-numeric.",
    "[CHECK_IPADDR]Invalid address number:%d",
};

const AddressTexts kMaskTexts = {
    "[CHECK_SUBNET]Over length.",
    "[CHECK_SUBNET]Octet less.",
    "[CHECK_SUBNET]Non-numeric.",
    "[CHECK_SUBNET]Invalid address number:%d",
};

// Splits a dotted address part by part. Parts 1 to 3 end at the next ".",
// part 4 at the next "." or the end (anything after is ignored). Each part
// passes its digit test and the value rule before the next one is split
// off. rule(i, values) judges part i given the values of parts 0..i.
template <typename Rule>
int CheckDottedAddress(const std::string& text, const AddressTexts& texts, Rule rule)
{
    if (text.size() < 7 || text.size() > 15) {
        WriteDiagnostic(JUDGE_WHERE, "%s", texts.overLength);
        return kJudgeAddressLength;
    }
    std::array<int, 4> values{};
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        std::size_t end = text.find('.', start);
        if (end == std::string::npos) {
            if (i < 3) {
                WriteDiagnostic(JUDGE_WHERE, "%s", texts.octetLess);
                return kJudgeAddressTooFewParts;
            }
            end = text.size();
        }
        const std::string part = text.substr(start, end - start);
        if (!AllDigits(part)) {
            WriteDiagnostic(JUDGE_WHERE, "%s", texts.nonNumeric);
            return kJudgeAddressNonNumeric;
        }
        values[i] = NumberOf(part);
        if (!rule(i, values)) {
            // The format comes from the fixed tables above.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
            WriteDiagnostic(JUDGE_WHERE, texts.invalidNumber, values[i]);
#pragma GCC diagnostic pop
            return kJudgeAddressOutOfRange;
        }
        start = end + 1;
    }
    return kJudgeValid;
}

bool IsMaskValue(int v)
{
    switch (v) {
    case 0: case 128: case 192: case 224: case 240: case 248: case 252: case 254: case 255:
        return true;
    default:
        return false;
    }
}

// Splits without any test: fewer than four parts gives false. Each part's
// number is that of its leading digits, keeping its low 8 bits.
bool SplitLoose(const std::string& text, std::uint32_t& value)
{
    value = 0;
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        std::size_t end = text.find('.', start);
        if (end == std::string::npos) {
            if (i < 3)
                return false;
            end = text.size();
        }
        unsigned byte = 0;
        for (std::size_t k = start; k < end && IsDigit(text[k]); ++k)
            byte = (byte * 10 + static_cast<unsigned>(text[k] - '0')) & 0xFFu;
        value = (value << 8) | byte;
        start = end + 1;
    }
    return true;
}

// Reads an integer as "%d" would from text[pos...], at most width characters
// (0 = unlimited) after leading white space. Saturates instead of
// overflowing. False when no digit was read.
bool ScanInt(const std::string& text, std::size_t& pos, std::size_t width, int& out)
{
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r')))
        ++pos;
    std::size_t used = 0;
    bool negative = false;
    std::size_t p = pos;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        negative = text[p] == '-';
        ++p;
        ++used;
    }
    long long value = 0;
    bool any = false;
    while (p < text.size() && IsDigit(text[p]) && (width == 0 || used < width)) {
        if (value <= INT_MAX)
            value = value * 10 + (text[p] - '0');
        any = true;
        ++p;
        ++used;
    }
    if (!any)
        return false;
    if (value > INT_MAX)
        value = negative ? -static_cast<long long>(INT_MAX) - 1 : INT_MAX;
    else if (negative)
        value = -value;
    out = static_cast<int>(value);
    pos = p;
    return true;
}

}  // namespace

CJudge::~CJudge() = default;

int CJudge::CheckGroupText(const std::string& text, int camerasPerGroup) const
{
    if (text.compare(0, 5, "Group") != 0) {
        const std::string head = text.substr(0, 5);
        WriteDiagnostic(JUDGE_WHERE, "[CHECK_GRPSTRING]Invalid string:str=%.255s", head.c_str());
        return kJudgeGroupMalformed;
    }
    const std::size_t dash = text.size() > 5 ? text.find('-', 5) : std::string::npos;
    if (dash == std::string::npos) {
        WriteDiagnostic(JUDGE_WHERE, "[CHECK_GRPSTRING]Separator less.");
        return kJudgeGroupMalformed;
    }
    const std::string groupText = text.substr(5, dash - 5);
    if (!AllDigits(groupText)) {
        WriteDiagnostic(JUDGE_WHERE, "[CHECK_GRPSTRING]Non-numeric:str=%.255s", groupText.c_str());
        return kJudgeGroupNonNumeric;
    }
    const std::string cameraText = text.substr(dash + 1);
    if (!AllDigits(cameraText)) {
        WriteDiagnostic(JUDGE_WHERE, "[CHECK_GRPSTRING]Non-numeric:str=%.255s", cameraText.c_str());
        return kJudgeGroupNonNumeric;
    }
    const int group = NumberOf(groupText);
    const int camera = NumberOf(cameraText);
    bool inRange = true;
    if (camerasPerGroup == 7)
        inRange = group >= 1 && group <= 16 && camera >= 1 && camera <= 7;
    else if (camerasPerGroup == 10)
        inRange = group >= 1 && group <= 10 && camera >= 1 && camera <= 10;
    if (!inRange) {
        // The line has always read "%d-&d": only the group number shows.
        WriteDiagnostic(JUDGE_WHERE, "[CHECK_GRPSTRING]Group number is range over:%d-&d", group);
        return kJudgeGroupMalformed;
    }
    return kJudgeValid;
}

int CJudge::CheckName(const std::string& text) const
{
    if (text.size() > 8) {
        WriteDiagnostic(JUDGE_WHERE, "[CHECK_STRING]Over length:length=%d, str=%.255s",
                        static_cast<int>(text.size()), text.c_str());
        return kJudgeNameTooLong;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int result = kJudgeValid;
        if (c < 0x20 || c > 0x7E)
            result = kJudgeNameNotPrintable;
        else if (c == '"' || c == ',' || c == ':')
            result = kJudgeNameReserved;
        if (result != kJudgeValid) {
            WriteDiagnostic(JUDGE_WHERE, "[CHECK_STRING]Invalid string:len=%d", static_cast<int>(i + 1));
            return result;
        }
    }
    return kJudgeValid;
}

int CJudge::CheckIpAddress(const std::string& text) const
{
    return CheckDottedAddress(text, kIpTexts, [](int i, const std::array<int, 4>& v) {
        return i == 0 ? (v[0] >= 1 && v[0] <= 223) : (v[i] >= 0 && v[i] <= 255);
    });
}

int CJudge::CheckSubnetMask(const std::string& text) const
{
    return CheckDottedAddress(text, kMaskTexts, [](int i, const std::array<int, 4>& v) {
        if (i == 0)
            return v[0] == 224 || v[0] == 240 || v[0] == 248 || v[0] == 252 || v[0] == 254 ||
                   v[0] == 255;
        return v[i - 1] == 255 ? IsMaskValue(v[i]) : v[i] == 0;
    });
}

int CJudge::CheckMacAddress(const std::string& text) const
{
    if (text.size() != 17) {
        WriteDiagnostic(JUDGE_WHERE, "[CHECK_MACADDR]Over length.");
        return kJudgeMacLength;
    }
    std::size_t start = 0;
    for (int i = 0; i < 6; ++i) {
        std::size_t end = text.find('-', start);
        if (end == std::string::npos) {
            if (i < 5) {
                WriteDiagnostic(JUDGE_WHERE, "[CHECK_MACADDR]Separator less.");
                return kJudgeMacTooFewGroups;
            }
            end = text.size();
        }
        const std::string group = text.substr(start, end - start);
        if (group.size() != 2) {
            WriteDiagnostic(JUDGE_WHERE, "[CHECK_MACADDR]Over length.");
            return kJudgeMacLength;
        }
        for (char c : group) {
            if (!IsHexDigit(c)) {
                WriteDiagnostic(JUDGE_WHERE, "[CHECK_MACADDR]Non-Hex:str=%.255s", group.c_str());
                return kJudgeMacNonHex;
            }
        }
        start = end + 1;
    }
    return kJudgeValid;
}

int CJudge::IsSameIpAddress(const Address4& a, const Address4& b) const
{
    char left[16];
    char right[16];
    std::snprintf(left, sizeof left, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    std::snprintf(right, sizeof right, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    return std::string(left) == right ? kJudgeSameIpAddress : 0;
}

int CJudge::IsSameMacAddress(const std::string& a, const std::string& b) const
{
    if (a.empty() || b.empty() || a.size() != b.size())
        return 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return 0;
    }
    return kJudgeSameMacAddress;
}

int CJudge::CheckGateway(const std::string& text) const
{
    return CheckDottedAddress(text, kIpTexts, [](int i, const std::array<int, 4>& v) {
        if (i == 0)
            return v[0] >= 0 && v[0] <= 223;
        if (v[0] == 0)
            return v[i] == 0;
        return v[i] >= 0 && v[i] <= 255;
    });
}

int CJudge::SupportsNetworkSettings(const std::string& version) const
{
    // Read as "%d.%02d": major, a ".", then a minor of at most two characters.
    int major = 0;
    int minor = 0;
    std::size_t pos = 0;
    if (!ScanInt(version, pos, 0, major))
        return 1;  // nothing could be read
    if (pos < version.size() && version[pos] == '.') {
        ++pos;
        ScanInt(version, pos, 2, minor);
    }
    const unsigned minorU = static_cast<unsigned>(minor);
    if (major == 0 && minorU <= 52)
        return 0;
    if (major == 1)
        return 0;
    if (major == 2 && minorU <= 1)
        return 0;
    return 1;
}

int CJudge::CheckHostPart(const std::string& ipAddress, const std::string& subnetMask) const
{
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
    if (!SplitLoose(ipAddress, address) || !SplitLoose(subnetMask, mask))
        return kJudgeAddressTooFewParts;
    const std::uint32_t host = address & ~mask;
    if (host == 0 || host == ~mask)
        return kJudgeAddressOutOfRange;
    return kJudgeValid;
}

}  // namespace korvo
