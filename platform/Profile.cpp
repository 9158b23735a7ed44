#include "platform/Profile.h"

#include <climits>
#include <cstddef>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace platform {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

enum class LineKind { Other, Section, Key };

struct Line {
    std::size_t begin = 0;       // offset of the first byte
    std::size_t textEnd = 0;     // offset after the text (before CR LF / LF)
    std::size_t end = 0;         // offset after the line ending
    LineKind kind = LineKind::Other;
    std::string_view name;       // section or key name, trimmed
    std::size_t valueBegin = 0;  // keys: offset after the "="
};

std::vector<Line> SplitLines(const std::string& content)
{
    std::vector<Line> lines;
    std::size_t pos = 0;
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    const std::string_view all(content);
    while (pos < content.size()) {
        Line line;
        line.begin = pos;
        const std::size_t lf = content.find('\n', pos);
        line.end = (lf == std::string::npos) ? content.size() : lf + 1;
        line.textEnd = (lf == std::string::npos) ? content.size() : lf;
        if (line.textEnd > line.begin && content[line.textEnd - 1] == '\r')
            --line.textEnd;
        pos = line.end;

        const std::string_view text = all.substr(line.begin, line.textEnd - line.begin);
        const std::string_view trimmed = Trim(text);
        if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') {
            // blank or comment
        } else if (trimmed.front() == '[') {
            std::string_view name = trimmed.substr(1);
            const std::size_t close = name.find(']');
            if (close != std::string_view::npos)
                name = name.substr(0, close);
            line.kind = LineKind::Section;
            line.name = Trim(name);
        } else if (const std::size_t eq = text.find('='); eq != std::string_view::npos) {
            line.kind = LineKind::Key;
            line.name = Trim(text.substr(0, eq));
            line.valueBegin = line.begin + eq + 1;
        }
        lines.push_back(line);
    }
    return lines;
}

struct Location {
    std::optional<std::size_t> section;  // index of the section line
    std::optional<std::size_t> key;      // index of the key line
    std::size_t lastInSection = 0;       // index of the section's last key line, or its header
};

Location Find(const std::vector<Line>& lines, std::string_view section, std::string_view key)
{
    Location found;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == LineKind::Section) {
            if (found.section)
                break;  // the first matching section ends here
            inSection = SameName(line.name, section);
            if (inSection) {
                found.section = i;
                found.lastInSection = i;
            }
        } else if (line.kind == LineKind::Key && inSection) {
            found.lastInSection = i;
            if (!found.key && SameName(line.name, key))
                found.key = i;
        }
    }
    return found;
}

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadFile(const std::filesystem::path& path, std::string* content)
{
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        return ReadResult::Missing;
    if (ec || status.type() != std::filesystem::file_type::regular)
        return ReadResult::Failed;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return ReadResult::Failed;
    content->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.bad() ? ReadResult::Failed : ReadResult::Ok;
}

// The raw value of the key, or nothing when file, section or key is missing.
std::optional<std::string> ReadValue(const std::filesystem::path& path, std::string_view section,
                                     std::string_view key)
{
    std::string content;
    if (ReadFile(path, &content) != ReadResult::Ok)
        return std::nullopt;
    const std::vector<Line> lines = SplitLines(content);
    const Location found = Find(lines, section, key);
    if (!found.key)
        return std::nullopt;
    const Line& line = lines[*found.key];
    std::string_view value =
        Trim(std::string_view(content).substr(line.valueBegin, line.textEnd - line.valueBegin));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

// What completes the line that ends content (nothing when it is complete).
const char* LineEndingFor(std::string_view content)
{
    if (content.empty() || content.back() == '\n')
        return "";
    return content.back() == '\r' ? "\n" : "\r\n";
}

bool HasLineBreak(const std::string& s)
{
    return s.find_first_of("\r\n") != std::string::npos;
}

bool StorableName(const std::string& name)
{
    return !name.empty() && !HasLineBreak(name) && !IsBlank(name.front()) && !IsBlank(name.back());
}

bool WriteWhole(const std::filesystem::path& path, const std::string& content, bool existed)
{
    std::filesystem::path temp = path;
    temp += ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            std::filesystem::remove(temp, ignored);
            return false;
        }
    }
    std::error_code ec;
    if (existed) {
        const auto perms = std::filesystem::status(path, ec).permissions();
        if (!ec)
            std::filesystem::permissions(temp, perms, ec);
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        return false;
    }
    return true;
}

}  // namespace

unsigned GetProfileInt(const std::filesystem::path& path, const std::string& section, const std::string& key,
                       unsigned defaultValue)
{
    const std::optional<std::string> value = ReadValue(path, section, key);
    if (!value)
        return defaultValue;
    unsigned long long number = 0;
    for (char c : *value) {
        if (c < '0' || c > '9')
            break;
        number = number * 10 + static_cast<unsigned>(c - '0');
        if (number > UINT_MAX)
            return UINT_MAX;
    }
    return static_cast<unsigned>(number);
}

std::string GetProfileString(const std::filesystem::path& path, const std::string& section,
                             const std::string& key, const std::string& defaultValue)
{
    std::optional<std::string> value = ReadValue(path, section, key);
    return value ? std::move(*value) : defaultValue;
}

bool WriteProfileString(const std::filesystem::path& path, const std::string& section, const std::string& key,
                        const std::string& value)
{
    if (!StorableName(section) || section.find(']') != std::string::npos)
        return false;
    if (!StorableName(key) || key.find('=') != std::string::npos || key.front() == '[' || key.front() == ';' ||
        key.front() == '#')
        return false;
    if (HasLineBreak(value))
        return false;

    std::string content;
    const ReadResult read = ReadFile(path, &content);
    if (read == ReadResult::Failed)
        return false;

    const std::vector<Line> lines = SplitLines(content);
    const Location found = Find(lines, section, key);
    std::string updated;
    if (found.key) {
        const Line& line = lines[*found.key];
        updated = content.substr(0, line.valueBegin) + value + "\r\n" + content.substr(line.end);
    } else if (found.section) {
        const Line& after = lines[found.lastInSection];
        std::string head = content.substr(0, after.end);
        head += LineEndingFor(head);  // the file's last line may lack its ending
        updated = head + key + "=" + value + "\r\n" + content.substr(after.end);
    } else {
        updated = content;
        if (updated != "\xEF\xBB\xBF")
            updated += LineEndingFor(updated);
        updated += "[" + section + "]\r\n" + key + "=" + value + "\r\n";
    }
    return WriteWhole(path, updated, read == ReadResult::Ok);
}

}  // namespace platform
