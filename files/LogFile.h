// The connection log: the listener of the diagnostic log that appends every
// entry to "connectlog_<time stamp>.log" in the folder "log" beside the
// executable, starting a new file when the current one would grow beyond
// 1 MiB.
//
// Entry: a header line "<label> <TimeStamp12>", then the body: sent frames
// (categories 0 to 3) and received datagrams (13) as one line of lower-case
// hexadecimal digits, categories 4 to 12 as their text, each followed by an
// empty line. A category outside 0 to 13 shows the label "[CATEGORY=<n>]"
// and the single body line "Not supported log format.". Lines end in CR LF.
#pragma once

#include <string>

#include "files/DiagLog.h"
#include "files/FileOperation.h"
#include "platform/Sync.h"

namespace korvo {

class CLogFile : public CRLog::Listener, public CFileOperation {
public:
    static constexpr long long kMaxFileSize = 1048576;

    // Builds the first file path and creates the log folder when missing.
    CLogFile();
    ~CLogFile() override;

    // Writes one entry; the source unit and line are not written. An entry
    // that cannot be written is lost silently.
    void Log(int category, const std::string& text, const char* unit, int line) override;

    // Path of the current log file.
    std::string CurrentPath();

    // Header line and body of an entry as passed to WriteText.
    static std::string HeaderFor(int category, const std::string& stamp);
    static std::string BodyFor(int category, const std::string& text);

private:
    void BuildPath();
    // Before writing a text of `length` characters: moves to a new file
    // when the current one would exceed kMaxFileSize. False when the new
    // file cannot be opened (the entry ends).
    bool RotateIfNeeded(std::size_t length);
    bool OpenCurrent();
    // Writes text at the end of the file, after a rotation check.
    bool Append(const std::string& text);

    bool m_folderAppended = false;
    platform::SemaphoreLock m_lock;
};

}  // namespace korvo
