// CUdpClient on loopback: every datagram goes to 127.0.0.1 (the destination
// is injected), nothing is broadcast.
#include "protocol/UdpClient.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cctype>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "files/DiagLog.h"
#include "mainwindow/Messages.h"
#include "model/DataCommon.h"
#include "platform/DirectMessageTarget.h"
#include "platform/ProcessExit.h"
#include "platform/Socket.h"
#include "protocol/Frames.h"

using namespace std::chrono_literals;

namespace korvo {
namespace {

// ---- diagnostic log capture: one listener for the whole test program ----

struct LogEntry {
    int category;
    std::string text;
    std::string unit;
};

class LogStore {
public:
    void Add(LogEntry entry)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_entries.push_back(std::move(entry));
    }
    std::vector<LogEntry> Entries() const
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_entries;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_entries.clear();
    }
    // Texts of one category; long texts arrive in pieces, which are joined.
    std::vector<std::string> Texts(int category) const
    {
        std::vector<std::string> texts;
        for (const LogEntry& e : Entries())
            if (e.category == category)
                texts.push_back(e.text);
        return texts;
    }
    std::string Joined(int category) const
    {
        std::string all;
        for (const std::string& t : Texts(category))
            all += t;
        return all;
    }
    std::function<void(const LogEntry&)> onAdd;

private:
    mutable std::mutex m_mutex;
    std::vector<LogEntry> m_entries;
};

class StoreListener : public CRLog::Listener {
public:
    explicit StoreListener(LogStore* store) : m_store(store) {}
    void Log(int category, const std::string& text, const char* unit, int) override
    {
        if (m_store->onAdd)
            m_store->onAdd(LogEntry{category, text, unit ? unit : ""});
        m_store->Add(LogEntry{category, text, unit ? unit : ""});
    }

private:
    LogStore* m_store;
};

LogStore& Log()
{
    static LogStore* store = [] {
        auto* s = new LogStore();
        CRLog::AddListener(std::make_unique<StoreListener>(s));
        return s;
    }();
    return *store;
}

// ---- owner: answers the reply queue request, records what it is sent ----

class Owner : public platform::MessageHandler {
public:
    Owner(CDataCommon* store, platform::SemaphoreLock* lock) : m_store(store), m_lock(lock) {}

    platform::LResult HandleMessage(unsigned message, platform::WParam wParam, platform::LParam) override
    {
        if (message == UWM_GET_REPLY_QUEUE) {
            if (blockReplyQueueRequest.count() > 0)
                std::this_thread::sleep_for(blockReplyQueueRequest);
            std::lock_guard<platform::SemaphoreLock> guard(*m_lock);
            m_store->CopyReplyQueue(*reinterpret_cast<std::vector<DeviceRecord>*>(wParam));
        }
        std::lock_guard<std::mutex> guard(m_mutex);
        m_messages.push_back({message, wParam, std::this_thread::get_id()});
        return 0;
    }

    struct Received {
        unsigned message;
        platform::WParam wParam;
        std::thread::id thread;
    };
    std::vector<Received> Messages() const
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_messages;
    }

    std::chrono::milliseconds blockReplyQueueRequest{0};

private:
    CDataCommon* m_store;
    platform::SemaphoreLock* m_lock;
    mutable std::mutex m_mutex;
    std::vector<Received> m_messages;
};

// A loopback peer that plays the devices.
class Peer {
public:
    Peer()
    {
        m_socket = platform::CreateDatagramSocket();
        EXPECT_NE(m_socket, platform::kInvalidSocket);
        EXPECT_TRUE(platform::SetSendBufferSize(m_socket, 262144));
        EXPECT_TRUE(platform::SetReceiveBufferSize(m_socket, 262144));
        EXPECT_TRUE(platform::BindAny(m_socket, 0));
        platform::Ipv4Endpoint local;
        EXPECT_TRUE(platform::LocalEndpoint(m_socket, local));
        port = local.port;
    }
    ~Peer() { platform::CloseSocket(m_socket); }

    bool SendTo(std::uint16_t toPort, const std::string& bytes)
    {
        return platform::SendTo(m_socket, bytes.data(), bytes.size(),
                                platform::Ipv4Endpoint{platform::Ipv4Endpoint::kLoopback, toPort}) ==
               static_cast<long>(bytes.size());
    }
    std::optional<std::string> Receive(std::chrono::milliseconds timeout)
    {
        if (platform::WaitReadable(m_socket, timeout) != 1)
            return std::nullopt;
        std::string buffer(65536, '\0');
        std::size_t got = 0;
        platform::Ipv4Endpoint from;
        if (platform::ReceiveFrom(m_socket, buffer.data(), buffer.size(), got, from) != platform::ReceiveStatus::kData)
            return std::nullopt;
        buffer.resize(got);
        return buffer;
    }

    std::uint16_t port = 0;

private:
    platform::SocketHandle m_socket = platform::kInvalidSocket;
};

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 3000ms)
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition())
            return true;
        std::this_thread::sleep_for(2ms);
    }
    return condition();
}

std::string CameraReply(const std::string& mac = "02-4B-56-00-00-01")
{
    NetworkInfoFields f;
    f.mac = mac;
    f.model = "IPCARD";
    f.version = "2.10";
    f.ip = "192.168.1.11";
    f.mask = "255.255.255.0";
    f.name = "cam1";
    f.write = "on";
    f.gateway = "192.168.1.1";
    return BuildNetworkInfoReply(f);
}

class UdpClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Log().Clear();
        client = std::make_unique<CUdpClient>(&target, &store, &lock);
        client->Open();
        ASSERT_TRUE(client->IsOpen());
        ASSERT_TRUE(client->SetDestinationForTesting("127.0.0.1", peer.port));
    }
    void TearDown() override { client.reset(); }

    std::size_t QueueCount()
    {
        std::lock_guard<platform::SemaphoreLock> guard(lock);
        return store.ReplyQueueCount();
    }

    CDataCommon store;
    platform::SemaphoreLock lock;
    Owner owner{&store, &lock};
    platform::DirectMessageTarget target{&owner};
    Peer peer;
    std::unique_ptr<CUdpClient> client;
};

// ---- sending ----

TEST_F(UdpClientTest, EverySendOperationSendsTheFrameAndLogsItWithItsCategory)
{
    struct Case {
        const char* what;
        int (CUdpClient::*send)(const std::string&);
        int category;
        std::string frame;
    };
    const std::vector<Case> cases = {
        {"network inquiry", &CUdpClient::SendNetworkInquiry, CRLog::kSndNetInq, BuildNetworkInquiry()},
        {"network setting", &CUdpClient::SendNetworkSetting, CRLog::kSndNetSet,
         BuildNetworkSetting("02-4B-56-00-00-01", "192.168.1.50", "255.255.255.0", "192.168.1.1", "50%off")},
        {"camera table inquiry", &CUdpClient::SendCameraTableInquiry, CRLog::kSndCamInq, BuildCameraTableInquiry(3)},
        {"camera table setting", &CUdpClient::SendCameraTableSetting, CRLog::kSndCamSet,
         BuildCameraTableSettings("02-4B-56-01-00-01", {{4, "02-4B-56-00-00-05", "192.168.1.15", "cam5"}}).at(0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Log().Clear();
        EXPECT_EQ((client.get()->*c.send)(c.frame), 0);
        EXPECT_EQ(peer.Receive(2000ms), c.frame);
        auto entries = Log().Entries();
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].category, c.category);
        EXPECT_EQ(entries[0].text, c.frame);  // "%" passes through unchanged
        EXPECT_EQ(entries[0].unit, "UdpClient");
    }
    EXPECT_TRUE(target.Posted().empty());
}

TEST_F(UdpClientTest, SimulationPostsForInquiriesAndSendsNothingButSettingsStillGoOut)
{
    client->SetSimulationFlag(1);
    // The frame must be logged before the owner hears of it.
    std::vector<std::size_t> postedAtLog;
    Log().onAdd = [&](const LogEntry&) { postedAtLog.push_back(target.Posted().size()); };

    EXPECT_EQ(client->SendNetworkInquiry(BuildNetworkInquiry()), 0);
    EXPECT_EQ(client->SendCameraTableInquiry(BuildCameraTableInquiry(1)), 0);
    Log().onAdd = nullptr;

    EXPECT_EQ(target.Posted(), (std::vector<platform::QueuedMessage>{{UWM_SIMULATE_NETWORK_REPLIES, 0, 0},
                                                                     {UWM_SIMULATE_CAMTABLE_REPLY, 0, 0}}));
    EXPECT_EQ(postedAtLog, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(Log().Texts(CRLog::kSndNetInq), std::vector<std::string>{BuildNetworkInquiry()});
    EXPECT_EQ(Log().Texts(CRLog::kSndCamInq), std::vector<std::string>{BuildCameraTableInquiry(1)});
    EXPECT_EQ(peer.Receive(300ms), std::nullopt) << "an inquiry went on the network in simulation";

    const std::string setting = BuildNetworkSetting("02-4B-56-00-00-01", "192.168.1.50", "255.255.255.0",
                                                    "192.168.1.1", "cam50");
    EXPECT_EQ(client->SendNetworkSetting(setting), 0);
    EXPECT_EQ(peer.Receive(2000ms), setting);
    EXPECT_EQ(target.Posted().size(), 2u);
}

TEST_F(UdpClientTest, SimulationWithoutOwnerOnlyLogs)
{
    CUdpClient alone(nullptr, &store, &lock);
    alone.Open();
    ASSERT_TRUE(alone.SetDestinationForTesting("127.0.0.1", peer.port));
    alone.SetSimulationFlag(1);
    EXPECT_EQ(alone.SendNetworkInquiry(BuildNetworkInquiry()), 0);
    EXPECT_EQ(Log().Texts(CRLog::kSndNetInq).size(), 1u);
    EXPECT_EQ(peer.Receive(200ms), std::nullopt);
}

TEST_F(UdpClientTest, SendAfterTheSocketIsClosedFailsAndLogsButDoesNotEndTheProcess)
{
    ASSERT_TRUE(client->StartReceiving());
    client->StopReceiving();  // the receive thread closes the socket
    ASSERT_FALSE(client->IsOpen());
    Log().Clear();
    EXPECT_EQ(client->SendNetworkSetting(BuildNetworkSetting("02-4B-56-00-00-01", "1.2.3.4", "255.0.0.0",
                                                             "0.0.0.0", "x")),
              -1);
    auto entries = Log().Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].category, CRLog::kNetworkErr);
    EXPECT_EQ(entries[0].text, "Error : sendto\n");
    EXPECT_EQ(entries[1].category, CRLog::kSndNetSet);  // the frame is logged all the same
}

TEST_F(UdpClientTest, MalformedTestDestinationIsRefused)
{
    EXPECT_FALSE(client->SetDestinationForTesting("127.0.0", 1));
    EXPECT_FALSE(client->SetDestinationForTesting("127.0.0.256", 1));
    EXPECT_EQ(client->SendFrame(BuildNetworkInquiry()), 0);
    EXPECT_EQ(peer.Receive(2000ms), BuildNetworkInquiry());  // still the earlier destination
}

// ---- receiving ----

TEST_F(UdpClientTest, ReceivedDatagramIsLoggedAndAnalysedOnTheReceiveThread)
{
    ASSERT_TRUE(client->StartReceiving());
    EXPECT_TRUE(client->IsReceiving());
    ASSERT_NE(client->LocalPort(), 0);
    const std::string reply = CameraReply();
    ASSERT_TRUE(peer.SendTo(client->LocalPort(), reply));
    ASSERT_TRUE(WaitUntil([&] { return QueueCount() == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return !target.Posted().empty(); }));
    EXPECT_EQ(target.Posted().front().message, static_cast<unsigned>(UWM_NETWORK_INFO));
    EXPECT_EQ(Log().Texts(CRLog::kReceive), std::vector<std::string>{reply});

    auto messages = owner.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0].message, static_cast<unsigned>(UWM_GET_REPLY_QUEUE));
    EXPECT_NE(messages[0].thread, std::this_thread::get_id());
}

TEST_F(UdpClientTest, TextEndsAtTheFirstZeroByteAndThePercentRuleLooksOnlyAtThatText)
{
    struct Case {
        const char* what;
        std::string datagram;
        std::string logged;  // empty: nothing logged
        std::size_t queued;  // reply queue records after it
    };
    const std::string reply = CameraReply();
    // A zero in place of the name's field end: the text ends after the
    // name, so the reply lacks "WRITE:" and is rejected.
    std::string cutName = reply;
    const std::size_t nameEnd = reply.find("NAME:cam1") + 9;
    cutName[nameEnd] = '\0';
    const std::vector<Case> cases = {
        {"tail after zero with percent", reply + std::string(1, '\0') + "100%", reply, 1},
        {"zero after the name", cutName, reply.substr(0, nameEnd), 0},
        {"percent before the zero", reply + "%" + std::string(1, '\0') + "x", "", 1},
    };
    ASSERT_TRUE(client->StartReceiving());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        {
            std::lock_guard<platform::SemaphoreLock> guard(lock);
            store.ClearReplyQueue();
        }
        Log().Clear();
        std::size_t before = owner.Messages().size();
        ASSERT_TRUE(peer.SendTo(client->LocalPort(), c.datagram));
        // Every network information analysis asks for the reply queue first.
        ASSERT_TRUE(WaitUntil([&] { return owner.Messages().size() > before; }));
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(QueueCount(), c.queued);
        if (c.logged.empty())
            EXPECT_TRUE(Log().Texts(CRLog::kReceive).empty());
        else
            EXPECT_EQ(Log().Texts(CRLog::kReceive), std::vector<std::string>{c.logged});
    }
}

TEST_F(UdpClientTest, LargestLoopbackDatagramPassesTheReceiveThread)
{
    // An IPv4 UDP datagram carries at most 65507 bytes.
    std::string datagram = CameraReply();
    datagram.resize(65507, 'x');
    ASSERT_TRUE(client->StartReceiving());
    ASSERT_TRUE(peer.SendTo(client->LocalPort(), datagram));
    ASSERT_TRUE(WaitUntil([&] { return QueueCount() == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return Log().Joined(CRLog::kReceive).size() == datagram.size(); }));
    EXPECT_EQ(Log().Joined(CRLog::kReceive), datagram);
}

TEST_F(UdpClientTest, BufferLimitIs204800BytesWithAndWithoutPercent)
{
    struct Case {
        const char* what;
        std::size_t size;
        char filler;
        bool logged;
        bool analysed;
    };
    const std::vector<Case> cases = {
        {"exactly 204800 bytes", 204800, 'x', true, true},
        {"exactly 204800 bytes holding %", 204800, '%', false, true},
        {"204801 bytes", 204801, 'x', false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        {
            std::lock_guard<platform::SemaphoreLock> guard(lock);
            store.ClearReplyQueue();
        }
        Log().Clear();
        std::string datagram = CameraReply();
        datagram.resize(c.size, c.filler);
        client->HandleDatagramForTesting(datagram);
        EXPECT_EQ(QueueCount(), c.analysed ? 1u : 0u);
        EXPECT_EQ(Log().Joined(CRLog::kReceive), c.logged ? datagram : std::string());
    }
}

TEST_F(UdpClientTest, CameraTableReplyFillsTheReceptionTableOfItsController)
{
    const std::string controllerMac = "02-4B-56-01-00-01";
    {
        DeviceRecord controller;
        controller.index = 0;
        controller.model = "CONTROLLER";
        controller.mac = controllerMac;
        std::lock_guard<platform::SemaphoreLock> guard(lock);
        store.AddToDirectory(controller);
    }
    std::vector<CameraTableReplyRow> rows;
    for (int n = 29; n <= 56; ++n)
        rows.push_back({n, n == 30 ? "" : "02-4B-56-00-00-1F", n == 30 ? "" : "10.0.0.9", n == 30 ? "" : "c"});
    ASSERT_TRUE(client->StartReceiving());
    ASSERT_TRUE(peer.SendTo(client->LocalPort(), BuildCameraTableReply(controllerMac, 2, rows)));
    ASSERT_TRUE(WaitUntil([&] {
        for (const auto& m : owner.Messages())
            if (m.message == UWM_CAMTABLE_REPLY)
                return true;
        return false;
    }));
    const ReceptionTable* table = client->GetReceptionTable(0);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->controllerMac, controllerMac);
    for (int i = 0; i < kCameraTableRows; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(table->rows[i].flag, (i >= 28 && i < 56) ? 1 : 0);
    }
    EXPECT_EQ(table->rows[28].number, 29);
    EXPECT_EQ(table->rows[28].mac, "02-4B-56-00-00-1F");
    EXPECT_EQ(table->rows[29].mac, "");
    EXPECT_EQ(client->GetReceptionTable(-1), nullptr);
    EXPECT_EQ(client->GetReceptionTable(5), nullptr);

    client->StopReceiving();
    client->ClearReceptionTables();
    for (int k = 0; k < kTableControllers; ++k) {
        const ReceptionTable* cleared = client->GetReceptionTable(k);
        EXPECT_EQ(cleared->controllerMac, "");
        for (const CameraTableEntry& row : cleared->rows)
            EXPECT_EQ(row, CameraTableEntry{});
    }
}

// ---- stopping ----

TEST_F(UdpClientTest, StopReceivingEndsTheThreadQuicklyAndClosesTheSocket)
{
    ASSERT_TRUE(client->StartReceiving());
    EXPECT_FALSE(client->StartReceiving());  // one thread only
    std::this_thread::sleep_for(30ms);
    auto start = std::chrono::steady_clock::now();
    client->StopReceiving();
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, 3000ms);
    EXPECT_FALSE(client->IsReceiving());
    EXPECT_FALSE(client->IsOpen());
    client->StopReceiving();  // no thread: returns at once
}

TEST_F(UdpClientTest, ThreadThatOverrunsTheStopWaitIsReportedAndWaitedFor)
{
    owner.blockReplyQueueRequest = 3500ms;  // the analysis hangs in the owner
    ASSERT_TRUE(client->StartReceiving());
    ASSERT_TRUE(peer.SendTo(client->LocalPort(), CameraReply()));
    ASSERT_TRUE(WaitUntil([&] { return !Log().Texts(CRLog::kRcvNetInq).empty(); }));
    testing::internal::CaptureStderr();
    auto start = std::chrono::steady_clock::now();
    client->StopReceiving();
    auto took = std::chrono::steady_clock::now() - start;
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Wait TimeOut RcvThread\n");
    EXPECT_GE(took, 3000ms);
    EXPECT_FALSE(client->IsReceiving());
    EXPECT_EQ(QueueCount(), 1u);  // the analysis finished, nothing was cut off
}

// ---- open ----

TEST_F(UdpClientTest, HostAddressIsNotALoopbackAddress)
{
    const std::string& host = client->HostAddress();
    if (host.empty()) {
        EXPECT_FALSE(Log().Texts(CRLog::kNetworkErr).empty());
    } else {
        std::uint32_t address = 0;
        ASSERT_TRUE(platform::Ipv4Endpoint::ParseAddress(host, address)) << host;
        EXPECT_NE(address >> 24, 127u) << host;
    }
}

// Makes every new file descriptor fail while it lives.
class NoFreeDescriptors {
public:
    NoFreeDescriptors()
    {
        getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit none = m_saved;
        none.rlim_cur = 0;
        setrlimit(RLIMIT_NOFILE, &none);
    }
    ~NoFreeDescriptors() { setrlimit(RLIMIT_NOFILE, &m_saved); }

private:
    rlimit m_saved{};
};

TEST_F(UdpClientTest, SocketThatCannotBeCreatedEndsTheProcessWithCode1)
{
    std::vector<int> codes;
    auto previous = platform::SetExitHandler([&](int code) { codes.push_back(code); });
    CUdpClient other(&target, &store, &lock);
    Log().Clear();
    {
        NoFreeDescriptors guard;
        other.Open();
    }
    platform::SetExitHandler(previous);
    EXPECT_EQ(codes, std::vector<int>{kExitCreateSocket});
    EXPECT_FALSE(other.IsOpen());
    EXPECT_FALSE(other.StartReceiving());
    auto entries = Log().Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].category, CRLog::kNetworkErr);
    EXPECT_EQ(entries[0].text, "Error : Create Socket");
}

// Records the exit codes asked for (from any thread) instead of ending the
// process, and clears any socket fault, while it lives.
class FatalFailures {
public:
    FatalFailures()
    {
        m_previous = platform::SetExitHandler([this](int code) {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_codes.push_back(code);
        });
    }
    ~FatalFailures()
    {
        platform::SetSocketFaultForTesting(platform::SocketFault::kNone);
        platform::SetExitHandler(m_previous);
    }
    std::vector<int> Codes() const
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_codes;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<int> m_codes;
    std::function<void(int)> m_previous;
};

struct OpenFailureCase {
    const char* what;
    platform::SocketFault fault;
    const char* text;
    int exitCode;  // 0: not fatal
};

class OpenFailures : public UdpClientTest, public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(OpenFailures, LogTheirTextAndEndWithTheirCode)
{
    const OpenFailureCase& c = GetParam();
    FatalFailures fatal;
    CUdpClient other(&target, &store, &lock);
    Log().Clear();
    platform::SetSocketFaultForTesting(c.fault);
    other.Open();
    platform::SetSocketFaultForTesting(platform::SocketFault::kNone);

    auto entries = Log().Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].category, CRLog::kNetworkErr);
    EXPECT_EQ(entries[0].text, c.text);
    EXPECT_EQ(entries[0].unit, "UdpClient");
    if (c.exitCode != 0) {
        EXPECT_EQ(fatal.Codes(), std::vector<int>{c.exitCode});
        EXPECT_FALSE(other.IsOpen()) << "the socket is closed before the end";
    } else {
        // A failed host lookup is not fatal: the client works without it.
        EXPECT_TRUE(fatal.Codes().empty());
        EXPECT_TRUE(other.IsOpen());
        EXPECT_EQ(other.HostAddress(), "");
        ASSERT_TRUE(other.SetDestinationForTesting("127.0.0.1", peer.port));
        EXPECT_EQ(other.SendFrame(BuildNetworkInquiry()), 0);
        EXPECT_EQ(peer.Receive(2000ms), BuildNetworkInquiry());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, OpenFailures,
    ::testing::Values(
        OpenFailureCase{"create", platform::SocketFault::kCreateSocket, "Error : Create Socket", 1},
        OpenFailureCase{"broadcast", platform::SocketFault::kSetBroadcast, "Error : Set Socket Option", 2},
        OpenFailureCase{"receive buffer", platform::SocketFault::kSetReceiveBufferSize, "Error : Set Socket Option", 2},
        OpenFailureCase{"send buffer", platform::SocketFault::kSetSendBufferSize, "Error : Set Socket Option", 2},
        OpenFailureCase{"receive timeout", platform::SocketFault::kSetReceiveTimeout, "Error : Set Socket Option", 2},
        OpenFailureCase{"time-to-live", platform::SocketFault::kSetTimeToLive, "Error : Set Socket Option TTL", 3},
        OpenFailureCase{"bind", platform::SocketFault::kBind, "Error : Bind", 4},
        OpenFailureCase{"host name", platform::SocketFault::kHostName, "Error : get hostname error", 0},
        OpenFailureCase{"host resolve", platform::SocketFault::kHostResolve, "Error : get host infomation error", 0},
        OpenFailureCase{"host address", platform::SocketFault::kHostAddress, "Error : get host ip address error", 0}),
    [](const ::testing::TestParamInfo<OpenFailureCase>& info) {
        std::string name;
        for (const char* p = info.param.what; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

TEST_F(UdpClientTest, ReceiveFailureOtherThanTimeoutClosesTheSocketAndEndsWithCode4)
{
    FatalFailures fatal;
    ASSERT_TRUE(client->StartReceiving());
    std::this_thread::sleep_for(20ms);  // several receive timeouts pass without harm
    EXPECT_TRUE(fatal.Codes().empty());
    Log().Clear();
    platform::SetSocketFaultForTesting(platform::SocketFault::kReceive);
    ASSERT_TRUE(WaitUntil([&] { return !fatal.Codes().empty(); }));
    platform::SetSocketFaultForTesting(platform::SocketFault::kNone);
    EXPECT_EQ(fatal.Codes(), std::vector<int>{kExitBindOrReceive});
    auto entries = Log().Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].category, CRLog::kNetworkErr);
    EXPECT_EQ(entries[0].text, "Error : recvfrom\n");
    EXPECT_EQ(entries[0].unit, "UdpClient");
    EXPECT_FALSE(client->IsOpen());
    client->StopReceiving();
    EXPECT_FALSE(client->IsReceiving());
}

TEST_F(UdpClientTest, SocketThatCannotBeClosedAtThreadEndEndsWithCode5)
{
    FatalFailures fatal;
    ASSERT_TRUE(client->StartReceiving());
    Log().Clear();
    platform::SetSocketFaultForTesting(platform::SocketFault::kCloseSocket);
    client->StopReceiving();
    platform::SetSocketFaultForTesting(platform::SocketFault::kNone);
    EXPECT_EQ(fatal.Codes(), std::vector<int>{kExitCloseSocket});
    auto entries = Log().Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].category, CRLog::kSymptom);
    EXPECT_EQ(entries[0].text, "Error : Close Socket\n");
    EXPECT_EQ(entries[0].unit, "UdpClient");
    EXPECT_FALSE(client->IsReceiving());
}

TEST(UdpClientDeathTest, DefaultExitEndsTheProcessWithTheCode)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CUdpClient client(nullptr, nullptr, nullptr);
            NoFreeDescriptors guard;
            client.Open();
            std::_Exit(99);  // not reached
        },
        testing::ExitedWithCode(kExitCreateSocket), "");
}

}  // namespace
}  // namespace korvo
