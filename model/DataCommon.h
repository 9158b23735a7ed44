// The one store of everything known about the devices: the reply queue of
// received network information replies, the camera list, the controller
// list, the device directory, the stored camera tables of controllers 0 to 4
// with their last setting messages, and the PC's own address.
//
// Threads: the reply queue and the device directory are shared with the
// receive thread. Every call marked [lock] must be made while holding the
// owner's reply queue lock (platform::SemaphoreLock); the store does not take
// it itself. Everything else belongs to the user-interface thread only.
//
// The store validates nothing; callers check values before storing. Texts are
// cut to their field widths when they are stored: names 8, MAC addresses 17,
// versions 15, models 31 and messages 1023 characters (longer texts keep
// their first characters).
#pragma once

#include <array>
#include <span>
#include <string>
#include <vector>

#include "model/DeviceRecord.h"

namespace korvo {

// Each device list takes at most this many records.
constexpr std::size_t kDeviceListMax = 255;
// Capacity reserved for every list at construction.
constexpr std::size_t kListReserve = 256;

class CDataCommon {
public:
    CDataCommon();
    virtual ~CDataCommon();
    CDataCommon(const CDataCommon&) = delete;
    CDataCommon& operator=(const CDataCommon&) = delete;

    // ---- reply queue [lock] ----
    // Copies the record, sets its index to the current record count, appends.
    void AppendToReplyQueue(const DeviceRecord& record);
    void ClearReplyQueue();
    // Replaces out's content by a copy of the reply queue.
    void CopyReplyQueue(std::vector<DeviceRecord>& out) const;
    // Sets the pending flag of the queue record whose index is index to 0;
    // nothing when there is none.
    void ClearPendingFlag(int index);
    std::size_t ReplyQueueCount() const;

    // ---- camera and controller lists ----
    // Copies the record, sets its index to the current count and pending to 0,
    // appends. Returns false (and stores nothing) when the list already holds
    // kDeviceListMax records.
    bool AppendCamera(const DeviceRecord& record);
    bool AppendController(const DeviceRecord& record);
    // Nothing when record.index is negative or not below the count. Mode 0:
    // replaces the record with that index; 1: copies IP address, subnet mask,
    // gateway and name into it; 2: copies the state; other modes: nothing.
    void UpdateCamera(const DeviceRecord& record, int mode);
    void UpdateController(const DeviceRecord& record, int mode);
    void ClearCameras();
    void ClearControllers();
    void CopyCameras(std::vector<DeviceRecord>& out) const;
    void CopyControllers(std::vector<DeviceRecord>& out) const;
    // Copies the first record whose index equals index; false when none.
    bool FindCamera(int index, DeviceRecord& out) const;
    bool FindController(int index, DeviceRecord& out) const;
    // Index of the first controller with that MAC address (any case), else -1.
    int FindControllerIndex(const std::string& mac) const;
    // True when a device with the record's MAC address (any case) is listed.
    bool HasCamera(const DeviceRecord& record) const;
    bool HasController(const DeviceRecord& record) const;
    // Copies text (cut to 1023 characters) into the message of the first
    // record whose index equals index.
    void SetCameraMessage(int index, const std::string& text);
    void SetControllerMessage(int index, const std::string& text);
    std::size_t CameraCount() const;
    std::size_t ControllerCount() const;
    // Appends "%d.%d.%d.%d" of each of the first 112 cameras (first 5
    // controllers) that out does not hold yet, then the host address without
    // that check.
    void UsedCameraAddresses(std::vector<std::string>& out) const;
    void UsedControllerAddresses(std::vector<std::string>& out) const;

    // ---- device directory [lock] ----
    // kind 0: empties it; kind 1: removes the "IPCARD" entries, keeps the
    // others in order; other kinds: nothing.
    void FilterDirectory(int kind);
    // Appends {index, model, MAC} unless an entry has that MAC address.
    void AddToDirectory(const DeviceRecord& record);
    // Copies the first entry whose MAC address matches (any case).
    bool FindDirectoryEntry(const std::string& mac, DeviceDirectoryEntry& out) const;
    void CopyDirectory(std::vector<DeviceDirectoryEntry>& out) const;
    std::size_t DirectoryCount() const;

    // ---- camera tables (k = controller index 0 to 4; others: nothing,
    //      empty or 0) ----
    void ClearCameraTable(int k);
    // Empties table k, then appends the rows in order with table index 0 to
    // 111 and flag 0. Only a span of exactly 112 rows is stored; any other
    // size, or k outside 0 to 4, changes nothing and returns false.
    bool StoreCameraTable(std::span<const CameraTableEntry> rows, int k);
    void CopyCameraTable(int k, std::vector<CameraTableEntry>& out) const;
    // State of row tableIndex of table k; 0 when there is no such row.
    DeviceStatus CameraTableRowState(int k, int tableIndex) const;
    std::size_t CameraTableRowCount(int k) const;
    // Replaces the message of controller k (cut to 1023 characters).
    void SetCameraTableMessage(int k, const std::string& text);
    std::string CameraTableMessage(int k) const;

    // ---- host address ----
    void SetHostAddress(const Address4& address);
    Address4 HostAddress() const;

private:
    std::vector<DeviceRecord> m_replyQueue;
    std::vector<DeviceRecord> m_cameras;
    std::vector<DeviceRecord> m_controllers;
    std::array<std::vector<CameraTableEntry>, kTableControllers> m_cameraTables;
    std::array<std::string, kTableControllers> m_cameraTableMessages;
    std::vector<DeviceDirectoryEntry> m_directory;
    Address4 m_hostAddress{};
};

}  // namespace korvo
