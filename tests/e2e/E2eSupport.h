// Support for the end-to-end tests: the namespace guard, the device emulator
// as a child process in the device namespace, an owner that does what the
// main window does with replies, and a diagnostic log capture.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <sys/types.h>

#include "files/DiagLog.h"
#include "model/DataCommon.h"
#include "platform/DirectMessageTarget.h"
#include "platform/Sync.h"
#include "protocol/UdpClient.h"

namespace korvo::e2e {

// True only inside the tool namespace that scripts/netns.sh created for this
// run (KORVO_TOOL_NS names it and this process's network namespace is that
// one); otherwise false with the reason.
bool InToolNamespace(std::string& why);

// devsim running in the device namespace, stopped on destruction.
class DevsimProcess {
public:
    DevsimProcess() = default;
    ~DevsimProcess();
    DevsimProcess(const DevsimProcess&) = delete;
    DevsimProcess& operator=(const DevsimProcess&) = delete;

    // Starts devsim with the arguments and waits (at most 10 s) for its
    // "listening" line. False with a reason when it did not come up.
    bool Start(const std::vector<std::string>& arguments, std::string& why);
    void Stop();

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
};

// Writes a fleet file into a fresh temporary file; returns its name.
std::string WriteTempFile(const std::string& text);

struct LogEntry {
    int category;
    std::string text;
};

class LogCapture {
public:
    static LogCapture& Instance();
    void Clear();
    std::vector<LogEntry> Entries() const;
    std::vector<std::string> Texts(int category) const;
    void Add(int category, const std::string& text);

private:
    mutable std::mutex m_mutex;
    std::vector<LogEntry> m_entries;
};

struct AnswerSeen {
    unsigned message;  // UWM_ACK or UWM_NAK
    DeviceDirectoryEntry entry;
    std::string text;
};

// Plays the main window's part: answers the reply queue request, merges new
// replies into the camera and controller lists and the device directory (on
// the test thread, when posted messages are drained), keeps copies of
// reception tables as they are announced and of every answer.
class Owner : public platform::MessageHandler {
public:
    Owner(CDataCommon* store, platform::SemaphoreLock* lock) : m_store(store), m_lock(lock) {}
    void SetClient(CUdpClient* client) { m_client = client; }

    platform::LResult HandleMessage(unsigned message, platform::WParam wParam, platform::LParam lParam) override;

    std::vector<AnswerSeen> Answers() const;
    // Camera table notifications received, by controller index.
    std::vector<int> TableNotices() const;
    ReceptionTable TableCopy(int k) const;
    void ClearNotices();

private:
    void Merge();

    CDataCommon* m_store;
    platform::SemaphoreLock* m_lock;
    CUdpClient* m_client = nullptr;
    mutable std::mutex m_mutex;
    std::vector<AnswerSeen> m_answers;
    std::vector<int> m_tableNotices;
    std::array<ReceptionTable, kTableControllers> m_tables{};
};

// A client wired to an owner and a data store, open and receiving.
struct Station {
    Station();
    ~Station();

    std::size_t QueueCount();
    std::vector<DeviceRecord> Queue();
    std::vector<DeviceDirectoryEntry> Directory();
    // Drains the owner's posted messages while waiting for the condition.
    bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit);
    // Broadcasts a network inquiry and waits until `expected` records have
    // arrived and `settle` has passed without more.
    std::size_t Inquire(std::size_t expected, std::chrono::milliseconds limit, std::chrono::milliseconds settle);

    CDataCommon store;
    platform::SemaphoreLock lock;
    Owner owner{&store, &lock};
    platform::DirectMessageTarget target{&owner};
    CUdpClient client{&target, &store, &lock};
};

}  // namespace korvo::e2e
