#include "protocol/Simulation.h"

#include <cstdio>
#include <string>

#include "model/DeviceRecord.h"
#include "protocol/Frames.h"
#include "protocol/ReplyAnalysis.h"

namespace korvo {

namespace {

std::string CameraMac(int d)
{
    char text[32];
    std::snprintf(text, sizeof text, "02-00-C0-A8-00-%02d", d < 5 ? d + 1 : 6);
    return text;
}

std::string CameraIp(int a)
{
    switch (a) {
    case 0:
        return "192.168.0.1";
    case 2:
        return "100.169.0.210";
    case 4:
        return "192.168.1.230";
    case 6:
        return "192.168.1.220";
    case 8:
        return "192.168.0.225";
    default:
        return "192.168.0." + std::to_string(a);
    }
}

std::string CameraName(int a)
{
    if (a % 3 == 0)
        return "abc100";
    if (a % 4 == 0)
        return "Abc678";
    if (a % 5 == 0)
        return "678";
    return "";
}

}  // namespace

std::string SimulatedControllerMac(int d)
{
    char text[32];
    std::snprintf(text, sizeof text, "02-00-C0-A8-%02d-00", d >= 0 && d < 5 ? d + 1 : 6);
    return text;
}

std::string BuildSimulatedNetworkReply(int a)
{
    const int d = a / 2;
    NetworkInfoFields fields;
    fields.version = "9.87";
    fields.mask = "255.255.255.255";
    fields.gateway = kSimulatedGateway;
    if (a % 2 == 0) {
        fields.mac = CameraMac(d);
        fields.model = "IPCARD";
        fields.ip = CameraIp(a);
        fields.name = CameraName(a);
        fields.write = "on";
    } else {
        fields.mac = SimulatedControllerMac(d);
        fields.model = "CONTROLLER";
        fields.ip = "192.168.0." + std::to_string(d + 10);
        char name[32];
        std::snprintf(name, sizeof name, "CTL%03d", d < 5 ? d + 1 : 6);
        fields.name = name;
        fields.write = (a % 3 == 0 || a % 4 == 0 || a % 5 == 0) ? "off" : "on";
    }
    return BuildNetworkInfoReply(fields);
}

std::string BuildSimulatedCameraTablePage(int t, int& counter)
{
    std::string frame(1, kStx);
    AppendField(frame, "MAC:", SimulatedControllerMac(t));
    AppendField(frame, "INFO:", "camtable1");
    for (int r = 0; r < kRowsPerPage; ++r) {
        const int n = counter;
        if (r == 1) {
            frame += BuildCameraTableRowText(n, "", "", "");
        } else {
            char mac[32];
            std::snprintf(mac, sizeof mac, "00-00-00-00-00-%02X", static_cast<unsigned>(n));
            const std::string ip = std::to_string(n) + ".2.3." + std::to_string(t + 1) + "0";
            frame += BuildCameraTableRowText(n, mac, ip, "cam" + std::to_string(n));
        }
        frame += kFieldEnd;
        ++counter;
    }
    if (counter > kCameraTableRows)
        counter = 1;
    frame += kEtx;
    return frame;
}

CSimulationResponder::CSimulationResponder(CReplyAnalysis* analysis) : m_analysis(analysis)
{
}

void CSimulationResponder::SimulateNetworkReplies()
{
    if (!m_analysis)
        return;
    for (int a = 0; a < kSimulatedDevices; ++a)
        m_analysis->AnalyzeNetworkInfo(BuildSimulatedNetworkReply(a));
}

int CSimulationResponder::SimulateCameraTablePage(int t)
{
    const std::string frame = BuildSimulatedCameraTablePage(t, m_pageCounter);
    if (!m_analysis)
        return -1;
    return m_analysis->AnalyzeCameraTable(frame);
}

}  // namespace korvo
