#include "files/FileOperation.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

#include "platform/ExePath.h"

namespace korvo {
namespace {

constexpr std::size_t kShortLineMax = 31;

std::mutex g_settingsMutex;
std::function<std::time_t()> g_timeSource;
std::string g_folderOverride;

std::time_t Now()
{
    std::function<std::time_t()> source;
    {
        std::lock_guard<std::mutex> guard(g_settingsMutex);
        source = g_timeSource;
    }
    return source ? source() : std::time(nullptr);
}

// Local time of one reading of the clock; false when the conversion fails.
bool LocalNow(std::tm& out)
{
    const std::time_t now = Now();
    return ::localtime_r(&now, &out) != nullptr;
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

CFileOperation::CFileOperation()
{
    std::string folderOverride;
    {
        std::lock_guard<std::mutex> guard(g_settingsMutex);
        folderOverride = g_folderOverride;
    }
    if (!folderOverride.empty()) {
        m_programFolder = folderOverride;
    } else {
        // No drive letters on this platform: the folder is the whole part.
        m_programFolder = JoinProgramFolder(std::string(), platform::ExecutableFolder());
    }
}

CFileOperation::~CFileOperation()
{
    Close();
}

std::string CFileOperation::JoinProgramFolder(const std::string& drive, const std::string& folder)
{
    return drive + folder;
}

bool CFileOperation::Open(OpenMode mode)
{
    Close();
    if (m_path.empty())
        return false;
    const int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    // Exclusive sharing: nobody else may have the file open through this
    // class. The lock is taken before truncating, so a failed open never
    // touches the content.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        (mode == OpenMode::Truncate && ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    ForgetReadAhead();
    return true;
}

void CFileOperation::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);  // also releases the lock
        m_fd = -1;
    }
    ForgetReadAhead();
}

int CFileOperation::NextByte()
{
    if (!m_pushback.empty()) {
        const int c = static_cast<unsigned char>(m_pushback.back());
        m_pushback.pop_back();
        return c;
    }
    if (m_bufferPos == m_bufferLen) {
        if (m_fd < 0)
            return -1;
        ssize_t n;
        do {
            n = ::read(m_fd, m_buffer, sizeof m_buffer);
        } while (n < 0 && errno == EINTR);
        if (n <= 0)
            return -1;
        m_bufferPos = 0;
        m_bufferLen = static_cast<std::size_t>(n);
    }
    return static_cast<unsigned char>(m_buffer[m_bufferPos++]);
}

int CFileOperation::PeekByte()
{
    const int c = NextByte();
    if (c >= 0)
        m_pushback.push_back(static_cast<char>(c));
    return c;
}

void CFileOperation::ForgetReadAhead()
{
    m_bufferPos = m_bufferLen = 0;
    m_pushback.clear();
}

bool CFileOperation::DropReadAhead()
{
    const std::size_t ahead = (m_bufferLen - m_bufferPos) + m_pushback.size();
    ForgetReadAhead();
    if (ahead == 0)
        return true;
    return ::lseek(m_fd, -static_cast<off_t>(ahead), SEEK_CUR) >= 0;
}

// Reads the next line, at most limit characters of it when limit is not 0.
// A line ends at LF or CR LF; a CR not followed by LF is text.
int CFileOperation::ReadLineLimited(std::string& text, std::size_t limit)
{
    text.clear();
    int c = NextByte();
    if (c < 0)
        return 1;
    for (;;) {
        if (c < 0 || c == '\n')
            return 0;
        if (c == '\r' && PeekByte() == '\n') {
            NextByte();
            return 0;
        }
        text.push_back(static_cast<char>(c));
        if (limit != 0 && text.size() == limit) {
            // Full: a line end right after still belongs to this line.
            const int next = PeekByte();
            if (next == '\n') {
                NextByte();
            } else if (next == '\r') {
                NextByte();
                if (PeekByte() == '\n')
                    NextByte();
                else
                    m_pushback.push_back('\r');  // a lone CR is text of the next read
            }
            return 0;
        }
        c = NextByte();
    }
}

int CFileOperation::ReadLine(std::string& text)
{
    return ReadLineLimited(text, 0);
}

int CFileOperation::ReadShortLine(std::string& text)
{
    return ReadLineLimited(text, kShortLineMax);
}

int CFileOperation::SeekToEnd()
{
    if (m_fd < 0)
        return 1;
    ForgetReadAhead();
    return ::lseek(m_fd, 0, SEEK_END) < 0 ? 1 : 0;
}

int CFileOperation::WriteText(const std::string& text)
{
    if (m_fd < 0 || !DropReadAhead())
        return 1;
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (char c : text) {
        if (c == '\n')
            out.push_back('\r');
        out.push_back(c);
    }
    return WriteAll(m_fd, out.data(), out.size()) ? 0 : 1;
}

long long CFileOperation::FileSize() const
{
    struct stat st {};
    if (m_fd >= 0) {
        if (::fstat(m_fd, &st) != 0)
            return -1;
    } else if (m_path.empty() || ::stat(m_path.c_str(), &st) != 0) {
        return -1;
    }
    return static_cast<long long>(st.st_size);
}

std::string CFileOperation::TimeStamp12()
{
    std::tm t{};
    int year = 0, month = 0, day = 0, hour = -1, minute = -1, second = -1;
    if (LocalNow(t)) {
        year = (t.tm_year + 1900) % 100;
        month = t.tm_mon + 1;
        day = t.tm_mday;
        hour = t.tm_hour;
        minute = t.tm_min;
        second = t.tm_sec;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02d%02d%02d%02d%02d%02d", year, month, day, hour, minute,
                  second);
    return std::string(buffer).substr(0, 12);
}

std::string CFileOperation::TimeStamp12Long()
{
    std::tm t{};
    int year = 0, month = 0, day = 0, hour = -1, minute = -1;
    if (LocalNow(t)) {
        year = t.tm_year + 1900;
        month = t.tm_mon + 1;
        day = t.tm_mday;
        hour = t.tm_hour;
        minute = t.tm_min;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d%02d%02d", year, month, day, hour, minute);
    return std::string(buffer).substr(0, 12);
}

void CFileOperation::SetTimeSource(std::function<std::time_t()> source)
{
    std::lock_guard<std::mutex> guard(g_settingsMutex);
    g_timeSource = std::move(source);
}

void CFileOperation::SetProgramFolderOverride(const std::string& folder)
{
    std::lock_guard<std::mutex> guard(g_settingsMutex);
    g_folderOverride = folder;
}

}  // namespace korvo
