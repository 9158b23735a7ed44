#include "tools/devsim/Fleet.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <istream>
#include <sstream>
#include <utility>

#include "validation/Judge.h"

namespace devsim {

namespace {

std::string Format(const char* format, int a, int b)
{
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

Device MakeCamera(int i)
{
    const int n = i + 1;
    Device d;
    d.controller = false;
    d.model = "IPCARD";
    d.mac = Format("02-4B-56-00-%02X-%02X", (n >> 8) & 0xFF, n & 0xFF);
    char name[16];
    std::snprintf(name, sizeof name, "CAM%03d", n % 1000);
    d.name = name;
    d.ip = Format("192.168.%d.%d", 1 + i / 200, 10 + i % 200);
    d.mask = "255.255.0.0";
    d.gateway = "192.168.0.1";
    // Every fourth camera runs an old version that reports no gateway.
    d.version = (n % 4 == 0) ? "2.01" : "2.10";
    d.writable = true;
    return d;
}

Device MakeController(int j)
{
    const int n = j + 1;
    Device d;
    d.controller = true;
    d.model = (j % 2 == 0) ? "CONTROLLER" : "ST-HUB80";
    d.mac = Format("02-4B-56-01-%02X-%02X", (n >> 8) & 0xFF, n & 0xFF);
    char name[16];
    std::snprintf(name, sizeof name, "CTL%02d", n % 100);
    d.name = name;
    d.ip = Format("192.168.%d.%d", 100 + j / 200, 10 + j % 200);
    d.mask = "255.255.0.0";
    d.gateway = "192.168.0.1";
    d.version = (j == 2) ? "2.01" : "2.10";
    d.writable = (j != 3);
    return d;
}

void FillTables(Fleet& fleet)
{
    std::vector<const Device*> cameras;
    for (const Device& d : fleet.devices)
        if (!d.controller)
            cameras.push_back(&d);
    for (Device& d : fleet.devices) {
        if (!d.controller)
            continue;
        for (int r = 0; r < kTableRows; ++r) {
            if (static_cast<std::size_t>(r) < cameras.size())
                d.table[r] = TableRow{cameras[r]->mac, cameras[r]->ip, cameras[r]->name};
            else
                d.table[r] = TableRow{};
        }
    }
}

// Splits "key=value key="quoted value"" into pairs.
bool SplitPairs(const std::string& rest, std::vector<std::pair<std::string, std::string>>& pairs,
                std::string& error)
{
    std::size_t pos = 0;
    while (true) {
        while (pos < rest.size() && (rest[pos] == ' ' || rest[pos] == '\t'))
            ++pos;
        if (pos >= rest.size())
            return true;
        std::size_t eq = rest.find('=', pos);
        std::size_t blank = rest.find_first_of(" \t", pos);
        if (eq == std::string::npos || (blank != std::string::npos && blank < eq)) {
            error = "expected key=value, found '" + rest.substr(pos, blank == std::string::npos ? std::string::npos : blank - pos) + "'";
            return false;
        }
        std::string key = Lower(rest.substr(pos, eq - pos));
        pos = eq + 1;
        std::string value;
        if (pos < rest.size() && rest[pos] == '"') {
            std::size_t close = rest.find('"', pos + 1);
            if (close == std::string::npos) {
                error = "unterminated quote in the value of '" + key + "'";
                return false;
            }
            value = rest.substr(pos + 1, close - pos - 1);
            pos = close + 1;
            if (pos < rest.size() && rest[pos] != ' ' && rest[pos] != '\t') {
                error = "blank expected after the quoted value of '" + key + "'";
                return false;
            }
        } else {
            std::size_t end = rest.find_first_of(" \t", pos);
            value = rest.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
            pos = end == std::string::npos ? rest.size() : end;
        }
        pairs.emplace_back(key, value);
    }
}

bool ParseNumber(const std::string& text, int low, int high, int& out)
{
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    int value = std::stoi(text);
    if (value < low || value > high)
        return false;
    out = value;
    return true;
}

bool ParseFlag(const std::string& text, bool& out)
{
    std::string t = Lower(text);
    if (t == "yes" || t == "on" || t == "1" || t == "true") {
        out = true;
        return true;
    }
    if (t == "no" || t == "off" || t == "0" || t == "false") {
        out = false;
        return true;
    }
    return false;
}

bool ApplyKey(Device& d, const std::string& key, const std::string& value, std::string& error)
{
    korvo::CJudge judge;
    auto bad = [&](const char* what) {
        error = std::string("unusable ") + what + " '" + value + "'";
        return false;
    };
    if (key == "mac") {
        if (judge.CheckMacAddress(value) != korvo::kJudgeValid)
            return bad("MAC address");
        d.mac = value;
    } else if (key == "name") {
        if (judge.CheckName(value) != korvo::kJudgeValid)
            return bad("name (at most 8 printable characters without '\"', ',' or ':')");
        d.name = value;
    } else if (key == "ip") {
        if (judge.CheckIpAddress(value) != korvo::kJudgeValid)
            return bad("IP address");
        d.ip = value;
    } else if (key == "mask") {
        if (judge.CheckSubnetMask(value) != korvo::kJudgeValid)
            return bad("subnet mask");
        d.mask = value;
    } else if (key == "gateway") {
        if (judge.CheckGateway(value) != korvo::kJudgeValid)
            return bad("gateway");
        d.gateway = value;
    } else if (key == "version") {
        // Sent as it is in every network reply: a control byte (0x00 ends
        // the datagram for the tool) or 0xFF would break the reply.
        const bool printable = std::all_of(value.begin(), value.end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) <= 0x7E;
        });
        if (value.size() != 4 || !printable)
            return bad("software version (4 printable characters, e.g. 2.10)");
        d.version = value;
    } else if (key == "write") {
        if (value != "on" && value != "off")
            return bad("write permission (on or off)");
        d.writable = value == "on";
    } else if (key == "model") {
        if (d.controller ? (value != "CONTROLLER" && value != "ST-HUB80") : value != "IPCARD")
            return bad(d.controller ? "controller model (CONTROLLER or ST-HUB80)" : "camera model (IPCARD)");
        d.model = value;
    } else if (key == "delay") {
        if (!ParseNumber(value, 0, 60000, d.faults.delayMs))
            return bad("delay (0 to 60000 ms)");
    } else if (key == "drop") {
        if (!ParseNumber(value, 0, 100, d.faults.dropPercent))
            return bad("drop rate (0 to 100 percent)");
    } else if (key == "refuse") {
        if (!ParseFlag(value, d.faults.refuse))
            return bad("flag (yes or no)");
    } else if (key == "malformed") {
        if (!ParseFlag(value, d.faults.malformed))
            return bad("flag (yes or no)");
    } else if (key == "duplicate") {
        if (!ParseFlag(value, d.faults.duplicate))
            return bad("flag (yes or no)");
    } else {
        error = "unknown key '" + key + "'";
        return false;
    }
    return true;
}

}  // namespace

int Fleet::Count(bool controllers) const
{
    return static_cast<int>(std::count_if(devices.begin(), devices.end(),
                                          [&](const Device& d) { return d.controller == controllers; }));
}

Fleet GenerateFleet(int cameras, int controllers)
{
    Fleet fleet;
    for (int i = 0; i < cameras; ++i)
        fleet.devices.push_back(MakeCamera(i));
    for (int j = 0; j < controllers; ++j)
        fleet.devices.push_back(MakeController(j));
    FillTables(fleet);
    return fleet;
}

bool ReadFleet(std::istream& in, const std::string& source, Fleet& fleet, std::string& error)
{
    struct Line {
        int number;
        bool controller;
        std::vector<std::pair<std::string, std::string>> pairs;
    };
    std::vector<Line> lines;
    std::string text;
    int number = 0;
    auto fail = [&](int line, const std::string& message) {
        error = source + ":" + std::to_string(line) + ": " + message;
        return false;
    };
    while (std::getline(in, text)) {
        ++number;
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        std::size_t start = text.find_first_not_of(" \t");
        if (start == std::string::npos || text[start] == '#')
            continue;
        std::size_t end = text.find_first_of(" \t", start);
        std::string kind = Lower(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        Line line{number, false, {}};
        if (kind == "camera")
            line.controller = false;
        else if (kind == "controller")
            line.controller = true;
        else
            return fail(number, "a line starts with 'camera' or 'controller', not '" + kind + "'");
        std::string message;
        if (!SplitPairs(end == std::string::npos ? std::string() : text.substr(end), line.pairs, message))
            return fail(number, message);
        lines.push_back(std::move(line));
    }

    Fleet result;
    int cameras = 0;
    int controllers = 0;
    for (const Line& line : lines) {
        Device d = line.controller ? MakeController(controllers++) : MakeCamera(cameras++);
        for (const auto& [key, value] : line.pairs) {
            std::string message;
            if (!ApplyKey(d, key, value, message))
                return fail(line.number, message);
        }
        for (const Device& other : result.devices) {
            if (Lower(other.mac) == Lower(d.mac))
                return fail(line.number, "MAC address " + d.mac + " is used twice");
        }
        result.devices.push_back(std::move(d));
    }
    if (cameras > kMaxCameras || controllers > kMaxControllers)
        return fail(number, "too many devices (at most " + std::to_string(kMaxCameras) + " cameras and " +
                                std::to_string(kMaxControllers) + " controllers)");
    if (result.devices.empty())
        return fail(number, "the fleet file describes no device");
    // Cameras first, then controllers, each in file order.
    std::stable_partition(result.devices.begin(), result.devices.end(), [](const Device& d) { return !d.controller; });
    FillTables(result);
    fleet = std::move(result);
    return true;
}

const char* FleetFormatHelp()
{
    return "Fleet file format (--fleet FILE): one device per line; blank lines and lines\n"
           "starting with '#' are ignored.\n"
           "  camera     [key=value ...]\n"
           "  controller [key=value ...]\n"
           "Keys (all optional; a missing key takes the value the generated fleet gives\n"
           "the device at the same position among the cameras or controllers):\n"
           "  mac=02-4B-56-00-00-01    MAC address, unique in the fleet\n"
           "  name=CAM001              at most 8 printable characters; quote a value\n"
           "                           with blanks: name=\"A B\"\n"
           "  ip=192.168.1.10  mask=255.255.0.0  gateway=192.168.0.1\n"
           "  version=2.10             4 printable characters; versions that need no\n"
           "                           gateway (e.g. 2.01) report none\n"
           "  write=on|off             off: read only, setting requests are refused\n"
           "  model=CONTROLLER|ST-HUB80   controllers only (cameras are IPCARD)\n"
           "  delay=MS                 answer this many milliseconds late (0-60000)\n"
           "  drop=PERCENT             leave this share of requests unanswered (0-100)\n"
           "  refuse=yes               refuse every setting request with NAK\n"
           "  malformed=yes            answers break a rule (see README.md)\n"
           "  duplicate=yes            send every answer twice\n"
           "Every controller's camera table starts with the fleet's first 112 cameras.\n"
           "Example:\n"
           "  camera mac=02-00-00-00-00-01 name=Gate ip=10.0.0.5 mask=255.255.255.0 gateway=10.0.0.1\n"
           "  controller model=ST-HUB80 write=off delay=200\n";
}

}  // namespace devsim
