// devsim: a fleet of emulated cameras and controllers on one UDP port.
// It only ever answers: every frame it sends goes to the sender of the
// datagram it answers.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <chrono>

#include "platform/Socket.h"
#include "tools/devsim/Emulator.h"
#include "tools/devsim/Fleet.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

const char* kUsage =
    "Usage: devsim [options]\n"
    "\n"
    "Emulates a fleet of camera IP cards and controllers for the setup tool: it\n"
    "listens on one UDP port (broadcast datagrams included) and answers every\n"
    "request frame the way the devices do, always to the datagram's sender.\n"
    "\n"
    "  network inquiry        one network information reply per device\n"
    "  camera table inquiry   every controller answers page p (1-4) with the 28\n"
    "                         rows of camera numbers 28(p-1)+1 .. 28p\n"
    "  network setting        the device with the MAC address takes the new IP\n"
    "                         address, mask, gateway and name: ACK:<its MAC>\n"
    "                         \"Network settings changed\"\n"
    "  camera table setting   the controller with the MAC address stores the rows:\n"
    "                         ACK:<its MAC> \"Camera table stored\"\n"
    "  refusals (NAK:<MAC> with the reason in double quotes): \"Write protected\"\n"
    "  (WRITE:off), \"Refused\" (refuse fault), \"Incomplete request\", \"Invalid IP\n"
    "  address\", \"Invalid subnet mask\", \"IP address not usable with this subnet\n"
    "  mask\", \"Invalid gateway\", \"Invalid name\", \"No camera table\" (a camera),\n"
    "  \"Invalid camera row NNN\", \"No camera rows\". Requests for an unknown MAC\n"
    "  address and unknown frames are not answered.\n"
    "\n"
    "Options:\n"
    "  --port N                 UDP port to listen on (default 52380)\n"
    "  --count-cameras N        cameras of the generated fleet (default 112, 0-1000)\n"
    "  --count-controllers M    controllers of the generated fleet (default 5, 0-100)\n"
    "  --fleet FILE             read the fleet from FILE instead (format below)\n"
    "  --seed N                 seed of the drop fault's random choice (default 1)\n"
    "  --exit-after SECONDS     end after this many seconds (default: run until\n"
    "                           SIGINT or SIGTERM)\n"
    "  --verbose                print every frame received and sent; bytes outside\n"
    "                           printable ASCII (and '<') are shown as <XX>\n"
    "  --help                   this text\n"
    "\n"
    "Generated fleet: cameras CAM001.. with MAC 02-4B-56-00-HH-LL (HH-LL = number),\n"
    "IP 192.168.1.10 on (200 per /24 block), mask 255.255.0.0, gateway 192.168.0.1,\n"
    "software 2.10 (reports GATEWAY:), every fourth camera 2.01 (reports none);\n"
    "controllers CTL01.. with MAC 02-4B-56-01-HH-LL, IP 192.168.100.10 on, models\n"
    "CONTROLLER and ST-HUB80 alternating, the third on 2.01, the fourth read only\n"
    "(WRITE:off).\n"
    "\n"
    "On start devsim prints one line \"devsim: listening on UDP port P with C cameras\n"
    "and K controllers\" to standard output; on exit a line of counts to standard\n"
    "error. Exit status 0, or 2 for a bad option, fleet file or socket failure.\n"
    "\n";

bool ParseInt(const char* text, long low, long high, long& out)
{
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (!text[0] || *end || value < low || value > high)
        return false;
    out = value;
    return true;
}

int Usage(const std::string& problem)
{
    std::fprintf(stderr, "devsim: %s (see devsim --help)\n", problem.c_str());
    return 2;
}

struct Pending {
    platform::Ipv4Endpoint to;
    std::string frame;
};

}  // namespace

int main(int argc, char** argv)
{
    long port = 52380, cameras = 112, controllers = 5, seed = 1, exitAfter = 0;
    bool countsGiven = false, verbose = false;
    std::string fleetFile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](long low, long high, long& out) {
            if (i + 1 >= argc || !ParseInt(argv[i + 1], low, high, out))
                return false;
            ++i;
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(devsim::FleetFormatHelp(), stdout);
            return 0;
        } else if (arg == "--port") {
            if (!value(1, 65535, port))
                return Usage("--port needs a number 1-65535");
        } else if (arg == "--count-cameras") {
            if (!value(0, devsim::kMaxCameras, cameras))
                return Usage("--count-cameras needs a number 0-1000");
            countsGiven = true;
        } else if (arg == "--count-controllers") {
            if (!value(0, devsim::kMaxControllers, controllers))
                return Usage("--count-controllers needs a number 0-100");
            countsGiven = true;
        } else if (arg == "--seed") {
            if (!value(0, 0x7FFFFFFF, seed))
                return Usage("--seed needs a number");
        } else if (arg == "--exit-after") {
            if (!value(1, 86400, exitAfter))
                return Usage("--exit-after needs a number of seconds 1-86400");
        } else if (arg == "--fleet") {
            if (i + 1 >= argc)
                return Usage("--fleet needs a file name");
            fleetFile = argv[++i];
        } else if (arg == "--verbose") {
            verbose = true;
        } else {
            return Usage("unknown option '" + arg + "'");
        }
    }
    if (!fleetFile.empty() && countsGiven)
        return Usage("--fleet and --count-cameras/--count-controllers exclude each other");

    devsim::Fleet fleet;
    if (!fleetFile.empty()) {
        std::ifstream in(fleetFile, std::ios::binary);
        if (!in)
            return Usage("cannot read fleet file '" + fleetFile + "'");
        std::string error;
        if (!devsim::ReadFleet(in, fleetFile, fleet, error)) {
            std::fprintf(stderr, "devsim: %s\n", error.c_str());
            return 2;
        }
    } else {
        fleet = devsim::GenerateFleet(static_cast<int>(cameras), static_cast<int>(controllers));
    }
    const int cameraCount = fleet.Count(false);
    const int controllerCount = fleet.Count(true);
    devsim::Emulator emulator(std::move(fleet), static_cast<std::uint32_t>(seed));

    platform::SocketHandle socket = platform::CreateDatagramSocket();
    if (socket == platform::kInvalidSocket || !platform::SetBroadcast(socket, true) ||
        !platform::SetReceiveBufferSize(socket, 1 << 20) || !platform::SetSendBufferSize(socket, 1 << 20) ||
        !platform::BindAny(socket, static_cast<std::uint16_t>(port))) {
        std::fprintf(stderr, "devsim: cannot listen on UDP port %ld: %s\n", port,
                     platform::LastSocketErrorText().c_str());
        return 2;
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("devsim: listening on UDP port %ld with %d cameras and %d controllers\n", port, cameraCount,
                controllerCount);
    std::fflush(stdout);

    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    std::multimap<Clock::time_point, Pending> pending;
    std::vector<char> buffer(65536);
    unsigned long received = 0, sent = 0, failed = 0;

    auto send = [&](const Pending& p) {
        long result = platform::SendTo(socket, p.frame.data(), p.frame.size(), p.to);
        if (result < 0) {
            ++failed;
            std::fprintf(stderr, "devsim: sending to %s:%u failed: %s\n", p.to.AddressText().c_str(), p.to.port,
                         platform::LastSocketErrorText().c_str());
            return;
        }
        ++sent;
        if (verbose)
            std::printf("-> %s:%u %zu bytes: %s\n", p.to.AddressText().c_str(), p.to.port, p.frame.size(),
                        devsim::ShowBytes(p.frame).c_str());
    };

    while (!g_stop) {
        const auto now = Clock::now();
        if (exitAfter > 0 && now - started >= std::chrono::seconds(exitAfter))
            break;
        auto wait = std::chrono::milliseconds(200);
        if (!pending.empty()) {
            auto untilDue = std::chrono::duration_cast<std::chrono::milliseconds>(pending.begin()->first - now);
            wait = std::max(std::chrono::milliseconds(0), std::min(wait, untilDue));
        }
        int ready = platform::WaitReadable(socket, wait);
        if (ready < 0) {
            std::fprintf(stderr, "devsim: waiting for datagrams failed: %s\n", platform::LastSocketErrorText().c_str());
            break;
        }
        if (ready == 1) {
            std::size_t got = 0;
            platform::Ipv4Endpoint from;
            platform::ReceiveStatus status = platform::ReceiveFrom(socket, buffer.data(), buffer.size(), got, from);
            if (status == platform::ReceiveStatus::kData) {
                ++received;
                const std::string datagram(buffer.data(), got);
                if (verbose)
                    std::printf("<- %s:%u %zu bytes: %s\n", from.AddressText().c_str(), from.port, got,
                                devsim::ShowBytes(datagram).c_str());
                devsim::RequestKind kind;
                std::vector<devsim::Answer> answers = emulator.Handle(datagram, &kind);
                if (verbose && kind == devsim::RequestKind::kUnknown)
                    std::printf("   (not a request frame; not answered)\n");
                const auto at = Clock::now();
                for (devsim::Answer& a : answers) {
                    Pending p{from, std::move(a.frame)};
                    if (a.delayMs == 0 && pending.empty())
                        send(p);
                    else
                        pending.emplace(at + std::chrono::milliseconds(a.delayMs), std::move(p));
                }
            }
        }
        // Answers that are due, in order of their time (equal times keep
        // the order in which they were queued).
        const auto due = Clock::now();
        while (!pending.empty() && pending.begin()->first <= due) {
            send(pending.begin()->second);
            pending.erase(pending.begin());
        }
        if (verbose)
            std::fflush(stdout);
    }
    platform::CloseSocket(socket);
    std::fprintf(stderr, "devsim: %lu datagrams received, %lu frames sent, %lu sends failed\n", received, sent,
                 failed);
    return 0;
}
