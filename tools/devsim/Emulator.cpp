#include "tools/devsim/Emulator.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "protocol/Frames.h"
#include "validation/Judge.h"

namespace devsim {

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Breaks an acknowledgement or refusal: without its leading STX the MAC
// address no longer sits at offsets 5 to 21.
std::string WithoutStx(std::string frame)
{
    if (!frame.empty() && frame[0] == korvo::kStx)
        frame.erase(0, 1);
    return frame;
}

}  // namespace

bool FieldValue(const std::string& text, const std::string& key, std::string& value)
{
    std::size_t at = text.find(key);
    if (at == std::string::npos)
        return false;
    std::size_t start = at + key.size();
    std::size_t end = text.find(korvo::kFieldEnd, start);
    value = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    return true;
}

std::string ShowBytes(const std::string& bytes)
{
    std::string shown;
    shown.reserve(bytes.size());
    for (char c : bytes) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u <= 0x7E && u != '<') {
            shown += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02X>", u);
            shown += hex;
        }
    }
    return shown;
}

Emulator::Emulator(Fleet fleet, std::uint32_t seed) : m_fleet(std::move(fleet)), m_random(seed) {}

std::vector<Answer> Emulator::Handle(const std::string& datagram, RequestKind* kindOut)
{
    // A received datagram is a text that ends at its first 0x00 byte.
    const std::string text(datagram.c_str(), ::strnlen(datagram.data(), datagram.size()));
    std::vector<Answer> out;
    RequestKind kind = RequestKind::kUnknown;
    std::string mac;
    if (text.find("ENQ:") != std::string::npos) {
        if (text.find("ENQ:network") != std::string::npos)
            kind = RequestKind::kNetworkInquiry;
        else if (text.find("ENQ:camtable") != std::string::npos)
            kind = RequestKind::kCameraTableInquiry;
    } else if (FieldValue(text, "MAC:", mac)) {
        if (text.find("IPADR:") != std::string::npos)
            kind = RequestKind::kNetworkSetting;
        else if (text.find("CAM", text.find("MAC:") + 4) != std::string::npos)
            kind = RequestKind::kCameraTableSetting;
    }
    switch (kind) {
    case RequestKind::kNetworkInquiry:
        AnswerNetworkInquiry(out);
        break;
    case RequestKind::kCameraTableInquiry:
        AnswerCameraTableInquiry(text, out);
        break;
    case RequestKind::kNetworkSetting:
        AnswerNetworkSetting(text, out);
        break;
    case RequestKind::kCameraTableSetting:
        AnswerCameraTableSetting(text, out);
        break;
    case RequestKind::kUnknown:
        break;
    }
    if (kindOut)
        *kindOut = kind;
    return out;
}

Device* Emulator::FindDevice(const std::string& mac)
{
    if (mac.size() != 17)
        return nullptr;
    const std::string wanted = Lower(mac);
    for (Device& d : m_fleet.devices)
        if (Lower(d.mac) == wanted)
            return &d;
    return nullptr;
}

bool Emulator::Drops(const Device& device)
{
    if (device.faults.dropPercent <= 0)
        return false;
    return static_cast<int>(m_random() % 100) < device.faults.dropPercent;
}

void Emulator::Emit(const Device& device, std::string frame, std::vector<Answer>& out)
{
    if (device.faults.duplicate)
        out.push_back(Answer{device.faults.delayMs, frame});
    out.push_back(Answer{device.faults.delayMs, std::move(frame)});
}

void Emulator::Refuse(const Device& device, const std::string& reason, std::vector<Answer>& out)
{
    std::string frame = korvo::BuildRefusal(device.mac, reason);
    Emit(device, device.faults.malformed ? WithoutStx(frame) : frame, out);
}

void Emulator::Acknowledge(const Device& device, const std::string& message, std::vector<Answer>& out)
{
    std::string frame = korvo::BuildAcknowledgement(device.mac, message);
    Emit(device, device.faults.malformed ? WithoutStx(frame) : frame, out);
}

void Emulator::AnswerNetworkInquiry(std::vector<Answer>& out)
{
    korvo::CJudge judge;
    for (const Device& d : m_fleet.devices) {
        if (Drops(d))
            continue;
        korvo::NetworkInfoFields fields;
        // A malformed reply carries a 16-character MAC address.
        fields.mac = d.faults.malformed ? d.mac.substr(0, 16) : d.mac;
        fields.model = d.model;
        fields.version = d.version;
        fields.ip = d.ip;
        fields.mask = d.mask;
        fields.name = d.name;
        fields.write = d.writable ? "on" : "off";
        if (judge.SupportsNetworkSettings(d.version) == 1)
            fields.gateway = d.gateway;
        Emit(d, korvo::BuildNetworkInfoReply(fields), out);
    }
}

void Emulator::AnswerCameraTableInquiry(const std::string& text, std::vector<Answer>& out)
{
    std::string pageText;
    FieldValue(text, "ENQ:camtable", pageText);
    if (pageText.size() != 1 || pageText[0] < '1' || pageText[0] > '0' + korvo::kCameraTablePages)
        return;
    const int page = pageText[0] - '0';
    for (const Device& d : m_fleet.devices) {
        if (!d.controller || Drops(d))
            continue;
        std::vector<korvo::CameraTableReplyRow> rows;
        const int first = 28 * (page - 1) + 1;
        // A malformed page lacks its last row.
        const int count = d.faults.malformed ? 27 : 28;
        for (int n = first; n < first + count; ++n) {
            const TableRow& row = d.table[n - 1];
            rows.push_back(korvo::CameraTableReplyRow{n, row.mac, row.ip, row.name});
        }
        Emit(d, korvo::BuildCameraTableReply(d.mac, page, rows), out);
    }
}

void Emulator::AnswerNetworkSetting(const std::string& text, std::vector<Answer>& out)
{
    std::string mac;
    FieldValue(text, "MAC:", mac);
    Device* d = FindDevice(mac);
    if (!d || Drops(*d))
        return;
    if (!d->writable)
        return Refuse(*d, "Write protected", out);
    if (d->faults.refuse)
        return Refuse(*d, "Refused", out);
    std::string ip, mask, gateway, name;
    if (!FieldValue(text, "IPADR:", ip) || !FieldValue(text, "MASK:", mask) || !FieldValue(text, "GATEWAY:", gateway) ||
        !FieldValue(text, "NAME:", name))
        return Refuse(*d, "Incomplete request", out);
    korvo::CJudge judge;
    if (judge.CheckIpAddress(ip) != korvo::kJudgeValid)
        return Refuse(*d, "Invalid IP address", out);
    if (judge.CheckSubnetMask(mask) != korvo::kJudgeValid)
        return Refuse(*d, "Invalid subnet mask", out);
    if (judge.CheckHostPart(ip, mask) != korvo::kJudgeValid)
        return Refuse(*d, "IP address not usable with this subnet mask", out);
    if (judge.CheckGateway(gateway) != korvo::kJudgeValid)
        return Refuse(*d, "Invalid gateway", out);
    if (judge.CheckName(name) != korvo::kJudgeValid)
        return Refuse(*d, "Invalid name", out);
    d->ip = ip;
    d->mask = mask;
    d->gateway = gateway;
    d->name = name;
    Acknowledge(*d, "Network settings changed", out);
}

void Emulator::AnswerCameraTableSetting(const std::string& text, std::vector<Answer>& out)
{
    std::string mac;
    FieldValue(text, "MAC:", mac);
    Device* d = FindDevice(mac);
    if (!d || Drops(*d))
        return;
    if (!d->controller)
        return Refuse(*d, "No camera table", out);
    if (!d->writable)
        return Refuse(*d, "Write protected", out);
    if (d->faults.refuse)
        return Refuse(*d, "Refused", out);

    korvo::CJudge judge;
    std::vector<std::pair<int, TableRow>> rows;
    // The fields after the MAC field, one row each.
    std::size_t pos = text.find(korvo::kFieldEnd, text.find("MAC:"));
    while (pos != std::string::npos) {
        std::size_t start = pos + 1;
        pos = text.find(korvo::kFieldEnd, start);
        std::string field = text.substr(start, pos == std::string::npos ? std::string::npos : pos - start);
        if (field.compare(0, 3, "CAM") != 0)
            continue;
        std::size_t c1 = field.find(':');
        std::size_t c2 = c1 == std::string::npos ? c1 : field.find(':', c1 + 1);
        std::size_t c3 = c2 == std::string::npos ? c2 : field.find(':', c2 + 1);
        std::string number = field.substr(3, c1 == std::string::npos ? std::string::npos : c1 - 3);
        if (c3 == std::string::npos || number.size() != 3 || !std::isdigit(static_cast<unsigned char>(number[0])) ||
            !std::isdigit(static_cast<unsigned char>(number[1])) || !std::isdigit(static_cast<unsigned char>(number[2])))
            return Refuse(*d, "Invalid camera row", out);
        const int n = std::stoi(number);
        char reason[64];
        std::snprintf(reason, sizeof reason, "Invalid camera row %03d", n);
        if (n < 1 || n > kTableRows)
            return Refuse(*d, reason, out);
        TableRow row{field.substr(c1 + 1, c2 - c1 - 1), field.substr(c2 + 1, c3 - c2 - 1), field.substr(c3 + 1)};
        if ((!row.mac.empty() && judge.CheckMacAddress(row.mac) != korvo::kJudgeValid) ||
            (!row.ip.empty() && judge.CheckIpAddress(row.ip) != korvo::kJudgeValid) ||
            judge.CheckName(row.name) != korvo::kJudgeValid)
            return Refuse(*d, reason, out);
        rows.emplace_back(n, std::move(row));
    }
    if (rows.empty())
        return Refuse(*d, "No camera rows", out);
    for (auto& [n, row] : rows)
        d->table[n - 1] = std::move(row);
    Acknowledge(*d, "Camera table stored", out);
}

}  // namespace devsim
