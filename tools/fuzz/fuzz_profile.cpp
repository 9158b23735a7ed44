// libFuzzer target: the settings file.
//
// Input: file content, section, key and value joined by the part separator
// (missing names are taken from the tool's own settings). The content is
// written to a file; every name pair found in it, the tool's settings and
// the given pair are read with GetProfileInt and GetProfileString; then the
// value is written with WriteProfileString. Checked:
// - GetProfileInt agrees with the number at the start of GetProfileString;
// - a write is refused exactly when the names or the value cannot be stored,
//   and a refused write leaves the file as it was;
// - after a write the pair reads back the value (without surrounding blanks
//   and a pair of quotes, as every value is read), every other pair reads as
//   before, at most the old value's bytes of one line were replaced, and the
//   same write again changes nothing.
#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/Profile.h"
#include "tools/fuzz/FuzzSupport.h"

namespace {

using korvo::fuzz::InvariantBroken;

constexpr const char* kTarget = "fuzz_profile";
// A key is missing when both defaults come back (a file may hold either).
const std::string kMissing = "\x01<missing>\x01";
const std::string kMissingToo = "\x01<absent>\x01";
constexpr unsigned kDefaultNumber = 4242424242u;
constexpr std::size_t kMaxNames = 6;

const std::filesystem::path& Folder()
{
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvo-fuzz-profile-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            InvariantBroken(kTarget, "no temporary folder");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(Folder(), ignored);
        });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

void WriteFile(const std::filesystem::path& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out)
        InvariantBroken(kTarget, "cannot write the settings file");
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string Trim(std::string s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.erase(0, 1);
    while (!s.empty() && IsBlank(s.back()))
        s.pop_back();
    return s;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return s;
}

bool HasLineBreak(const std::string& s)
{
    return s.find_first_of("\r\n") != std::string::npos;
}

bool StorableName(const std::string& s)
{
    return !s.empty() && !HasLineBreak(s) && !IsBlank(s.front()) && !IsBlank(s.back());
}

bool Storable(const std::string& section, const std::string& key, const std::string& value)
{
    return StorableName(section) && section.find(']') == std::string::npos && StorableName(key) &&
           key.find('=') == std::string::npos && key.front() != '[' && key.front() != ';' && key.front() != '#' &&
           !HasLineBreak(value);
}

// How a stored value reads back.
std::string AsRead(const std::string& value)
{
    std::string v = Trim(value);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

// Leading decimal digits of a read value; the largest unsigned when too large.
unsigned NumberOf(const std::string& text)
{
    unsigned long long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        n = n * 10 + static_cast<unsigned>(c - '0');
        if (n > UINT_MAX)
            return UINT_MAX;
    }
    return static_cast<unsigned>(n);
}

void AddName(std::vector<std::string>& names, std::string name)
{
    name = Trim(std::move(name));
    if (names.size() >= kMaxNames)
        return;
    for (const std::string& n : names) {
        if (Lower(n) == Lower(name))
            return;
    }
    names.push_back(std::move(name));
}

// Candidate section and key names: "[...]" and "...=" of every line.
void NamesIn(const std::string& content, std::vector<std::string>& sections, std::vector<std::string>& keys)
{
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t end = content.find('\n', pos);
        if (end == std::string::npos)
            end = content.size();
        const std::string line = Trim(content.substr(pos, end - pos));
        if (!line.empty() && line.front() == '[') {
            const std::size_t close = line.find(']');
            AddName(sections, line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        } else if (const std::size_t eq = line.find('='); eq != std::string::npos) {
            AddName(keys, line.substr(0, eq));
        }
        pos = end + 1;
    }
}

struct Probe {
    std::string section;
    std::string key;
    std::string value;
    bool missing = false;
};

std::vector<Probe> ReadAll(const std::filesystem::path& path, const std::vector<std::string>& sections,
                           const std::vector<std::string>& keys)
{
    std::vector<Probe> probes;
    for (const std::string& s : sections) {
        for (const std::string& k : keys) {
            std::string text = platform::GetProfileString(path, s, k, kMissing);
            const bool missing = text == kMissing && platform::GetProfileString(path, s, k, kMissingToo) == kMissingToo;
            const unsigned number = platform::GetProfileInt(path, s, k, kDefaultNumber);
            const unsigned expected = missing ? kDefaultNumber : NumberOf(text);
            if (number != expected)
                InvariantBroken(kTarget, "GetProfileInt gives " + std::to_string(number) + ", the text " +
                                             std::to_string(expected));
            probes.push_back({s, k, std::move(text), missing});
        }
    }
    return probes;
}

// The old content minus its longest common prefix and suffix with the new.
std::string ReplacedPart(const std::string& before, const std::string& after)
{
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    return before.substr(prefix, before.size() - prefix - suffix);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string_view> parts = korvo::fuzz::SplitParts(data, size, 4);
    const std::string content(parts[0]);
    const std::string section = parts.size() > 1 ? std::string(parts[1]) : "Language";
    const std::string key = parts.size() > 2 ? std::string(parts[2]) : "Language";
    const std::string value = parts.size() > 3 ? std::string(parts[3]) : "1033";

    const std::filesystem::path path = Folder() / "KorvoIPSetup.ini";
    WriteFile(path, content);

    std::vector<std::string> sections{section, "NetworkInq", "DebugUdp"};
    std::vector<std::string> keys{key, "ResponsTime", "DebugUdpFlg"};
    NamesIn(content, sections, keys);
    const std::vector<Probe> before = ReadAll(path, sections, keys);

    const bool storable = Storable(section, key, value);
    const bool written = platform::WriteProfileString(path, section, key, value);
    if (written != storable)
        InvariantBroken(kTarget, written ? "a value that cannot be stored was written" : "a storable value was refused");
    const std::string after = ReadFile(path);
    if (!written) {
        if (after != content)
            InvariantBroken(kTarget, "a refused write changed the file");
        return 0;
    }

    if (ReplacedPart(content, after).find('\n') != std::string::npos)
        InvariantBroken(kTarget, "the write replaced more than one line's value");
    const std::string readBack = platform::GetProfileString(path, section, key, kMissing);
    if (readBack != AsRead(value))
        InvariantBroken(kTarget, "the written value reads back differently");
    for (const Probe& probe : ReadAll(path, sections, keys)) {
        if (Lower(probe.section) == Lower(section) && Lower(probe.key) == Lower(key))
            continue;
        for (const Probe& old : before) {
            if (old.section == probe.section && old.key == probe.key &&
                (old.value != probe.value || old.missing != probe.missing))
                InvariantBroken(kTarget, "writing one key changed another");
        }
    }
    if (!platform::WriteProfileString(path, section, key, value) || ReadFile(path) != after)
        InvariantBroken(kTarget, "the same write again changed the file");
    return 0;
}
