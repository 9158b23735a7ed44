// Records of discovered devices and camera table positions. Device texts are
// bytes as received; the fixed field widths of the protocol are the limits
// the callers keep (see the constants).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace korvo {

using Address4 = std::array<std::uint8_t, 4>;  // first dotted part first

constexpr std::size_t kNameMax = 8;
constexpr std::size_t kMacLength = 17;
constexpr std::size_t kMessageMax = 1023;
constexpr std::size_t kVersionMax = 15;
constexpr std::size_t kModelMax = 31;
constexpr int kCameraTableRows = 112;
constexpr int kTableControllers = 5;

// Row and device state codes shown with a Message text and a row colour.
using DeviceStatus = std::int16_t;

struct DeviceRecord {
    std::int32_t index = 0;
    std::uint8_t pending = 0;
    std::string name;
    std::string mac;
    Address4 ip{};
    Address4 mask{};
    Address4 gateway{};
    DeviceStatus state = 0;
    std::string message;
    std::string version;
    std::string model;
    std::uint8_t writable = 0;
    bool operator==(const DeviceRecord&) const = default;
};

struct DeviceDirectoryEntry {
    std::int32_t index = 0;
    std::string model;
    std::string mac;
    bool operator==(const DeviceDirectoryEntry&) const = default;
};

struct CameraTableEntry {
    std::string name;
    std::int32_t tableIndex = 0;
    std::uint8_t flag = 0;
    std::uint8_t number = 0;
    std::string mac;
    Address4 ip{};
    Address4 mask{};
    DeviceStatus state = 0;
    bool operator==(const CameraTableEntry&) const = default;
};

// A controller's camera table as unpacked from replies: row n-1 holds the
// reply row for camera number n.
struct ReceptionTable {
    std::string controllerMac;
    std::array<CameraTableEntry, kCameraTableRows> rows{};
    void Clear() { *this = ReceptionTable{}; }
};

}  // namespace korvo
