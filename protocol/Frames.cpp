#include "protocol/Frames.h"

#include <algorithm>
#include <cstdio>

#include "model/DeviceRecord.h"

namespace korvo {

namespace {

std::string Open()
{
    return std::string(1, kStx);
}

std::string Answer(const char* key, const std::string& mac, const std::optional<std::string>& message)
{
    std::string frame = Open();
    frame += key;
    frame += mac;
    if (message) {
        frame += kFieldEnd;
        frame += '"';
        frame += *message;
        frame += '"';
    }
    frame += kFieldEnd;
    frame += kEtx;
    return frame;
}

}  // namespace

void AppendField(std::string& frame, const std::string& key, const std::string& value)
{
    frame += key;
    frame += value;
    frame += kFieldEnd;
}

std::string BuildNetworkInquiry()
{
    std::string frame = Open();
    AppendField(frame, "ENQ:", "network");
    frame += kEtx;
    return frame;
}

std::string BuildNetworkSetting(const std::string& mac, const std::string& ip, const std::string& mask,
                                const std::string& gateway, const std::string& name)
{
    std::string frame = Open();
    AppendField(frame, "MAC:", mac);
    AppendField(frame, "IPADR:", ip);
    AppendField(frame, "MASK:", mask);
    AppendField(frame, "GATEWAY:", gateway);
    AppendField(frame, "NAME:", name);
    frame += kEtx;
    return frame;
}

std::string BuildCameraTableInquiry(int page)
{
    std::string frame = Open();
    AppendField(frame, "ENQ:", "camtable" + std::to_string(page));
    frame += kEtx;
    return frame;
}

std::string BuildCameraTableRowText(int cameraNumber, const std::string& mac, const std::string& ip,
                                    const std::string& name)
{
    char number[32];
    std::snprintf(number, sizeof number, "CAM%03d:", cameraNumber);
    std::string row = number;
    row += mac;
    row += ':';
    row += ip;
    row += ':';
    row += name;
    return row;
}

std::vector<std::string> BuildCameraTableSettings(const std::string& controllerMac,
                                                  const std::vector<CameraTableSettingRow>& rows)
{
    std::vector<const CameraTableSettingRow*> ordered;
    ordered.reserve(rows.size());
    for (const CameraTableSettingRow& row : rows) {
        if (row.tableIndex >= 0 && row.tableIndex < kCameraTableRows)
            ordered.push_back(&row);
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const CameraTableSettingRow* a, const CameraTableSettingRow* b) {
                         return a->tableIndex < b->tableIndex;
                     });

    std::vector<std::string> frames;
    for (std::size_t first = 0; first < ordered.size(); first += kRowsPerSettingFrame) {
        const std::size_t last = std::min(ordered.size(), first + kRowsPerSettingFrame);
        std::string frame = Open();
        AppendField(frame, "MAC:", controllerMac);
        for (std::size_t i = first; i < last; ++i) {
            const CameraTableSettingRow& row = *ordered[i];
            frame += BuildCameraTableRowText(row.tableIndex + 1, row.mac, row.ip, row.name);
            frame += kFieldEnd;
        }
        frame += kEtx;
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::string BuildNetworkInfoReply(const NetworkInfoFields& fields)
{
    std::string frame = Open();
    AppendField(frame, "MAC:", fields.mac);
    AppendField(frame, "INFO:", "network");
    AppendField(frame, "MODEL:", fields.model);
    AppendField(frame, "SOFTVERSION:", fields.version);
    AppendField(frame, "IPADR:", fields.ip);
    AppendField(frame, "MASK:", fields.mask);
    AppendField(frame, "NAME:", fields.name);
    AppendField(frame, "WRITE:", fields.write);
    if (fields.gateway)
        AppendField(frame, "GATEWAY:", *fields.gateway);
    frame += kEtx;
    return frame;
}

std::string BuildCameraTableReply(const std::string& controllerMac, int page,
                                  const std::vector<CameraTableReplyRow>& rows)
{
    std::string frame = Open();
    AppendField(frame, "MAC:", controllerMac);
    AppendField(frame, "INFO:", "camtable" + std::to_string(page));
    for (const CameraTableReplyRow& row : rows) {
        frame += BuildCameraTableRowText(row.number, row.mac, row.ip, row.name);
        frame += kFieldEnd;
    }
    frame += kEtx;
    return frame;
}

std::string BuildAcknowledgement(const std::string& mac, const std::optional<std::string>& message)
{
    return Answer("ACK:", mac, message);
}

std::string BuildRefusal(const std::string& mac, const std::optional<std::string>& message)
{
    return Answer("NAK:", mac, message);
}

}  // namespace korvo
