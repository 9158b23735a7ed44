// Test owner for reply analysis: a message target that records every sent
// and posted message in one sequence, answers the reply queue request from a
// data store, keeps copies of acknowledgement and refusal arguments, and
// checks that no message arrives while the reply queue lock is held. Also a
// diagnostic log listener that keeps the lines.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "files/DiagLog.h"
#include "mainwindow/Messages.h"
#include "model/DataCommon.h"
#include "platform/MessageTransport.h"
#include "platform/Sync.h"
#include "protocol/ReplyAnalysis.h"

namespace korvo::test {

struct Delivered {
    unsigned message = 0;
    bool posted = false;
    platform::WParam wParam = 0;
    platform::LParam lParam = 0;
};

struct Answer {
    unsigned message = 0;
    DeviceDirectoryEntry entry;
    std::string text;
};

class RecordingOwner : public platform::MessageTarget {
public:
    RecordingOwner(CDataCommon* store, platform::SemaphoreLock* lock) : m_store(store), m_lock(lock) {}

    bool Post(unsigned message, platform::WParam wParam, platform::LParam lParam) override
    {
        Note(message);
        log.push_back({message, true, wParam, lParam});
        return true;
    }

    platform::LResult Send(unsigned message, platform::WParam wParam, platform::LParam lParam) override
    {
        Note(message);
        log.push_back({message, false, wParam, lParam});
        if (message == UWM_GET_REPLY_QUEUE) {
            auto* out = reinterpret_cast<std::vector<DeviceRecord>*>(wParam);
            queueWasEmpty = queueWasEmpty && out->empty();
            std::lock_guard<platform::SemaphoreLock> guard(*m_lock);
            m_store->CopyReplyQueue(*out);
        } else if (message == UWM_ACK || message == UWM_NAK) {
            answers.push_back({message, *reinterpret_cast<const DeviceDirectoryEntry*>(wParam),
                               *reinterpret_cast<const std::string*>(lParam)});
        }
        return 0;
    }

    std::vector<unsigned> Messages() const
    {
        std::vector<unsigned> ids;
        for (const Delivered& d : log)
            ids.push_back(d.message);
        return ids;
    }

    std::vector<Delivered> log;
    std::vector<Answer> answers;
    bool lockHeldDuringMessage = false;
    bool queueWasEmpty = true;

private:
    void Note(unsigned)
    {
        if (m_lock->TryLock())
            m_lock->Unlock();
        else
            lockHeldDuringMessage = true;
    }

    CDataCommon* m_store;
    platform::SemaphoreLock* m_lock;
};

struct LogLine {
    int category = 0;
    std::string text;
    std::string unit;
    bool operator==(const LogLine&) const = default;
};

class CapturingListener : public CRLog::Listener {
public:
    explicit CapturingListener(std::vector<LogLine>* lines) : m_lines(lines) {}
    void Log(int category, const std::string& text, const char* unit, int) override
    {
        m_lines->push_back({category, text, unit ? unit : ""});
    }

private:
    std::vector<LogLine>* m_lines;
};

// Everything one analysis needs, wired together.
struct Harness {
    Harness() : owner(&store, &lock), analysis(&owner, &store, &lock, &tables)
    {
        CRLog::ClearListeners();
        CRLog::AddListener(std::make_unique<CapturingListener>(&lines));
    }
    ~Harness() { CRLog::ClearListeners(); }

    void AddDirectoryDevice(int index, const std::string& model, const std::string& mac)
    {
        DeviceRecord record;
        record.index = index;
        record.model = model;
        record.mac = mac;
        store.AddToDirectory(record);
    }

    CDataCommon store;
    platform::SemaphoreLock lock;
    std::array<ReceptionTable, kTableControllers> tables{};
    RecordingOwner owner;
    CReplyAnalysis analysis;
    std::vector<LogLine> lines;
};

}  // namespace korvo::test
