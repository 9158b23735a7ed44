// Frames of the device protocol: STX, fields each ended by 0xFF, ETX. A field
// is a key such as "MAC:" followed by its value. Nothing is escaped; callers
// pass values without 0x00, 0xFF or control bytes.
//
// The request half is used by the pages; the reply half by the simulation
// responder and by the device emulator (tools/devsim).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvo {

constexpr char kStx = '\x02';
constexpr char kEtx = '\x03';
constexpr char kFieldEnd = '\xFF';
constexpr int kCameraTablePages = 4;
// Table rows carried by one camera table setting request.
constexpr std::size_t kRowsPerSettingFrame = 28;

// Appends key, value and 0xFF.
void AppendField(std::string& frame, const std::string& key, const std::string& value);

// ---- requests (tool to devices) ----

// 02 "ENQ:network" FF 03, the 14 bytes of the network inquiry.
std::string BuildNetworkInquiry();

// 02 "MAC:" mac FF "IPADR:" ip FF "MASK:" mask FF "GATEWAY:" gateway FF
// "NAME:" name FF 03; texts as given.
std::string BuildNetworkSetting(const std::string& mac, const std::string& ip, const std::string& mask,
                                const std::string& gateway, const std::string& name);

// 02 "ENQ:camtable" + page as "%d" FF 03 (pages 1 to 4).
std::string BuildCameraTableInquiry(int page);

// One row of a camera table setting request: tableIndex 0 to 111 (camera
// number tableIndex + 1); empty texts give an empty position.
struct CameraTableSettingRow {
    int tableIndex = 0;
    std::string mac;
    std::string ip;
    std::string name;
};

// "CAM" + number as "%03d" + ":" + mac + ":" + ip + ":" + name (no 0xFF).
std::string BuildCameraTableRowText(int cameraNumber, const std::string& mac, const std::string& ip,
                                    const std::string& name);

// The camera table setting requests for the given rows: each frame is
// 02 "MAC:" controllerMac FF, then up to 28 rows each followed by FF, then 03.
// Rows go out in ascending table index (equal indexes keep their order);
// rows whose table index is outside 0 to 111 are left out. No rows, no frame.
std::vector<std::string> BuildCameraTableSettings(const std::string& controllerMac,
                                                  const std::vector<CameraTableSettingRow>& rows);

// ---- replies (devices to tool) ----

struct NetworkInfoFields {
    std::string mac;
    std::string model;    // "IPCARD", "CONTROLLER" or "ST-HUB80"
    std::string version;  // e.g. "9.87"
    std::string ip;
    std::string mask;
    std::string name;
    std::string write;    // "on" or "off"
    std::optional<std::string> gateway;  // "GATEWAY:" field only when set
};

// 02 "MAC:" FF "INFO:network" FF "MODEL:" FF "SOFTVERSION:" FF "IPADR:" FF
// "MASK:" FF "NAME:" FF "WRITE:" FF ["GATEWAY:" FF] 03.
std::string BuildNetworkInfoReply(const NetworkInfoFields& fields);

// One reply row: camera number 1 to 112 and its texts (all may be empty).
struct CameraTableReplyRow {
    int number = 0;
    std::string mac;
    std::string ip;
    std::string name;
};

// 02 "MAC:" controllerMac FF "INFO:camtable" + page as "%d" FF, each row
// text followed by FF, 03. A complete page carries 28 rows.
std::string BuildCameraTableReply(const std::string& controllerMac, int page,
                                  const std::vector<CameraTableReplyRow>& rows);

// 02 "ACK:" mac, then, when a message is given, FF and the message enclosed
// in double quotes; then FF 03. The MAC address sits at offsets 5 to 21.
std::string BuildAcknowledgement(const std::string& mac, const std::optional<std::string>& message = {});
// The same with "NAK:".
std::string BuildRefusal(const std::string& mac, const std::optional<std::string>& message = {});

}  // namespace korvo
