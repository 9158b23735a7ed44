// Line-oriented text file access for the connection log and the CSV files,
// the program folder, and the time stamps used in file names and log lines.
//
// Files are 8-bit text whose lines end in CR LF: WriteText turns each "\n"
// into CR LF, the readers remove the line end. Both open modes open for
// reading and writing, create a missing file and take an exclusive advisory
// lock (flock), so a second open of a file that is open already fails and
// two writers never interleave.
#pragma once

#include <ctime>
#include <functional>
#include <string>

namespace korvo {

class CFileOperation {
public:
    enum class OpenMode {
        Keep,      // existing content kept (import, connection log)
        Truncate,  // existing content emptied (export)
    };

    CFileOperation();
    // Not virtual: the users hold this class by value or as a base of
    // CLogFile, never delete it through a base pointer.
    ~CFileOperation();
    CFileOperation(const CFileOperation&) = delete;
    CFileOperation& operator=(const CFileOperation&) = delete;

    // Reads at most 31 characters of the next line. When the line is
    // longer, the rest of it is left for the next read; a line end that
    // follows the characters read is consumed. 1 at end of file, else 0.
    virtual int ReadShortLine(std::string& text);
    // Reads the next line without its line end (CR LF or a lone LF).
    // 1 at end of file, 0 when a line was read.
    virtual int ReadLine(std::string& text);

    // Opens Path() in the given mode; false on failure (never throws).
    bool Open(OpenMode mode);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // Moves to the end of the file. 1 when the file reported an error.
    int SeekToEnd();
    // Writes the text at the current position, each "\n" as CR LF.
    // 1 when the file reported an error (or the file is not open).
    int WriteText(const std::string& text);
    // Size in bytes of the open file, or of the file at Path() when none is
    // open; -1 when unknown.
    long long FileSize() const;

    const std::string& ProgramFolder() const { return m_programFolder; }
    const std::string& Path() const { return m_path; }
    void SetPath(const std::string& path) { m_path = path; }

    // "%02d%02d%02d%02d%02d%02d": year mod 100, month, day, hour, minute,
    // second of the local time. A failed conversion gives date fields 0 and
    // time fields -1 ("000000-1-1-1").
    static std::string TimeStamp12();
    // "%04d%02d%02d%02d%02d": full year, month, day, hour, minute.
    static std::string TimeStamp12Long();

    // Source of the current time for the time stamps; an empty function
    // restores the system clock. For tests.
    static void SetTimeSource(std::function<std::time_t()> source);
    // Program folder used by objects constructed afterwards (it should end
    // with '/'); an empty text restores the executable's folder. For tests.
    static void SetProgramFolderOverride(const std::string& folder);

    // Joins the executable's drive and folder. Neither part is cut: a cut
    // part would name a different folder, and the log folder must stay
    // beside the executable however deep it lies (as the settings file).
    static std::string JoinProgramFolder(const std::string& drive, const std::string& folder);

protected:
    std::string m_programFolder;  // ends with '/', empty if unknown
    std::string m_path;

private:
    // Reads the next byte; -1 at end of file or on error.
    int NextByte();
    // The next byte without consuming it (kept as the pushback byte).
    int PeekByte();
    int ReadLineLimited(std::string& text, std::size_t limit);
    void ForgetReadAhead();
    // Gives the file back the bytes read ahead so that the file position
    // is the logical one again.
    bool DropReadAhead();

    int m_fd = -1;
    char m_buffer[4096];
    std::size_t m_bufferPos = 0;
    std::size_t m_bufferLen = 0;
    std::string m_pushback;  // bytes given back, the last one is read first
};

}  // namespace korvo
