#include "files/LogFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

namespace korvo {
namespace {

// Characters on disk: each "\n" is written as CR LF.
long long DiskLength(const std::string& text)
{
    long long length = static_cast<long long>(text.size());
    for (char c : text) {
        if (c == '\n')
            ++length;
    }
    return length;
}

bool MakeFolder(const std::string& folder)
{
    if (folder.empty())
        return true;
    return ::mkdir(folder.c_str(), 0755) == 0 || errno == EEXIST;
}

}  // namespace

CLogFile::CLogFile()
{
    BuildPath();
}

CLogFile::~CLogFile() = default;

void CLogFile::BuildPath()
{
    if (!m_folderAppended) {
        m_programFolder += "log/";
        m_folderAppended = true;
    }
    const std::string stamp = TimeStamp12();
    char name[64];
    std::snprintf(name, sizeof name, "connectlog_%.12s.log", stamp.c_str());
    m_path = m_programFolder + name;
    struct stat st {};
    if (::stat(m_programFolder.c_str(), &st) != 0)
        MakeFolder(m_programFolder);  // one level; the program folder exists
}

std::string CLogFile::CurrentPath()
{
    std::lock_guard<platform::SemaphoreLock> guard(m_lock);
    return m_path;
}

std::string CLogFile::HeaderFor(int category, const std::string& stamp)
{
    const char* label = CRLog::CategoryLabel(category);
    char unknown[32];
    if (label == nullptr) {
        std::snprintf(unknown, sizeof unknown, "[CATEGORY=%d]", category);
        label = unknown;
    }
    char header[128];
    std::snprintf(header, sizeof header, "%.100s %.12s\n", label, stamp.c_str());
    return header;
}

std::string CLogFile::BodyFor(int category, const std::string& text)
{
    if ((category >= CRLog::kSndNetInq && category <= CRLog::kSndCamSet) ||
        category == CRLog::kReceive) {
        static const char kDigits[] = "0123456789abcdef";
        std::string body;
        body.reserve(text.size() * 2 + 2);
        for (char c : text) {
            const unsigned char byte = static_cast<unsigned char>(c);
            body.push_back(kDigits[byte >> 4]);
            body.push_back(kDigits[byte & 0x0F]);
        }
        body += "\n\n";
        return body;
    }
    if (category >= CRLog::kRcvNetInq && category <= CRLog::kNetworkErr)
        return text + "\n\n";
    return "Not supported log format.\n";
}

bool CLogFile::OpenCurrent()
{
    if (Open(OpenMode::Keep))
        return true;
    // The log folder may have been removed while the tool runs.
    if (MakeFolder(m_programFolder))
        return Open(OpenMode::Keep);
    return false;
}

bool CLogFile::RotateIfNeeded(std::size_t length)
{
    const long long size = FileSize();
    if (size < 0 || size + static_cast<long long>(length) <= kMaxFileSize)
        return true;
    Close();
    BuildPath();
    return OpenCurrent();
}

bool CLogFile::Append(const std::string& text)
{
    if (!RotateIfNeeded(static_cast<std::size_t>(DiskLength(text))))
        return false;
    return SeekToEnd() == 0 && WriteText(text) == 0;
}

void CLogFile::Log(int category, const std::string& text, const char* /*unit*/, int /*line*/)
{
    std::lock_guard<platform::SemaphoreLock> guard(m_lock);
    if (!OpenCurrent())
        return;  // the entry is lost; the next one tries again
    if (Append(HeaderFor(category, TimeStamp12())))
        Append(BodyFor(category, text));
    Close();
}

}  // namespace korvo
