// The connection log file: entry format, rotation at 1 MiB, recreation,
// lost entries and whole entries from several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "files/DiagLog.h"
#include "files/FileOperation.h"
#include "files/LogFile.h"
#include "tests/files/TempFolder.h"

using korvo::CFileOperation;
using korvo::CLogFile;
using korvo::testing::ReadBytes;
using korvo::testing::TempFolder;
using korvo::testing::WriteBytes;

namespace {

constexpr long long kMiB = 1048576;

std::time_t Utc(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return ::timegm(&t);
}

const std::time_t kT = Utc(2026, 12, 8, 22, 5, 9);  // 261208220509
const std::string kFrame("\x02" "ENQ:" "network" "\xff\x03", 14);

// A clock for the time stamps: hands out the queued times one per reading,
// then keeps the last one.
class TestClock {
public:
    void Set(std::time_t t)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_queue.clear();
        m_last = t;
    }
    void Queue(std::initializer_list<std::time_t> times)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_queue.assign(times);
    }
    std::time_t Read()
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (!m_queue.empty()) {
            m_last = m_queue.front();
            m_queue.pop_front();
        }
        return m_last;
    }

private:
    std::mutex m_mutex;
    std::deque<std::time_t> m_queue;
    std::time_t m_last = 0;
};

std::string Stamp(std::time_t t)
{
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d%02d%02d%02d%02d%02d", tm.tm_year % 100, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buffer;
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(temp.Path().empty());
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        CRLog::ClearListeners();
        clock.Set(kT);
        CFileOperation::SetTimeSource([this] { return clock.Read(); });
        CFileOperation::SetProgramFolderOverride(temp.Path());
    }
    void TearDown() override
    {
        CRLog::ClearListeners();
        CFileOperation::SetTimeSource({});
        CFileOperation::SetProgramFolderOverride("");
    }

    std::string LogFolder() const { return temp.Path() + "log/"; }
    std::string LogPath(std::time_t t) const { return LogFolder() + "connectlog_" + Stamp(t) + ".log"; }

    std::set<std::string> LogFiles() const
    {
        std::set<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(LogFolder(), ec))
            names.insert(e.path().filename().string());
        return names;
    }

    TempFolder temp;
    TestClock clock;
};

TEST_F(LogFileTest, ConstructionCreatesTheFolderNotTheFile)
{
    ASSERT_FALSE(std::filesystem::exists(LogFolder()));
    CLogFile log;
    EXPECT_TRUE(std::filesystem::is_directory(LogFolder()));
    EXPECT_EQ(log.CurrentPath(), LogFolder() + "connectlog_261208220509.log");
    EXPECT_EQ(log.Path(), log.CurrentPath());
    EXPECT_TRUE(LogFiles().empty());
    EXPECT_EQ(log.Id(), -1);
}

TEST_F(LogFileTest, NetworkInquiryFrameAsHexDump)
{
    ASSERT_TRUE(CRLog::AddListener(std::make_unique<CLogFile>()));
    WriteDiagnostic(KORVO_WHERE("UdpClient", CRLog::kSndNetInq), "%s", kFrame.c_str());
    EXPECT_EQ(ReadBytes(LogPath(kT)),
              "[SND/NETINQ] 261208220509\r\n02454e513a6e6574776f726bff03\r\n\r\n");
}

TEST_F(LogFileTest, BodyFormatByCategory)
{
    struct Case {
        int category;
        std::string text;
        std::string entry;
    } const cases[] = {
        {0, kFrame, "[SND/NETINQ] 261208220509\r\n02454e513a6e6574776f726bff03\r\n\r\n"},
        {1, "\x02" "A", "[SND/NETSET] 261208220509\r\n0241\r\n\r\n"},
        {2, "\xff", "[SND/CAMINQ] 261208220509\r\nff\r\n\r\n"},
        {3, "", "[SND/CAMSET] 261208220509\r\n\r\n\r\n"},
        {13, "\x03\n", "[RECIEVE] 261208220509\r\n030a\r\n\r\n"},
        {4, "Start", "[RCV/NETINQ] 261208220509\r\nStart\r\n\r\n"},
        {5, "cam", "[RCV/CAMINQ] 261208220509\r\ncam\r\n\r\n"},
        {6, "ack", "[RCV/ACK] 261208220509\r\nack\r\n\r\n"},
        {7, "nak", "[RCV/NAK] 261208220509\r\nnak\r\n\r\n"},
        {8, "what", "[RCV/UNKNOWN] 261208220509\r\nwhat\r\n\r\n"},
        {9, "Success!!", "[SUCCESS] 261208220509\r\nSuccess!!\r\n\r\n"},
        {10, "NAK:busy", "[FAILURE] 261208220509\r\nNAK:busy\r\n\r\n"},
        {11, "[FileImport]FileName=a.csv\n",
         "[SYMPTOM] 261208220509\r\n[FileImport]FileName=a.csv\r\n\r\n\r\n"},
        {12, "", "[NETWORKERR] 261208220509\r\n\r\n\r\n"},
        {14, "ignored", "[CATEGORY=14] 261208220509\r\nNot supported log format.\r\n"},
        {-1, "ignored", "[CATEGORY=-1] 261208220509\r\nNot supported log format.\r\n"},
    };
    CLogFile log;
    std::string expected;
    for (const auto& c : cases) {
        log.Log(c.category, c.text, "Judge", 1);
        expected += c.entry;
        ASSERT_EQ(ReadBytes(LogPath(kT)), expected) << c.category;
    }
}

TEST_F(LogFileTest, PercentInAFrameIsLoggedUnchanged)
{
    ASSERT_TRUE(CRLog::AddListener(std::make_unique<CLogFile>()));
    const std::string frame = "\x02NAME:%s%d%n\xff\x03";
    WriteDiagnostic(KORVO_WHERE("UdpClient", CRLog::kSndNetSet), "%s", frame.c_str());
    WriteDiagnostic(KORVO_WHERE("KorvoIPSetupDlg", CRLog::kSymptom), "[FileExport]FileName=%.255s\n",
                    "/tmp/100%d.csv");
    EXPECT_EQ(ReadBytes(LogPath(kT)),
              "[SND/NETSET] 261208220509\r\n024e414d453a25732564256eff03\r\n\r\n"
              "[SYMPTOM] 261208220509\r\n[FileExport]FileName=/tmp/100%d.csv\r\n\r\n\r\n");
}

TEST_F(LogFileTest, LongDatagramIsWrittenInPieces)
{
    ASSERT_TRUE(CRLog::AddListener(std::make_unique<CLogFile>()));
    const std::string datagram(10000, 'A');
    WriteDiagnostic(KORVO_WHERE("UdpClient", CRLog::kReceive), "%s", datagram.c_str());
    auto hexOfA = [](int count) {
        std::string s;
        for (int i = 0; i < count; ++i)
            s += "41";
        return s;
    };
    const std::string header = "[RECIEVE] 261208220509\r\n";
    EXPECT_EQ(ReadBytes(LogPath(kT)),
              header + hexOfA(8191) + "\r\n\r\n" + header + hexOfA(10000 - 8191) + "\r\n\r\n");
}

TEST_F(LogFileTest, NoListenerWritesNothing)
{
    CLogFile unregistered;
    WriteDiagnostic(KORVO_WHERE("UdpClient", CRLog::kSndNetInq), "%s", kFrame.c_str());
    EXPECT_TRUE(LogFiles().empty());
}

TEST_F(LogFileTest, ListenersWithoutIdentityAreAllKept)
{
    ASSERT_TRUE(CRLog::AddListener(std::make_unique<CLogFile>()));
    ASSERT_TRUE(CRLog::AddListener(std::make_unique<CLogFile>()));
    EXPECT_EQ(CRLog::ListenerCount(), 2u);
    WriteDiagnostic(KORVO_WHERE("KorvoIPSetup", CRLog::kSuccess), "Success!!");
    const std::string entry = "[SUCCESS] 261208220509\r\nSuccess!!\r\n\r\n";
    EXPECT_EQ(ReadBytes(LogPath(kT)), entry + entry);
}

// The current file holds exactly enough for the header: the header fills it
// to 1 MiB, the body goes to the next file, named after the moment of the
// change.
TEST_F(LogFileTest, HeaderAndBodyInDifferentFiles)
{
    CLogFile log;
    const std::string header = "[SND/NETINQ] 261208220509\r\n";
    const std::string before(static_cast<std::size_t>(kMiB) - header.size(), 'x');
    WriteBytes(LogPath(kT), before);
    clock.Queue({kT, kT + 1});  // header stamp, then the new file's name
    log.Log(CRLog::kSndNetInq, kFrame, "UdpClient", 1);
    const std::string first = ReadBytes(LogPath(kT));
    EXPECT_EQ(static_cast<long long>(first.size()), kMiB);
    EXPECT_EQ(first, before + header);
    EXPECT_EQ(ReadBytes(LogPath(kT + 1)), "02454e513a6e6574776f726bff03\r\n\r\n");
    EXPECT_EQ(log.CurrentPath(), LogPath(kT + 1));
    EXPECT_EQ(LogFiles().size(), 2u);

    // the next entry stays in the new file
    clock.Set(kT + 2);
    log.Log(CRLog::kSuccess, "next", "KorvoIPSetup", 1);
    EXPECT_EQ(ReadBytes(LogPath(kT + 1)),
              "02454e513a6e6574776f726bff03\r\n\r\n[SUCCESS] " + Stamp(kT + 2) + "\r\nnext\r\n\r\n");
    EXPECT_EQ(ReadBytes(LogPath(kT)), first);
}

// One byte more and the header itself no longer fits.
TEST_F(LogFileTest, WholeEntryInTheNextFileWhenTheHeaderDoesNotFit)
{
    CLogFile log;
    const std::string header = "[SND/NETINQ] 261208220509\r\n";
    const std::string before(static_cast<std::size_t>(kMiB) - header.size() + 1, 'x');
    WriteBytes(LogPath(kT), before);
    clock.Set(kT + 1);
    log.Log(CRLog::kSndNetInq, kFrame, "UdpClient", 1);
    EXPECT_EQ(ReadBytes(LogPath(kT)), before);
    EXPECT_EQ(ReadBytes(LogPath(kT + 1)),
              "[SND/NETINQ] " + Stamp(kT + 1) + "\r\n02454e513a6e6574776f726bff03\r\n\r\n");
}

// A change of file within the same second gives the same name, so the log
// continues the current file beyond the limit.
TEST_F(LogFileTest, RotationWithinTheSameSecondContinuesTheFile)
{
    CLogFile log;
    const std::string before(static_cast<std::size_t>(kMiB), 'x');
    WriteBytes(LogPath(kT), before);
    log.Log(CRLog::kSuccess, "one", "KorvoIPSetup", 1);
    log.Log(CRLog::kSuccess, "two", "KorvoIPSetup", 1);
    EXPECT_EQ(ReadBytes(LogPath(kT)), before + "[SUCCESS] 261208220509\r\none\r\n\r\n" +
                                          "[SUCCESS] 261208220509\r\ntwo\r\n\r\n");
    EXPECT_EQ(LogFiles(), std::set<std::string>{"connectlog_261208220509.log"});
}

// Many entries with a clock that moves on: every file stays within 1 MiB
// and together they hold every entry in order.
TEST_F(LogFileTest, RotationKeepsEveryFileWithinOneMiB)
{
    CLogFile log;
    std::time_t now = kT;
    const int entries = 300;  // about 2.4 MiB
    for (int i = 0; i < entries; ++i) {
        clock.Set(now++);
        std::string text = "entry " + std::to_string(i) + " ";
        text.resize(8000, '.');
        log.Log(CRLog::kSymptom, text, "Judge", 1);
    }
    const auto files = LogFiles();
    EXPECT_EQ(files.size(), 3u);
    std::string all;
    for (const auto& name : files) {  // names sort by time
        const std::string content = ReadBytes(LogFolder() + name);
        EXPECT_LE(static_cast<long long>(content.size()), kMiB) << name;
        EXPECT_GT(static_cast<long long>(content.size()), kMiB / 4) << name;
        all += content;
    }
    std::size_t pos = 0;
    for (int i = 0; i < entries; ++i) {
        const std::string mark = "\r\nentry " + std::to_string(i) + " ";
        const std::size_t found = all.find(mark, pos);
        ASSERT_NE(found, std::string::npos) << i;
        pos = found + mark.size();
    }
}

TEST_F(LogFileTest, DeletedFileIsCreatedAgain)
{
    CLogFile log;
    log.Log(CRLog::kSuccess, "one", "KorvoIPSetup", 1);
    ASSERT_TRUE(std::filesystem::remove(LogPath(kT)));
    clock.Set(kT + 5);
    log.Log(CRLog::kSuccess, "two", "KorvoIPSetup", 1);
    EXPECT_EQ(ReadBytes(LogPath(kT)), "[SUCCESS] " + Stamp(kT + 5) + "\r\ntwo\r\n\r\n");
    EXPECT_EQ(LogFiles().size(), 1u);

    // even the folder may go: it is made again
    std::filesystem::remove_all(LogFolder());
    log.Log(CRLog::kSuccess, "three", "KorvoIPSetup", 1);
    EXPECT_EQ(ReadBytes(LogPath(kT)), "[SUCCESS] " + Stamp(kT + 5) + "\r\nthree\r\n\r\n");
}

TEST_F(LogFileTest, EntriesAreLostQuietlyWhenTheFileCannotBeOpened)
{
    CLogFile log;
    log.Log(CRLog::kSuccess, "one", "KorvoIPSetup", 1);
    {
        CFileOperation holder;  // someone else has the file open
        holder.SetPath(LogPath(kT));
        ASSERT_TRUE(holder.Open(CFileOperation::OpenMode::Keep));
        log.Log(CRLog::kSuccess, "lost", "KorvoIPSetup", 1);
    }
    log.Log(CRLog::kSuccess, "two", "KorvoIPSetup", 1);
    EXPECT_EQ(ReadBytes(LogPath(kT)),
              "[SUCCESS] 261208220509\r\none\r\n\r\n[SUCCESS] 261208220509\r\ntwo\r\n\r\n");

    // a program folder that does not exist: nothing can be written
    CFileOperation::SetProgramFolderOverride(temp.Path() + "missing/deeper/");
    CLogFile nowhere;
    nowhere.Log(CRLog::kSuccess, "lost", "KorvoIPSetup", 1);
    EXPECT_FALSE(std::filesystem::exists(temp.Path() + "missing"));
}

// Entries of several threads never interleave: the file is a sequence of
// whole entries, each thread's in its own order.
TEST_F(LogFileTest, ConcurrentEntriesStayWhole)
{
    ASSERT_TRUE(CRLog::AddListener(std::make_unique<CLogFile>()));
    const int threads = 4;
    const int perThread = 150;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t] {
            for (int i = 0; i < perThread; ++i) {
                const std::string text = "T" + std::to_string(t) + "#" + std::to_string(i) + "|" +
                                         std::string(static_cast<std::size_t>(50 + (i * 7) % 300), 'a' + t);
                if (i % 2 == 0)
                    WriteDiagnostic(KORVO_WHERE("UdpClient", CRLog::kReceive), "%s", text.c_str());
                else
                    WriteDiagnostic(KORVO_WHERE("UdpClient", CRLog::kRcvUnknown), "%s", text.c_str());
            }
        });
    }
    for (auto& w : workers)
        w.join();

    const std::string content = ReadBytes(LogPath(kT));
    std::map<int, int> next;  // thread -> next expected number
    std::size_t pos = 0;
    int count = 0;
    auto readLine = [&](std::string& line) {
        const std::size_t end = content.find("\r\n", pos);
        if (end == std::string::npos)
            return false;
        line = content.substr(pos, end - pos);
        pos = end + 2;
        return true;
    };
    auto unhex = [](const std::string& hex) {
        std::string out;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        return out;
    };
    std::string header, body, blank;
    while (pos < content.size()) {
        ASSERT_TRUE(readLine(header) && readLine(body) && readLine(blank)) << "entry " << count;
        ASSERT_TRUE(blank.empty()) << "entry " << count;
        std::string text;
        if (header == "[RECIEVE] 261208220509")
            text = unhex(body);
        else if (header == "[RCV/UNKNOWN] 261208220509")
            text = body;
        else
            FAIL() << "bad header " << header;
        ASSERT_EQ(text[0], 'T');
        const int t = text[1] - '0';
        const int i = std::stoi(text.substr(3));
        EXPECT_EQ(i, next[t]) << "thread " << t;
        EXPECT_EQ(header[1] == 'R' && header[2] == 'E', i % 2 == 0);
        const std::string expected = "T" + std::to_string(t) + "#" + std::to_string(i) + "|" +
                                     std::string(static_cast<std::size_t>(50 + (i * 7) % 300), 'a' + t);
        EXPECT_EQ(text, expected);
        next[t] = i + 1;
        ++count;
    }
    EXPECT_EQ(count, threads * perThread);
}

}  // namespace
