// Analysis of the texts received from the devices: network information
// replies go into the data store's reply queue, camera table replies into the
// reception tables, acknowledgements and refusals are handed to the owner
// window together with the device directory entry they concern.
//
// Runs on the receive thread (and, for simulated replies, on the owner's
// thread). The owner is told only through messages:
//   UWM_GET_REPLY_QUEUE  sent   wParam = std::vector<DeviceRecord>* to fill with a
//                                copy of the reply queue, lParam = 0; sent at the
//                                start of every network information analysis
//   UWM_NETWORK_INFO     posted (0, 0) after a record was appended
//   UWM_CAMTABLE_REPLY   sent   wParam = controller index k (0 to 4), lParam = 0
//   UWM_ACK / UWM_NAK    sent   wParam = const DeviceDirectoryEntry* (a copy),
//                                lParam = const std::string* (the quoted message)
// The reply queue lock is taken only around the reply queue append and the
// device directory reads; it is never held while a message is sent, so the
// owner takes it itself while it copies the reply queue for
// UWM_GET_REPLY_QUEUE. The owner must not wait for the receive thread while
// handling the sent messages.
// Without an owner nothing is sent, posted or stored.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "model/DeviceRecord.h"
#include "platform/MessageTransport.h"
#include "platform/Sync.h"

namespace korvo {

class CDataCommon;

// Result codes of AnalyzeNetworkInfo and AnalyzeCameraTable (written to the
// diagnostic log only).
enum ReplyResult : int {
    kReplyAccepted = 0,
    kReplyBadMac = 1,          // "MAC:" missing / not 17 characters / queue full; camera table: no "MAC:" or no owner
    kReplyBadModel = 2,
    kReplyBadVersion = 3,
    kReplyBadIpAddress = 4,
    kReplyBadMask = 5,
    kReplyBadGateway = 6,
    kReplyBadName = 7,
    kReplyBadWrite = 8,
    kReplyBadRowNumber = 9,    // fewer than 28 rows, a number not 3 characters, or not 1 to 112
    kReplyBadTableMac = 10,    // controller MAC / directory / index 5 or more / row MAC
    kReplyBadRowIp = 11,
    kReplyBadRowName = 12,
};

// Number of distinct devices the reply queue takes.
constexpr std::size_t kReplyQueueDevices = 256;
// Rows carried by one camera table reply.
constexpr int kRowsPerPage = 28;

class CReplyAnalysis {
public:
    // Any pointer may be null: without an owner (or without a store) nothing
    // is stored or sent; without a lock the store is used unguarded (tests);
    // without reception tables camera table replies fail with result 1.
    CReplyAnalysis(platform::MessageTarget* owner, CDataCommon* store, platform::SemaphoreLock* replyQueueLock,
                   std::array<ReceptionTable, kTableControllers>* receptionTables);

    // Entry point for every received text. The text is taken up to its first
    // 0x00 byte.
    void AnalyzeReply(const std::string& text);
    // Each returns a ReplyResult; all of them also stop at the first 0x00.
    int AnalyzeNetworkInfo(const std::string& text);
    int AnalyzeCameraTable(const std::string& text);
    // Always 0.
    int AnalyzeAcknowledgement(const std::string& text);
    int AnalyzeRefusal(const std::string& text);

private:
    int AnalyzeAnswer(std::string_view text, unsigned message);
    // Copy of the first directory entry with this MAC address, under the lock.
    bool FindDirectoryEntry(const std::string& mac, DeviceDirectoryEntry& entry);

    platform::MessageTarget* m_owner;
    CDataCommon* m_store;
    platform::SemaphoreLock* m_lock;
    std::array<ReceptionTable, kTableControllers>* m_tables;
};

}  // namespace korvo
