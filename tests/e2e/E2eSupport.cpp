#include "tests/e2e/E2eSupport.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <thread>

#include "mainwindow/Messages.h"
#include "protocol/Frames.h"

extern char** environ;

namespace korvo::e2e {

bool InToolNamespace(std::string& why)
{
    const char* name = std::getenv("KORVO_TOOL_NS");
    if (!name || !*name) {
        why = "KORVO_TOOL_NS is not set: run the end-to-end tests through scripts/netns.sh (as root)";
        return false;
    }
    struct stat mine {};
    struct stat tool {};
    const std::string path = std::string("/run/netns/") + name;
    if (stat("/proc/self/ns/net", &mine) != 0 || stat(path.c_str(), &tool) != 0) {
        why = "cannot compare this process's network namespace with " + path + ": " + std::strerror(errno);
        return false;
    }
    if (mine.st_ino != tool.st_ino || mine.st_dev != tool.st_dev) {
        why = std::string("this process does not run in the network namespace ") + name;
        return false;
    }
    return true;
}

DevsimProcess::~DevsimProcess() { Stop(); }

bool DevsimProcess::Start(const std::vector<std::string>& arguments, std::string& why)
{
    const char* deviceNs = std::getenv("KORVO_DEVICE_NS");
    if (!deviceNs || !*deviceNs) {
        why = "KORVO_DEVICE_NS is not set";
        return false;
    }
    std::vector<std::string> args = {"ip", "netns", "exec", deviceNs, KORVO_DEVSIM_PATH};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        why = "pipe failed";
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    int rc = posix_spawnp(&m_pid, "ip", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) {
        close(pipeFds[0]);
        m_pid = -1;
        why = std::string("cannot start ip netns exec: ") + std::strerror(rc);
        return false;
    }
    m_stdout = pipeFds[0];

    std::string line;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (line.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            why = "devsim printed no listening line within 10 s";
            return false;
        }
        pollfd p{m_stdout, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char chunk[256];
        ssize_t got = read(m_stdout, chunk, sizeof chunk);
        if (got <= 0) {
            why = "devsim ended before it listened: " + line;
            return false;
        }
        line.append(chunk, static_cast<std::size_t>(got));
    }
    if (line.find("devsim: listening") == std::string::npos) {
        why = "unexpected first line from devsim: " + line;
        return false;
    }
    return true;
}

void DevsimProcess::Stop()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 100; ++i) {
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
    }
    if (m_stdout >= 0) {
        close(m_stdout);
        m_stdout = -1;
    }
}

std::string WriteTempFile(const std::string& text)
{
    char name[] = "/tmp/korvo-e2e-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
        return {};
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    close(fd);
    return name;
}

// ---- log capture ----

namespace {

class CaptureListener : public CRLog::Listener {
public:
    void Log(int category, const std::string& text, const char*, int) override
    {
        LogCapture::Instance().Add(category, text);
    }
};

}  // namespace

LogCapture& LogCapture::Instance()
{
    static LogCapture* capture = [] {
        auto* c = new LogCapture();
        CRLog::AddListener(std::make_unique<CaptureListener>());
        return c;
    }();
    return *capture;
}

void LogCapture::Clear()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_entries.clear();
}

std::vector<LogEntry> LogCapture::Entries() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_entries;
}

std::vector<std::string> LogCapture::Texts(int category) const
{
    std::vector<std::string> texts;
    for (const LogEntry& e : Entries())
        if (e.category == category)
            texts.push_back(e.text);
    return texts;
}

void LogCapture::Add(int category, const std::string& text)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_entries.push_back({category, text});
}

// ---- owner ----

platform::LResult Owner::HandleMessage(unsigned message, platform::WParam wParam, platform::LParam lParam)
{
    switch (message) {
    case UWM_GET_REPLY_QUEUE: {
        std::lock_guard<platform::SemaphoreLock> guard(*m_lock);
        m_store->CopyReplyQueue(*reinterpret_cast<std::vector<DeviceRecord>*>(wParam));
        break;
    }
    case UWM_NETWORK_INFO:
        Merge();
        break;
    case UWM_CAMTABLE_REPLY: {
        const int k = static_cast<int>(wParam);
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_client && m_client->GetReceptionTable(k))
            m_tables[static_cast<std::size_t>(k)] = *m_client->GetReceptionTable(k);
        m_tableNotices.push_back(k);
        break;
    }
    case UWM_ACK:
    case UWM_NAK: {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_answers.push_back({message, *reinterpret_cast<const DeviceDirectoryEntry*>(wParam),
                             *reinterpret_cast<const std::string*>(lParam)});
        break;
    }
    default:
        break;
    }
    return 0;
}

void Owner::Merge()
{
    std::vector<DeviceRecord> queue;
    {
        std::lock_guard<platform::SemaphoreLock> guard(*m_lock);
        m_store->CopyReplyQueue(queue);
    }
    for (const DeviceRecord& record : queue) {
        if (record.pending != 1)
            continue;
        const bool camera = record.model == "IPCARD";
        const bool listed = camera ? m_store->HasCamera(record) : m_store->HasController(record);
        if (!listed) {
            DeviceRecord entry = record;
            if (camera) {
                m_store->AppendCamera(record);
                entry.index = static_cast<int>(m_store->CameraCount()) - 1;
            } else {
                m_store->AppendController(record);
                entry.index = static_cast<int>(m_store->ControllerCount()) - 1;
            }
            std::lock_guard<platform::SemaphoreLock> guard(*m_lock);
            m_store->AddToDirectory(entry);
        }
        std::lock_guard<platform::SemaphoreLock> guard(*m_lock);
        m_store->ClearPendingFlag(record.index);
    }
}

std::vector<AnswerSeen> Owner::Answers() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_answers;
}

std::vector<int> Owner::TableNotices() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_tableNotices;
}

ReceptionTable Owner::TableCopy(int k) const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_tables.at(static_cast<std::size_t>(k));
}

void Owner::ClearNotices()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_answers.clear();
    m_tableNotices.clear();
}

// ---- station ----

Station::Station()
{
    owner.SetClient(&client);
    client.Open();
    client.StartReceiving();
}

Station::~Station() { client.StopReceiving(); }

std::size_t Station::QueueCount()
{
    std::lock_guard<platform::SemaphoreLock> guard(lock);
    return store.ReplyQueueCount();
}

std::vector<DeviceRecord> Station::Queue()
{
    std::vector<DeviceRecord> queue;
    std::lock_guard<platform::SemaphoreLock> guard(lock);
    store.CopyReplyQueue(queue);
    return queue;
}

std::vector<DeviceDirectoryEntry> Station::Directory()
{
    std::vector<DeviceDirectoryEntry> directory;
    std::lock_guard<platform::SemaphoreLock> guard(lock);
    store.CopyDirectory(directory);
    return directory;
}

bool Station::WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (true) {
        target.DrainPosted();
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::size_t Station::Inquire(std::size_t expected, std::chrono::milliseconds limit, std::chrono::milliseconds settle)
{
    client.SendNetworkInquiry(BuildNetworkInquiry());
    WaitFor([&] { return QueueCount() >= expected; }, limit);
    std::size_t count = QueueCount();
    while (true) {
        WaitFor([] { return false; }, settle);
        std::size_t now = QueueCount();
        if (now == count)
            return count;
        count = now;
    }
}

}  // namespace korvo::e2e
