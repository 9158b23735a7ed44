// The tool's one UDP socket: sends request frames to the devices by
// broadcast, runs the receive thread that logs every datagram and hands it to
// reply analysis, and holds the five camera table reception tables.
//
// Threads: construction, Open, the send operations, StartReceiving,
// StopReceiving, the reception table access and destruction belong to the
// owner's thread. ReceiveLoop runs on the receive thread, and so does reply
// analysis with every message it sends to the owner. The owner must stop the
// receive thread before it destroys the data store, and must not wait for
// the receive thread while it handles a message sent from it.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "model/DeviceRecord.h"
#include "platform/MessageTransport.h"
#include "platform/Socket.h"
#include "platform/Sync.h"
#include "protocol/ReplyAnalysis.h"

namespace korvo {

class CDataCommon;

// UDP port of the devices.
constexpr std::uint16_t kDevicePort = 52380;
// Socket send and receive buffer sizes.
constexpr int kSocketBufferSize = 204800;
// Largest datagram taken; the receive buffer holds one byte more for the
// terminating zero.
constexpr std::size_t kMaxDatagramSize = 204800;
constexpr int kTimeToLive = 64;
constexpr std::chrono::milliseconds kReceivePollTimeout{5};
constexpr std::chrono::milliseconds kStopReceivingWait{3000};

// Exit codes of the fatal socket failures.
enum UdpExitCode : int {
    kExitCreateSocket = 1,  // socket cannot be created
    kExitSocketOption = 2,  // broadcast, buffer size or receive timeout refused
    kExitTimeToLive = 3,    // time-to-live refused; also: no receive buffer
    kExitBindOrReceive = 4, // bind refused; receive failed other than by timeout
    kExitCloseSocket = 5,   // the receive thread could not close the socket
};

class CUdpClient {
public:
    // owner receives every notification and may be null (then nothing is
    // notified or stored); store and replyQueueLock are handed to reply
    // analysis. The socket stays closed until Open.
    CUdpClient(platform::MessageTarget* owner, CDataCommon* store, platform::SemaphoreLock* replyQueueLock);
    // Stops the receive thread (if running) and closes the socket.
    virtual ~CUdpClient();
    CUdpClient(const CUdpClient&) = delete;
    CUdpClient& operator=(const CUdpClient&) = delete;

    // Creates the socket (broadcast, 204800-byte buffers, 5 ms receive
    // timeout, time-to-live 64, bound to any interface and a free port) and
    // looks up the host address. A fatal failure is logged with category 12
    // and ends the process through platform::ExitProcess with a UdpExitCode.
    // Does nothing when the socket is open already.
    void Open();
    bool IsOpen() const;

    // Sends one frame (its bytes up to the first 0x00) to the destination
    // (255.255.255.255:52380). 0 on success. On failure logs
    // "Error : sendto\n" (category 12) and returns -1; the socket stays open,
    // so the exchange ends by its timeout like an unanswered request.
    int SendFrame(const std::string& frame);

    // The four requests. Each logs the frame with its category: 0
    // "[SND/NETINQ]", 1 "[SND/NETSET]", 2 "[SND/CAMINQ]", 3 "[SND/CAMSET]"
    // (after sending; a frame that could not be sent is logged as well).
    // With the simulation flag set the two inquiries are not sent: the frame
    // is logged, then UWM_SIMULATE_NETWORK_REPLIES or
    // UWM_SIMULATE_CAMTABLE_REPLY is posted to the owner, and 0 is returned.
    // Setting requests are always sent. Results as SendFrame.
    int SendNetworkInquiry(const std::string& frame);
    int SendNetworkSetting(const std::string& frame);
    int SendCameraTableInquiry(const std::string& frame);
    int SendCameraTableSetting(const std::string& frame);

    // Starts the receive thread (body: ReceiveLoop). False, and no thread,
    // when the socket is not open or a thread exists already.
    bool StartReceiving();
    // The receive thread's body: takes every datagram off the socket, logs
    // it (category 13, unless it contains "%") and analyses it, until a stop
    // is requested; then closes the socket. Called by StartReceiving's thread.
    void ReceiveLoop();
    // Asks the receive thread to end, wakes a waiting receive by shutting
    // the socket down, and waits up to 3000 ms. A thread that has not ended
    // by then is reported on standard error ("Wait TimeOut RcvThread\n") and
    // waited for until it ends, since it uses this object and the data
    // store. Returns at once when no thread exists.
    void StopReceiving();
    bool IsReceiving() const;

    // 1: inquiries are answered by the simulation responder (the owner does
    // it on the posted message) instead of being sent; 0: normal operation.
    void SetSimulationFlag(int flag) { m_simulation = flag; }
    int SimulationFlag() const { return m_simulation; }

    // Reception table k (controller directory index 0 to 4); nullptr for
    // any other k. Read it only while handling UWM_CAMTABLE_REPLY for k, or
    // while no camera table reply can arrive.
    const ReceptionTable* GetReceptionTable(int k) const;
    // Zeroes all five reception tables (on UWM_CLEAR_CAMTABLE_BUFFERS).
    void ClearReceptionTables();

    // The PC's own IPv4 address as dotted text, found by Open; empty when
    // the lookup failed.
    const std::string& HostAddress() const { return m_hostAddress; }
    // The local port the socket is bound to; 0 before Open.
    std::uint16_t LocalPort() const;

    // The client's reply analysis: the owner hands simulated replies to it
    // on its own thread (simulation responder).
    CReplyAnalysis& Analysis() { return m_analysis; }

    // Tests only: sends to ip:port instead of the broadcast address (for
    // example "127.0.0.1"). False, and no change, for a malformed address.
    bool SetDestinationForTesting(const std::string& ip, std::uint16_t port);
    // Tests only: runs one datagram through the same steps as a received one
    // (size check, zero termination, log, analysis) on the calling thread.
    // Datagrams too long for the receive buffer are dropped, as the receive
    // loop drops them. Do not use while the receive thread runs.
    void HandleDatagramForTesting(const std::string& datagram);

private:
    int SendLogged(const std::string& frame, int category, unsigned simulationMessage);
    void HandleDatagram(char* buffer, std::size_t length);
    void CloseSocketLocked();
    void FailOpen(const char* text, int exitCode);

    std::array<ReceptionTable, kTableControllers> m_receptionTables{};
    std::string m_hostAddress;
    int m_simulation = 0;
    mutable std::mutex m_socketMutex;  // guards the handle against close while sending
    std::atomic<platform::SocketHandle> m_socket{platform::kInvalidSocket};
    platform::Ipv4Endpoint m_destination{platform::Ipv4Endpoint::kLimitedBroadcast, kDevicePort};
    platform::Ipv4Endpoint m_localAddress{};  // bind address; then the last sender
    platform::MessageTarget* m_owner;
    std::thread m_receiveThread;
    int m_analysisSwitch = 1;
    std::atomic<int> m_stopRequest{0};

    std::mutex m_endMutex;
    std::condition_variable m_endCv;
    bool m_threadEnded = false;

    CReplyAnalysis m_analysis;
};

}  // namespace korvo
