#include "model/DataCommon.h"

#include <algorithm>
#include <cstdio>

#include "validation/Judge.h"

namespace korvo {

namespace {

void Cut(std::string& text, std::size_t width)
{
    if (text.size() > width)
        text.resize(width);
}

// Texts are kept within the widths of their fixed fields.
void FitRecord(DeviceRecord& record)
{
    Cut(record.name, kNameMax);
    Cut(record.mac, kMacLength);
    Cut(record.message, kMessageMax);
    Cut(record.version, kVersionMax);
    Cut(record.model, kModelMax);
}

void FitEntry(CameraTableEntry& entry)
{
    Cut(entry.name, kNameMax);
    Cut(entry.mac, kMacLength);
}

bool SameMac(const std::string& a, const std::string& b)
{
    CJudge judge;
    return judge.IsSameMacAddress(a, b) == kJudgeSameMacAddress;
}

bool Append(std::vector<DeviceRecord>& list, const DeviceRecord& record)
{
    if (list.size() >= kDeviceListMax)
        return false;
    DeviceRecord copy = record;
    FitRecord(copy);
    copy.index = static_cast<std::int32_t>(list.size());
    copy.pending = 0;
    list.push_back(std::move(copy));
    return true;
}

void Update(std::vector<DeviceRecord>& list, const DeviceRecord& record, int mode)
{
    if (record.index < 0 || static_cast<std::size_t>(record.index) >= list.size())
        return;
    switch (mode) {
    case 0:
        for (DeviceRecord& stored : list) {
            if (stored.index == record.index) {
                stored = record;
                FitRecord(stored);
                break;
            }
        }
        break;
    case 1: {
        DeviceRecord& stored = list[static_cast<std::size_t>(record.index)];
        stored.ip = record.ip;
        stored.mask = record.mask;
        stored.gateway = record.gateway;
        stored.name = record.name;
        Cut(stored.name, kNameMax);
        break;
    }
    case 2:
        list[static_cast<std::size_t>(record.index)].state = record.state;
        break;
    default:
        break;
    }
}

bool Find(const std::vector<DeviceRecord>& list, int index, DeviceRecord& out)
{
    for (const DeviceRecord& stored : list) {
        if (stored.index == index) {
            out = stored;
            return true;
        }
    }
    return false;
}

bool Has(const std::vector<DeviceRecord>& list, const DeviceRecord& record)
{
    return std::any_of(list.begin(), list.end(),
                       [&](const DeviceRecord& stored) { return SameMac(stored.mac, record.mac); });
}

void SetMessage(std::vector<DeviceRecord>& list, int index, const std::string& text)
{
    for (DeviceRecord& stored : list) {
        if (stored.index == index) {
            stored.message = text.substr(0, kMessageMax);
            return;
        }
    }
}

std::string Dotted(const Address4& address)
{
    char text[20];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", address[0], address[1], address[2], address[3]);
    return text;
}

void UsedAddresses(const std::vector<DeviceRecord>& list, std::size_t first, const Address4& host,
                   std::vector<std::string>& out)
{
    const std::size_t count = std::min(first, list.size());
    for (std::size_t i = 0; i < count; ++i) {
        std::string text = Dotted(list[i].ip);
        if (std::find(out.begin(), out.end(), text) == out.end())
            out.push_back(std::move(text));
    }
    out.push_back(Dotted(host));
}

bool ValidTable(int k)
{
    return k >= 0 && k < kTableControllers;
}

}  // namespace

CDataCommon::CDataCommon()
{
    m_replyQueue.reserve(kListReserve);
    m_cameras.reserve(kListReserve);
    m_controllers.reserve(kListReserve);
    m_directory.reserve(kListReserve);
    for (auto& table : m_cameraTables)
        table.reserve(kListReserve);
}

CDataCommon::~CDataCommon() = default;

// ---- reply queue ----

void CDataCommon::AppendToReplyQueue(const DeviceRecord& record)
{
    DeviceRecord copy = record;
    FitRecord(copy);
    copy.index = static_cast<std::int32_t>(m_replyQueue.size());
    m_replyQueue.push_back(std::move(copy));
}

void CDataCommon::ClearReplyQueue()
{
    m_replyQueue.clear();
}

void CDataCommon::CopyReplyQueue(std::vector<DeviceRecord>& out) const
{
    out = m_replyQueue;
}

void CDataCommon::ClearPendingFlag(int index)
{
    for (DeviceRecord& record : m_replyQueue) {
        if (record.index == index) {
            record.pending = 0;
            return;
        }
    }
}

std::size_t CDataCommon::ReplyQueueCount() const
{
    return m_replyQueue.size();
}

// ---- camera and controller lists ----

bool CDataCommon::AppendCamera(const DeviceRecord& record)
{
    return Append(m_cameras, record);
}

bool CDataCommon::AppendController(const DeviceRecord& record)
{
    return Append(m_controllers, record);
}

void CDataCommon::UpdateCamera(const DeviceRecord& record, int mode)
{
    Update(m_cameras, record, mode);
}

void CDataCommon::UpdateController(const DeviceRecord& record, int mode)
{
    Update(m_controllers, record, mode);
}

void CDataCommon::ClearCameras()
{
    m_cameras.clear();
}

void CDataCommon::ClearControllers()
{
    m_controllers.clear();
}

void CDataCommon::CopyCameras(std::vector<DeviceRecord>& out) const
{
    out = m_cameras;
}

void CDataCommon::CopyControllers(std::vector<DeviceRecord>& out) const
{
    out = m_controllers;
}

bool CDataCommon::FindCamera(int index, DeviceRecord& out) const
{
    return Find(m_cameras, index, out);
}

bool CDataCommon::FindController(int index, DeviceRecord& out) const
{
    return Find(m_controllers, index, out);
}

int CDataCommon::FindControllerIndex(const std::string& mac) const
{
    for (const DeviceRecord& stored : m_controllers) {
        if (SameMac(stored.mac, mac))
            return stored.index;
    }
    return -1;
}

bool CDataCommon::HasCamera(const DeviceRecord& record) const
{
    return Has(m_cameras, record);
}

bool CDataCommon::HasController(const DeviceRecord& record) const
{
    return Has(m_controllers, record);
}

void CDataCommon::SetCameraMessage(int index, const std::string& text)
{
    SetMessage(m_cameras, index, text);
}

void CDataCommon::SetControllerMessage(int index, const std::string& text)
{
    SetMessage(m_controllers, index, text);
}

std::size_t CDataCommon::CameraCount() const
{
    return m_cameras.size();
}

std::size_t CDataCommon::ControllerCount() const
{
    return m_controllers.size();
}

void CDataCommon::UsedCameraAddresses(std::vector<std::string>& out) const
{
    UsedAddresses(m_cameras, kCameraTableRows, m_hostAddress, out);
}

void CDataCommon::UsedControllerAddresses(std::vector<std::string>& out) const
{
    UsedAddresses(m_controllers, kTableControllers, m_hostAddress, out);
}

// ---- device directory ----

void CDataCommon::FilterDirectory(int kind)
{
    if (kind == 0) {
        m_directory.clear();
    } else if (kind == 1) {
        std::vector<DeviceDirectoryEntry> kept;
        kept.reserve(kListReserve);
        for (const DeviceDirectoryEntry& entry : m_directory) {
            if (entry.model != "IPCARD")
                kept.push_back(entry);
        }
        m_directory = std::move(kept);
    }
}

void CDataCommon::AddToDirectory(const DeviceRecord& record)
{
    for (const DeviceDirectoryEntry& entry : m_directory) {
        if (SameMac(entry.mac, record.mac))
            return;
    }
    DeviceDirectoryEntry entry;
    entry.index = record.index;
    entry.model = record.model.substr(0, kModelMax);
    entry.mac = record.mac.substr(0, kMacLength);
    m_directory.push_back(std::move(entry));
}

bool CDataCommon::FindDirectoryEntry(const std::string& mac, DeviceDirectoryEntry& out) const
{
    for (const DeviceDirectoryEntry& entry : m_directory) {
        if (SameMac(entry.mac, mac)) {
            out = entry;
            return true;
        }
    }
    return false;
}

void CDataCommon::CopyDirectory(std::vector<DeviceDirectoryEntry>& out) const
{
    out = m_directory;
}

std::size_t CDataCommon::DirectoryCount() const
{
    return m_directory.size();
}

// ---- camera tables ----

void CDataCommon::ClearCameraTable(int k)
{
    if (ValidTable(k))
        m_cameraTables[static_cast<std::size_t>(k)].clear();
}

bool CDataCommon::StoreCameraTable(std::span<const CameraTableEntry> rows, int k)
{
    if (!ValidTable(k) || rows.size() != static_cast<std::size_t>(kCameraTableRows))
        return false;
    auto& table = m_cameraTables[static_cast<std::size_t>(k)];
    table.clear();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        CameraTableEntry entry = rows[i];
        FitEntry(entry);
        entry.tableIndex = static_cast<std::int32_t>(i);
        entry.flag = 0;
        table.push_back(std::move(entry));
    }
    return true;
}

void CDataCommon::CopyCameraTable(int k, std::vector<CameraTableEntry>& out) const
{
    if (ValidTable(k))
        out = m_cameraTables[static_cast<std::size_t>(k)];
    else
        out.clear();
}

DeviceStatus CDataCommon::CameraTableRowState(int k, int tableIndex) const
{
    if (!ValidTable(k) || tableIndex < 0)
        return 0;
    const auto& table = m_cameraTables[static_cast<std::size_t>(k)];
    if (static_cast<std::size_t>(tableIndex) >= table.size())
        return 0;
    return table[static_cast<std::size_t>(tableIndex)].state;
}

std::size_t CDataCommon::CameraTableRowCount(int k) const
{
    return ValidTable(k) ? m_cameraTables[static_cast<std::size_t>(k)].size() : 0;
}

void CDataCommon::SetCameraTableMessage(int k, const std::string& text)
{
    if (ValidTable(k))
        m_cameraTableMessages[static_cast<std::size_t>(k)] = text.substr(0, kMessageMax);
}

std::string CDataCommon::CameraTableMessage(int k) const
{
    return ValidTable(k) ? m_cameraTableMessages[static_cast<std::size_t>(k)] : std::string();
}

// ---- host address ----

void CDataCommon::SetHostAddress(const Address4& address)
{
    m_hostAddress = address;
}

Address4 CDataCommon::HostAddress() const
{
    return m_hostAddress;
}

}  // namespace korvo
