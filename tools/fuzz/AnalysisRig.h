// Reply analysis wired up as the tool runs it, for robustness runs: an owner
// that answers the reply queue request, the reply queue lock, a data store
// whose device directory lists controllers at indexes 0 to 6 and a few
// cameras, and the five reception tables (followed by a spare table that no
// analysis may ever touch). Datagrams are delivered the way the receive loop
// hands them over, and after each one every invariant of the stored data and
// of the notifications is checked.
//
// Shared by the libFuzzer target (tools/fuzz) and the robustness unit test
// (tests/protocol); header only.
#pragma once

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "files/DiagLog.h"
#include "mainwindow/Messages.h"
#include "model/DataCommon.h"
#include "protocol/Frames.h"
#include "protocol/ReplyAnalysis.h"
#include "protocol/Simulation.h"
#include "protocol/UdpClient.h"
#include "tests/protocol/AnalysisHarness.h"

namespace korvo::fuzz {

// Directory indexes 0 to 6 of the controllers; 0 to 4 are the simulated
// controllers, 5 and 6 have no reception table.
constexpr int kDirectoryControllers = 7;
// Cameras 0 to 5 are the simulated cameras.
constexpr int kDirectoryCameras = 6;

inline std::string DirectoryControllerMac(int index)
{
    char text[32];
    std::snprintf(text, sizeof text, "02-00-C0-A8-%02d-00", index + 1);
    return text;
}

inline std::string DirectoryCameraMac(int index)
{
    char text[32];
    std::snprintf(text, sizeof text, "02-00-C0-A8-00-%02d", index + 1);
    return text;
}

// MAC addresses of the records a reply queue is filled with before a run.
inline std::string QueuedMac(int i)
{
    char text[32];
    std::snprintf(text, sizeof text, "0a-00-00-00-%02x-%02x", (i / 256) & 0xFF, i % 256);
    return text;
}

// How the reply queue is filled before the first datagram.
enum class QueueFill {
    kEmpty,
    kDistinct255,     // one below the limit of distinct devices
    kDistinct256,     // at the limit
    kTwoDevices300,   // 300 records of two devices
};
constexpr int kQueueFills = 4;

inline std::string Lower(std::string text)
{
    for (char& c : text)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

inline bool HasByte(const std::string& text, char byte)
{
    return text.find(byte) != std::string::npos;
}

inline bool SameMac(const std::string& a, const std::string& b)
{
    return !a.empty() && a.size() == b.size() && Lower(a) == Lower(b);
}

class AnalysisRig {
public:
    explicit AnalysisRig(QueueFill fill) : m_owner(&m_store, &m_lock), m_analysis(&m_owner, &m_store, &m_lock, &m_tables.live)
    {
        CRLog::ClearListeners();
        CRLog::AddListener(std::make_unique<test::CapturingListener>(&m_lines));
        for (int i = 0; i < kDirectoryControllers; ++i)
            AddDirectoryDevice(i, i % 2 ? "ST-HUB80" : "CONTROLLER", DirectoryControllerMac(i));
        for (int i = 0; i < kDirectoryCameras; ++i)
            AddDirectoryDevice(i, "IPCARD", DirectoryCameraMac(i));
        m_store.CopyDirectory(m_directory);

        int count = 0;
        switch (fill) {
        case QueueFill::kEmpty:
            break;
        case QueueFill::kDistinct255:
            count = 255;
            break;
        case QueueFill::kDistinct256:
            count = 256;
            break;
        case QueueFill::kTwoDevices300:
            count = 300;
            break;
        }
        for (int i = 0; i < count; ++i) {
            DeviceRecord record;
            record.mac = QueuedMac(fill == QueueFill::kTwoDevices300 ? i % 2 : i);
            record.model = "IPCARD";
            record.version = "2.10";
            record.pending = 1;
            m_store.AppendToReplyQueue(record);
            m_distinct.insert(Lower(record.mac));
        }
        m_checkedRecords = static_cast<std::size_t>(count);
    }
    ~AnalysisRig() { CRLog::ClearListeners(); }
    AnalysisRig(const AnalysisRig&) = delete;
    AnalysisRig& operator=(const AnalysisRig&) = delete;

    // Hands one datagram over as the receive loop does: nothing for an empty
    // datagram or one longer than the receive buffer takes, else the text up
    // to its first 0x00 goes to AnalyzeReply. With direct set, the raw
    // datagram then also goes to each analysis entry point. Returns an empty
    // text when every invariant holds, else what broke.
    std::string Deliver(std::string_view datagram, bool direct = false)
    {
        const Mark mark = Now();
        int appendsAllowed = 0;
        if (!datagram.empty() && datagram.size() <= kMaxDatagramSize) {
            const std::string text(datagram.data(), ::strnlen(datagram.data(), datagram.size()));
            m_analysis.AnalyzeReply(text);
            appendsAllowed = 1;
            const std::size_t written = m_lines.size() - mark.lines;
            if (written < 1 || written > 3)
                return std::string("AnalyzeReply wrote " + std::to_string(written) + " log lines");
            for (std::size_t i = mark.lines; i < m_lines.size(); ++i) {
                const int c = m_lines[i].category;
                if (c != CRLog::kRcvNetInq && c != CRLog::kRcvCamInq && c != CRLog::kRcvAck &&
                    c != CRLog::kRcvNak && c != CRLog::kRcvUnknown && c != CRLog::kSymptom)
                    return std::string("log line of category " + std::to_string(c));
            }
        }
        if (direct) {
            const std::string raw(datagram);
            m_analysis.AnalyzeNetworkInfo(raw);
            m_analysis.AnalyzeCameraTable(raw);
            if (m_analysis.AnalyzeAcknowledgement(raw) != 0 || m_analysis.AnalyzeRefusal(raw) != 0)
                return std::string("an answer analysis returned non-zero");
            appendsAllowed += 1;
        }
        return Check(mark, appendsAllowed);
    }

    CDataCommon& Store() { return m_store; }
    std::array<ReceptionTable, kTableControllers>& Tables() { return m_tables.live; }
    const test::RecordingOwner& Owner() const { return m_owner; }

    // What is wrong with a record appended to the reply queue at position,
    // or with row r of reception table k; empty when nothing is.
    static std::string CheckRecord(const DeviceRecord& r, std::size_t position)
    {
        const auto where = [&] { return "reply queue record " + std::to_string(position) + ": "; };
        if (r.index != static_cast<std::int32_t>(position))
            return where() + "index " + std::to_string(r.index);
        if (r.mac.size() != kMacLength)
            return where() + "MAC of " + std::to_string(r.mac.size()) + " characters";
        if (r.name.size() > kNameMax)
            return where() + "name of " + std::to_string(r.name.size()) + " characters";
        if (r.model != "IPCARD" && r.model != "CONTROLLER" && r.model != "ST-HUB80")
            return where() + "model not one of the three";
        if (r.version.size() != 4)
            return where() + "version of " + std::to_string(r.version.size()) + " characters";
        if (r.pending != 1)
            return where() + "pending flag not set";
        if (r.writable > 1)
            return where() + "write permission " + std::to_string(r.writable);
        if (r.state != 0 || !r.message.empty())
            return where() + "state or message set";
        for (const std::string* text : {&r.mac, &r.name, &r.version, &r.model}) {
            if (HasByte(*text, kFieldEnd) || HasByte(*text, '\0'))
                return where() + "a text holds 0xFF or 0x00";
        }
        return {};
    }

    static std::string CheckRow(const CameraTableEntry& row, int k, int r)
    {
        const auto where = [&] { return "table " + std::to_string(k) + " row " + std::to_string(r) + ": "; };
        if (row.flag > 1)
            return where() + "flag " + std::to_string(row.flag);
        if (row.flag == 1 && row.number != r + 1)
            return where() + "unpacked with number " + std::to_string(row.number);
        if (row.number != 0 && row.number != r + 1)
            return where() + "number " + std::to_string(row.number);
        if (row.mac.size() != 0 && row.mac.size() != kMacLength)
            return where() + "MAC of " + std::to_string(row.mac.size()) + " characters";
        if (row.name.size() > kNameMax)
            return where() + "name of " + std::to_string(row.name.size()) + " characters";
        // The name ends at the next FF; the MAC value at the next ':' (so it
        // may hold FF bytes, as any 17 bytes of a row are taken).
        if (HasByte(row.name, kFieldEnd) || HasByte(row.mac, ':') || HasByte(row.name, '\0') ||
            HasByte(row.mac, '\0'))
            return where() + "name with 0xFF, MAC with ':' or a text with 0x00";
        if (row.mask != Address4{} || row.tableIndex != 0 || row.state != 0)
            return where() + "mask, table index or state written";
        if (row.number == 0 && (!row.mac.empty() || row.ip != Address4{} || !row.name.empty()))
            return where() + "values without a number";
        return {};
    }

private:
    struct Mark {
        std::size_t messages;
        std::size_t answers;
        std::size_t lines;
    };

    Mark Now() const { return {m_owner.log.size(), m_owner.answers.size(), m_lines.size()}; }

    void AddDirectoryDevice(int index, const std::string& model, const std::string& mac)
    {
        DeviceRecord record;
        record.index = index;
        record.model = model;
        record.mac = mac;
        m_store.AddToDirectory(record);
    }

    const DeviceDirectoryEntry* DirectoryEntry(const std::string& mac) const
    {
        for (const DeviceDirectoryEntry& entry : m_directory) {
            if (SameMac(entry.mac, mac))
                return &entry;
        }
        return nullptr;
    }

    std::string Check(const Mark& mark, int appendsAllowed)
    {
        if (!m_lock.TryLock())
            return std::string("reply queue lock left held");
        m_lock.Unlock();
        if (m_owner.lockHeldDuringMessage)
            return std::string("a message was sent while the reply queue lock was held");

        // Records are only ever appended, so only the new ones are copied
        // and looked at.
        std::vector<DeviceRecord> queue;
        std::vector<DeviceDirectoryEntry> directory;
        std::size_t count = 0;
        {
            std::lock_guard<platform::SemaphoreLock> guard(m_lock);
            count = m_store.ReplyQueueCount();
            if (count != m_checkedRecords)
                m_store.CopyReplyQueue(queue);
            m_store.CopyDirectory(directory);
        }
        if (directory != m_directory)
            return std::string("the device directory changed");

        // Reply queue: only appended to, at most once per analysed reply,
        // each append announced; at most 256 distinct devices.
        // Counted from the records checked last, so that nothing appended
        // between two datagrams goes unseen.
        if (count < m_checkedRecords)
            return std::string("the reply queue shrank");
        const std::size_t appended = count - m_checkedRecords;
        if (appended > static_cast<std::size_t>(appendsAllowed))
            return std::string(std::to_string(appended) + " records appended for one datagram");
        std::size_t announced = 0;
        for (std::size_t i = mark.messages; i < m_owner.log.size(); ++i)
            announced += m_owner.log[i].message == UWM_NETWORK_INFO ? 1 : 0;
        if (announced != appended)
            return std::string(std::to_string(appended) + " records appended, " + std::to_string(announced) +
                          " announced");
        for (std::size_t i = m_checkedRecords; i < queue.size(); ++i) {
            std::string broken = CheckRecord(queue[i], i);
            if (!broken.empty())
                return broken;
            m_distinct.insert(Lower(queue[i].mac));
        }
        m_checkedRecords = count;
        if (m_distinct.size() > kReplyQueueDevices)
            return std::string("the reply queue holds " + std::to_string(m_distinct.size()) + " distinct devices");

        // Notifications.
        for (std::size_t i = mark.messages; i < m_owner.log.size(); ++i) {
            const test::Delivered& d = m_owner.log[i];
            switch (d.message) {
            case UWM_GET_REPLY_QUEUE:
                if (d.posted || d.lParam != 0)
                    return std::string("reply queue request not sent with lParam 0");
                break;
            case UWM_NETWORK_INFO:
                if (!d.posted || d.wParam != 0 || d.lParam != 0)
                    return std::string("network information notice not posted with (0, 0)");
                break;
            case UWM_CAMTABLE_REPLY: {
                if (d.posted || d.wParam >= static_cast<platform::WParam>(kTableControllers) || d.lParam != 0)
                    return std::string("camera table notice for controller " + std::to_string(d.wParam));
                const ReceptionTable& table = m_tables.live[d.wParam];
                const DeviceDirectoryEntry* entry = DirectoryEntry(table.controllerMac);
                if (!entry || entry->index != static_cast<std::int32_t>(d.wParam))
                    return std::string("camera table notice for a table of no listed controller");
                break;
            }
            case UWM_ACK:
            case UWM_NAK:
                if (d.posted)
                    return std::string("answer posted instead of sent");
                break;
            default:
                return std::string("unexpected message " + std::to_string(d.message));
            }
        }
        for (std::size_t i = mark.answers; i < m_owner.answers.size(); ++i) {
            const test::Answer& a = m_owner.answers[i];
            if (std::find(m_directory.begin(), m_directory.end(), a.entry) == m_directory.end())
                return std::string("answer with an entry that is not in the directory");
            if (HasByte(a.text, '"') || HasByte(a.text, '\0'))
                return std::string("answer text holds a double quote or 0x00");
        }

        // Reception tables, and the spare table behind them.
        for (int k = 0; k < kTableControllers; ++k) {
            const ReceptionTable& table = m_tables.live[static_cast<std::size_t>(k)];
            if (!table.controllerMac.empty()) {
                const DeviceDirectoryEntry* entry = DirectoryEntry(table.controllerMac);
                if (!entry || entry->index != k)
                    return std::string("table " + std::to_string(k) + " holds a MAC address of no device with index " +
                                  std::to_string(k));
            }
            for (int r = 0; r < kCameraTableRows; ++r) {
                std::string broken = CheckRow(table.rows[static_cast<std::size_t>(r)], k, r);
                if (!broken.empty())
                    return broken;
            }
        }
        if (!m_tables.spare.controllerMac.empty() ||
            !std::all_of(m_tables.spare.rows.begin(), m_tables.spare.rows.end(),
                         [](const CameraTableEntry& row) { return row == CameraTableEntry{}; }))
            return std::string("the table behind the five reception tables was written");
        return {};
    }

    struct TableBlock {
        std::array<ReceptionTable, kTableControllers> live{};
        ReceptionTable spare{};
    };

    CDataCommon m_store;
    platform::SemaphoreLock m_lock;
    TableBlock m_tables;
    std::vector<test::LogLine> m_lines;
    test::RecordingOwner m_owner;
    CReplyAnalysis m_analysis;
    std::vector<DeviceDirectoryEntry> m_directory;
    std::size_t m_checkedRecords = 0;
    std::set<std::string> m_distinct;
};

// Seed frames: what the devices send, built with the frame builders and the
// simulation responder, for the controllers and cameras the rig lists.
inline std::vector<std::string> AnalysisSeedFrames()
{
    std::vector<std::string> seeds;
    for (int a = 0; a < kSimulatedDevices; a += 7)
        seeds.push_back(BuildSimulatedNetworkReply(a));
    int counter = 1;
    for (int t = 0; t < kTableControllers; ++t)
        seeds.push_back(BuildSimulatedCameraTablePage(t, counter));

    NetworkInfoFields old;
    old.mac = QueuedMac(1);
    old.model = "ST-HUB80";
    old.version = "2.01";
    old.ip = "10..20.30";
    old.mask = "255.255.0.0";
    old.name = "abcdefgh";
    old.write = "off";
    seeds.push_back(BuildNetworkInfoReply(old));

    std::vector<CameraTableReplyRow> rows;
    for (int n = 85; n <= 112; ++n)
        rows.push_back({n, n % 3 ? DirectoryCameraMac(n % kDirectoryCameras) : "", n % 5 ? "10.0.0.1" : "", "c"});
    seeds.push_back(BuildCameraTableReply(DirectoryControllerMac(4), 4, rows));
    seeds.push_back(BuildCameraTableReply(DirectoryControllerMac(6), 1, rows));

    seeds.push_back(BuildAcknowledgement(DirectoryCameraMac(0), std::string("Setup done")));
    seeds.push_back(BuildRefusal(DirectoryControllerMac(2), std::string("Write protected")));
    seeds.push_back(BuildAcknowledgement(DirectoryControllerMac(5)));
    seeds.push_back(BuildNetworkInquiry());
    seeds.push_back(BuildCameraTableInquiry(2));
    return seeds;
}

}  // namespace korvo::fuzz
