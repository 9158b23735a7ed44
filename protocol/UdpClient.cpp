#include "protocol/UdpClient.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "files/DiagLog.h"
#include "mainwindow/Messages.h"
#include "platform/ProcessExit.h"

namespace korvo {

namespace {

constexpr const char* kUnit = "UdpClient";

}  // namespace

CUdpClient::CUdpClient(platform::MessageTarget* owner, CDataCommon* store, platform::SemaphoreLock* replyQueueLock)
    : m_owner(owner), m_analysis(owner, store, replyQueueLock, &m_receptionTables)
{
}

CUdpClient::~CUdpClient()
{
    StopReceiving();
    std::lock_guard<std::mutex> guard(m_socketMutex);
    CloseSocketLocked();
}

void CUdpClient::CloseSocketLocked()
{
    platform::SocketHandle socket = m_socket.exchange(platform::kInvalidSocket);
    if (socket != platform::kInvalidSocket)
        platform::CloseSocket(socket);
}

void CUdpClient::FailOpen(const char* text, int exitCode)
{
    WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kNetworkErr), "%s", text);
    {
        std::lock_guard<std::mutex> guard(m_socketMutex);
        CloseSocketLocked();
    }
    platform::SocketLibraryCleanup();
    platform::ExitProcess(exitCode);
}

void CUdpClient::Open()
{
    if (IsOpen())
        return;
    if (!platform::SocketLibraryStartup())
        return;

    platform::SocketHandle socket = platform::CreateDatagramSocket();
    if (socket == platform::kInvalidSocket) {
        WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kNetworkErr), "Error : Create Socket");
        platform::SocketLibraryCleanup();
        platform::ExitProcess(kExitCreateSocket);
        return;
    }
    m_socket = socket;

    if (!platform::SetBroadcast(socket, true) || !platform::SetReceiveBufferSize(socket, kSocketBufferSize) ||
        !platform::SetSendBufferSize(socket, kSocketBufferSize) ||
        !platform::SetReceiveTimeout(socket, kReceivePollTimeout)) {
        FailOpen("Error : Set Socket Option", kExitSocketOption);
        return;
    }
    if (!platform::SetTimeToLive(socket, kTimeToLive)) {
        FailOpen("Error : Set Socket Option TTL", kExitTimeToLive);
        return;
    }
    m_localAddress = platform::Ipv4Endpoint{platform::Ipv4Endpoint::kAny, 0};
    if (!platform::BindAny(socket, 0)) {
        FailOpen("Error : Bind", kExitBindOrReceive);
        return;
    }

    platform::HostLookupResult host = platform::LookUpHostAddress();
    switch (host.status) {
    case platform::HostLookupStatus::kFound:
        m_hostAddress = host.address;
        break;
    case platform::HostLookupStatus::kNoHostName:
        WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kNetworkErr), "Error : get hostname error");
        break;
    case platform::HostLookupStatus::kNotResolvable:
        WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kNetworkErr), "Error : get host infomation error");
        break;
    case platform::HostLookupStatus::kNoAddress:
        WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kNetworkErr), "Error : get host ip address error");
        break;
    }
    platform::SocketLibraryCleanup();
}

bool CUdpClient::IsOpen() const { return m_socket.load() != platform::kInvalidSocket; }

std::uint16_t CUdpClient::LocalPort() const
{
    std::lock_guard<std::mutex> guard(m_socketMutex);
    platform::Ipv4Endpoint local;
    if (m_socket.load() == platform::kInvalidSocket || !platform::LocalEndpoint(m_socket.load(), local))
        return 0;
    return local.port;
}

int CUdpClient::SendFrame(const std::string& frame)
{
    // The frame is a text: its bytes up to the first 0x00.
    std::size_t length = std::strlen(frame.c_str());
    long sent;
    {
        std::lock_guard<std::mutex> guard(m_socketMutex);
        sent = platform::SendTo(m_socket.load(), frame.data(), length, m_destination);
    }
    if (sent < 0 || static_cast<std::size_t>(sent) != length) {
        WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kNetworkErr), "Error : sendto\n");
        return -1;
    }
    return 0;
}

int CUdpClient::SendLogged(const std::string& frame, int category, unsigned simulationMessage)
{
    if (m_simulation == 1 && simulationMessage != 0) {
        WriteDiagnostic(KORVO_WHERE(kUnit, category), "%s", frame.c_str());
        if (m_owner)
            m_owner->Post(simulationMessage, 0, 0);
        return 0;
    }
    int result = SendFrame(frame);
    WriteDiagnostic(KORVO_WHERE(kUnit, category), "%s", frame.c_str());
    return result;
}

int CUdpClient::SendNetworkInquiry(const std::string& frame)
{
    return SendLogged(frame, CRLog::kSndNetInq, UWM_SIMULATE_NETWORK_REPLIES);
}

int CUdpClient::SendNetworkSetting(const std::string& frame) { return SendLogged(frame, CRLog::kSndNetSet, 0); }

int CUdpClient::SendCameraTableInquiry(const std::string& frame)
{
    return SendLogged(frame, CRLog::kSndCamInq, UWM_SIMULATE_CAMTABLE_REPLY);
}

int CUdpClient::SendCameraTableSetting(const std::string& frame) { return SendLogged(frame, CRLog::kSndCamSet, 0); }

bool CUdpClient::StartReceiving()
{
    if (m_receiveThread.joinable() || !IsOpen())
        return false;
    {
        std::lock_guard<std::mutex> guard(m_endMutex);
        m_threadEnded = false;
    }
    m_stopRequest = 0;
    m_receiveThread = std::thread([this] { ReceiveLoop(); });
    return true;
}

bool CUdpClient::IsReceiving() const { return m_receiveThread.joinable(); }

void CUdpClient::HandleDatagram(char* buffer, std::size_t length)
{
    if (length == 0 || length > kMaxDatagramSize)
        return;
    buffer[length] = '\0';
    // The datagram is a text that ends at its first 0x00 byte.
    std::string text(buffer, ::strnlen(buffer, length));
    if (text.find('%') == std::string::npos)
        WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kReceive), "%s", text.c_str());
    if (m_analysisSwitch == 1)
        m_analysis.AnalyzeReply(text);
    std::memset(buffer, 0, length + 1);
}

void CUdpClient::HandleDatagramForTesting(const std::string& datagram)
{
    if (datagram.size() > kMaxDatagramSize)
        return;
    std::unique_ptr<char[]> buffer(new char[kMaxDatagramSize + 1]());
    std::memcpy(buffer.get(), datagram.data(), datagram.size());
    HandleDatagram(buffer.get(), datagram.size());
}

void CUdpClient::ReceiveLoop()
{
    struct EndSignal {
        CUdpClient* self;
        ~EndSignal()
        {
            std::lock_guard<std::mutex> guard(self->m_endMutex);
            self->m_threadEnded = true;
            self->m_endCv.notify_all();
        }
    } endSignal{this};

    // One buffer for the thread's life, one byte more than the largest
    // datagram for the terminating zero.
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kMaxDatagramSize + 1]);
    if (!buffer) {
        platform::ExitProcess(kExitTimeToLive);
        return;
    }
    std::memset(buffer.get(), 0, kMaxDatagramSize + 1);

    while (m_stopRequest.load() != 1) {
        std::size_t received = 0;
        platform::ReceiveStatus status =
            platform::ReceiveFrom(m_socket.load(), buffer.get(), kMaxDatagramSize, received, m_localAddress);
        switch (status) {
        case platform::ReceiveStatus::kData:
            HandleDatagram(buffer.get(), received);
            break;
        case platform::ReceiveStatus::kTimeout:
        case platform::ReceiveStatus::kShutDown:
            break;
        case platform::ReceiveStatus::kTruncated:
            // Longer than the largest datagram taken: dropped whole.
            std::memset(buffer.get(), 0, kMaxDatagramSize + 1);
            break;
        case platform::ReceiveStatus::kError:
            if (m_stopRequest.load() == 1)
                break;  // the socket was shut down to end the loop
            WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kNetworkErr), "Error : recvfrom\n");
            {
                std::lock_guard<std::mutex> guard(m_socketMutex);
                CloseSocketLocked();
            }
            platform::ExitProcess(kExitBindOrReceive);
            return;
        }
    }

    bool closed = true;
    {
        std::lock_guard<std::mutex> guard(m_socketMutex);
        platform::SocketHandle socket = m_socket.exchange(platform::kInvalidSocket);
        if (socket != platform::kInvalidSocket)
            closed = platform::CloseSocket(socket);
    }
    if (!closed) {
        WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kSymptom), "Error : Close Socket\n");
        platform::ExitProcess(kExitCloseSocket);
        return;
    }
    m_stopRequest = 0;
}

void CUdpClient::StopReceiving()
{
    if (!m_receiveThread.joinable())
        return;
    m_stopRequest = 1;
    {
        std::lock_guard<std::mutex> guard(m_socketMutex);
        if (m_socket.load() != platform::kInvalidSocket)
            platform::ShutdownSocket(m_socket.load());
    }
    bool ended;
    {
        std::unique_lock<std::mutex> lock(m_endMutex);
        ended = m_endCv.wait_for(lock, kStopReceivingWait, [this] { return m_threadEnded; });
    }
    if (!ended) {
        // There is no safe way to stop a thread from outside; it still uses
        // this object and the data store, so it is waited for.
        std::fputs("Wait TimeOut RcvThread\n", stderr);
        std::fflush(stderr);
    }
    m_receiveThread.join();
}

const ReceptionTable* CUdpClient::GetReceptionTable(int k) const
{
    if (k < 0 || k >= kTableControllers)
        return nullptr;
    return &m_receptionTables[static_cast<std::size_t>(k)];
}

void CUdpClient::ClearReceptionTables()
{
    for (ReceptionTable& table : m_receptionTables)
        table.Clear();
}

bool CUdpClient::SetDestinationForTesting(const std::string& ip, std::uint16_t port)
{
    std::uint32_t address = 0;
    if (!platform::Ipv4Endpoint::ParseAddress(ip, address))
        return false;
    std::lock_guard<std::mutex> guard(m_socketMutex);
    m_destination = platform::Ipv4Endpoint{address, port};
    return true;
}

}  // namespace korvo
