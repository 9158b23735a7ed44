// Timing tool for the UDP path. Two measurements:
//
//   udp_bench burst [--devices N] [--rounds R] [--connection-log]
//     Run in the tool namespace of scripts/netns.sh, with devsim answering
//     for N devices (default 255) in the device namespace. Broadcasts one
//     network inquiry per round and measures the time from sending it to the
//     last reply stored in the reply queue by the client's receive thread.
//     Every reply must be analysed and stored: a lost reply fails the run.
//     --connection-log registers the connection log writer, as the tool
//     does, so every datagram is also written to a file.
//
//   udp_bench analysis [--cycles C]
//     Loopback only. Builds the frames devsim sends for 250 cameras and 5
//     controllers (255 network information replies, 4 camera table pages of
//     every controller, acknowledgements) and measures on one thread
//       - reply analysis: frames analysed per second;
//       - a bare receive loop: the same datagrams sent over 127.0.0.1 and
//         taken off the socket into the receive buffer, frames per second;
//     and their ratio (above 1: analysis is faster than receiving).
//
// Exit status 0 on success, 1 when a reply was lost or a step failed, 2 for
// bad arguments or when burst is started outside the tool namespace.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "files/DiagLog.h"
#include "files/LogFile.h"
#include "mainwindow/Messages.h"
#include "model/DataCommon.h"
#include "platform/Socket.h"
#include "platform/Sync.h"
#include "protocol/Frames.h"
#include "protocol/ReplyAnalysis.h"
#include "protocol/UdpClient.h"
#include "tools/devsim/Emulator.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The owner for both measurements: answers the reply queue request and
// notes the time of every stored reply (posted from the receive thread).
class BenchOwner : public platform::MessageTarget {
public:
    BenchOwner(korvo::CDataCommon* store, platform::SemaphoreLock* lock) : m_store(store), m_lock(lock) {}

    bool Post(unsigned message, platform::WParam, platform::LParam) override
    {
        if (message == korvo::UWM_NETWORK_INFO) {
            lastStored.store(Clock::now().time_since_epoch().count());
            stored.fetch_add(1);
        }
        return true;
    }
    platform::LResult Send(unsigned message, platform::WParam wParam, platform::LParam) override
    {
        if (message == korvo::UWM_GET_REPLY_QUEUE) {
            std::lock_guard<platform::SemaphoreLock> guard(*m_lock);
            m_store->CopyReplyQueue(*reinterpret_cast<std::vector<korvo::DeviceRecord>*>(wParam));
        } else if (message == korvo::UWM_CAMTABLE_REPLY) {
            tables.fetch_add(1);
        } else if (message == korvo::UWM_ACK || message == korvo::UWM_NAK) {
            answers.fetch_add(1);
        }
        return 0;
    }

    std::atomic<long long> lastStored{0};
    std::atomic<int> stored{0};
    std::atomic<int> tables{0};
    std::atomic<int> answers{0};

private:
    korvo::CDataCommon* m_store;
    platform::SemaphoreLock* m_lock;
};

bool InToolNamespace()
{
    const char* name = std::getenv("KORVO_TOOL_NS");
    struct stat mine {};
    struct stat tool {};
    if (!name || stat("/proc/self/ns/net", &mine) != 0 || stat((std::string("/run/netns/") + name).c_str(), &tool) != 0)
        return false;
    return mine.st_ino == tool.st_ino && mine.st_dev == tool.st_dev;
}

int Burst(int devices, int rounds, bool connectionLog)
{
    if (!InToolNamespace()) {
        std::fprintf(stderr, "udp_bench burst: run it in the tool namespace (scripts/bench.sh does)\n");
        return 2;
    }
    if (connectionLog)
        CRLog::AddListener(std::make_unique<korvo::CLogFile>());

    korvo::CDataCommon store;
    platform::SemaphoreLock lock;
    BenchOwner owner(&store, &lock);
    korvo::CUdpClient client(&owner, &store, &lock);
    client.Open();
    if (!client.IsOpen() || !client.StartReceiving()) {
        std::fprintf(stderr, "udp_bench burst: the client could not open its socket\n");
        return 1;
    }

    std::vector<double> times;
    for (int round = 1; round <= rounds; ++round) {
        {
            std::lock_guard<platform::SemaphoreLock> guard(lock);
            store.ClearReplyQueue();
        }
        owner.stored = 0;
        const auto sent = Clock::now();
        client.SendNetworkInquiry(korvo::BuildNetworkInquiry());
        const auto limit = sent + std::chrono::seconds(5);
        while (owner.stored.load() < devices && Clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        // A moment more: nothing beyond the fleet may arrive either.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));

        std::vector<korvo::DeviceRecord> queue;
        {
            std::lock_guard<platform::SemaphoreLock> guard(lock);
            store.CopyReplyQueue(queue);
        }
        std::set<std::string> macs;
        for (const korvo::DeviceRecord& r : queue)
            macs.insert(r.mac);
        if (static_cast<int>(queue.size()) != devices || static_cast<int>(macs.size()) != devices) {
            std::fprintf(stderr, "udp_bench burst: round %d stored %zu replies of %zu devices, expected %d\n", round,
                         queue.size(), macs.size(), devices);
            client.StopReceiving();
            return 1;
        }
        const auto last = Clock::time_point(Clock::duration(owner.lastStored.load()));
        times.push_back(Ms(last - sent));
    }
    client.StopReceiving();

    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    std::printf("burst: %d devices x %d rounds, every reply stored (zero loss)%s\n", devices, rounds,
                connectionLog ? ", with connection log" : "");
    std::printf("burst: inquiry sent -> last record stored: min %.2f ms, median %.2f ms, max %.2f ms\n",
                sorted.front(), sorted[sorted.size() / 2], sorted.back());
    return 0;
}

// The datagrams devsim sends for 250 cameras and 5 controllers.
std::vector<std::string> FleetFrames(std::vector<korvo::DeviceRecord>& directoryDevices)
{
    devsim::Emulator emulator(devsim::GenerateFleet(250, 5), 1);
    std::vector<std::string> frames;
    for (devsim::Answer& a : emulator.Handle(korvo::BuildNetworkInquiry()))
        frames.push_back(std::move(a.frame));
    for (int page = 1; page <= korvo::kCameraTablePages; ++page)
        for (devsim::Answer& a : emulator.Handle(korvo::BuildCameraTableInquiry(page)))
            frames.push_back(std::move(a.frame));
    int cameraIndex = 0, controllerIndex = 0;
    for (const devsim::Device& d : emulator.GetFleet().devices) {
        korvo::DeviceRecord r;
        r.mac = d.mac;
        r.model = d.model;
        r.index = d.controller ? controllerIndex++ : cameraIndex++;
        directoryDevices.push_back(r);
        if (d.controller)
            for (devsim::Answer& a : emulator.Handle(korvo::BuildCameraTableSettings(
                     d.mac, {{0, "02-4B-56-00-00-01", "192.168.1.10", "CAM001"}}).at(0)))
                frames.push_back(std::move(a.frame));
    }
    return frames;
}

int Analysis(int cycles)
{
    std::vector<korvo::DeviceRecord> devices;
    const std::vector<std::string> frames = FleetFrames(devices);

    // Reply analysis on one thread, with the owner answering the reply
    // queue request and the directory holding every device.
    korvo::CDataCommon store;
    platform::SemaphoreLock lock;
    BenchOwner owner(&store, &lock);
    std::array<korvo::ReceptionTable, korvo::kTableControllers> tables{};
    korvo::CReplyAnalysis analysis(&owner, &store, &lock, &tables);
    {
        std::lock_guard<platform::SemaphoreLock> guard(lock);
        for (const korvo::DeviceRecord& r : devices)
            store.AddToDirectory(r);
    }
    const auto analysisStart = Clock::now();
    for (int c = 0; c < cycles; ++c) {
        {
            // One inquiry cycle: the queue starts empty each time.
            std::lock_guard<platform::SemaphoreLock> guard(lock);
            store.ClearReplyQueue();
        }
        for (const std::string& f : frames)
            analysis.AnalyzeReply(f);
    }
    const double analysisSeconds = std::chrono::duration<double>(Clock::now() - analysisStart).count();
    const long long total = static_cast<long long>(frames.size()) * cycles;
    const int expectStored = 255 * cycles, expectTables = 20 * cycles, expectAnswers = 5 * cycles;
    if (owner.stored.load() != expectStored || owner.tables.load() != expectTables ||
        owner.answers.load() != expectAnswers) {
        std::fprintf(stderr, "udp_bench analysis: stored %d/%d, tables %d/%d, answers %d/%d\n", owner.stored.load(),
                     expectStored, owner.tables.load(), expectTables, owner.answers.load(), expectAnswers);
        return 1;
    }

    // A bare receive loop over the same datagrams on loopback: the sender
    // stays at most a window ahead of the receiver, so nothing is lost.
    platform::SocketHandle rx = platform::CreateDatagramSocket();
    platform::SocketHandle tx = platform::CreateDatagramSocket();
    platform::Ipv4Endpoint local;
    if (rx == platform::kInvalidSocket || tx == platform::kInvalidSocket ||
        !platform::SetReceiveBufferSize(rx, korvo::kSocketBufferSize) ||
        !platform::SetReceiveTimeout(rx, std::chrono::milliseconds(1000)) || !platform::BindAny(rx, 0) ||
        !platform::LocalEndpoint(rx, local)) {
        std::fprintf(stderr, "udp_bench analysis: loopback sockets failed\n");
        return 1;
    }
    const platform::Ipv4Endpoint to{platform::Ipv4Endpoint::kLoopback, local.port};
    std::atomic<long long> received{0};
    constexpr long long kWindow = 64;
    std::atomic<bool> sendFailed{false};
    std::thread sender([&] {
        long long sentCount = 0;
        for (int c = 0; c < cycles && !sendFailed; ++c) {
            for (const std::string& f : frames) {
                while (sentCount - received.load() >= kWindow)
                    std::this_thread::yield();
                if (platform::SendTo(tx, f.data(), f.size(), to) < 0) {
                    sendFailed = true;
                    break;
                }
                ++sentCount;
            }
        }
    });
    std::unique_ptr<char[]> buffer(new char[korvo::kMaxDatagramSize + 1]());
    const auto receiveStart = Clock::now();
    long long bytes = 0;
    while (received.load() < total) {
        std::size_t got = 0;
        platform::Ipv4Endpoint from;
        platform::ReceiveStatus status = platform::ReceiveFrom(rx, buffer.get(), korvo::kMaxDatagramSize, got, from);
        if (status != platform::ReceiveStatus::kData)
            break;
        buffer[got] = '\0';
        std::string text(buffer.get(), ::strnlen(buffer.get(), got));  // as the client hands it on
        bytes += static_cast<long long>(text.size());
        std::memset(buffer.get(), 0, got + 1);
        received.fetch_add(1);
    }
    const double receiveSeconds = std::chrono::duration<double>(Clock::now() - receiveStart).count();
    sender.join();
    platform::CloseSocket(rx);
    platform::CloseSocket(tx);
    if (received.load() != total || sendFailed) {
        std::fprintf(stderr, "udp_bench analysis: bare receive loop got %lld of %lld datagrams\n", received.load(),
                     total);
        return 1;
    }

    const double analysisRate = total / analysisSeconds;
    const double receiveRate = total / receiveSeconds;
    std::printf("analysis: %zu frames per cycle (255 network replies, 20 camera table pages, 5 ACK), %d cycles\n",
                frames.size(), cycles);
    std::printf("analysis: reply analysis  %10.0f frames/s (%.3f s)\n", analysisRate, analysisSeconds);
    std::printf("analysis: bare receive    %10.0f frames/s (%.3f s, %lld bytes, loopback)\n", receiveRate,
                receiveSeconds, bytes);
    std::printf("analysis: ratio analysis/receive = %.2f\n", analysisRate / receiveRate);
    return 0;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: udp_bench burst [--devices N] [--rounds R] [--connection-log]\n"
                 "       udp_bench analysis [--cycles C]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    const std::string mode = argv[1];
    int devices = 255, rounds = 10, cycles = 40;
    bool connectionLog = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        auto number = [&](int low, int high, int& out) {
            if (i + 1 >= argc)
                return false;
            char* end = nullptr;
            long v = std::strtol(argv[i + 1], &end, 10);
            if (*end || v < low || v > high)
                return false;
            out = static_cast<int>(v);
            ++i;
            return true;
        };
        if (arg == "--devices" && number(1, 256, devices)) {
        } else if (arg == "--rounds" && number(1, 100, rounds)) {
        } else if (arg == "--cycles" && number(1, 1000, cycles)) {
        } else if (arg == "--connection-log") {
            connectionLog = true;
        } else {
            return Usage();
        }
    }
    if (mode == "burst")
        return Burst(devices, rounds, connectionLog);
    if (mode == "analysis")
        return Analysis(cycles);
    return Usage();
}
