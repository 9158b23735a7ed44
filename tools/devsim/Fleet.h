// The emulated devices: camera IP cards and controllers with their network
// values, camera tables and per-device faults, generated or read from a
// fleet file.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace devsim {

constexpr int kTableRows = 112;
constexpr int kMaxCameras = 1000;
constexpr int kMaxControllers = 100;

// Faults a device shows on purpose.
struct Faults {
    int delayMs = 0;         // every answer leaves this much later
    int dropPercent = 0;     // chance (0 to 100) that a request goes unanswered
    bool refuse = false;     // every setting request is refused (NAK)
    bool malformed = false;  // answers break a protocol rule (see README)
    bool duplicate = false;  // every answer is sent twice
};

struct TableRow {
    std::string mac;
    std::string ip;
    std::string name;
};

struct Device {
    bool controller = false;
    std::string model;    // "IPCARD", "CONTROLLER" or "ST-HUB80"
    std::string mac;
    std::string name;
    std::string ip;
    std::string mask;
    std::string gateway;  // reported only when the version requires it
    std::string version;
    bool writable = true;  // "WRITE:on"
    Faults faults;
    std::array<TableRow, kTableRows> table{};  // controllers only; row n-1 = camera n
};

struct Fleet {
    std::vector<Device> devices;  // cameras first, then controllers, as given
    int Count(bool controllers) const;
};

// The default fleet layout for the given counts (see README.md): MAC
// addresses 02-4B-56-00-HH-LL for cameras and 02-4B-56-01-HH-LL for
// controllers, names CAM001.., CTL01.., alternating controller models,
// software versions on both sides of the gateway rule, the fourth controller
// read only; every controller's table lists the first 112 cameras.
Fleet GenerateFleet(int cameras, int controllers);

// Reads a fleet file. On failure returns false with a message naming the
// line ("<source>:<line>: ...").
bool ReadFleet(std::istream& in, const std::string& source, Fleet& fleet, std::string& error);

// Text of the fleet file format, for --help.
const char* FleetFormatHelp();

}  // namespace devsim
