// Canned device replies for work without devices (settings switch
// DebugUdp/DebugUdpFlg = 1): the inquiry is not sent, and these replies are
// run through the reply analysis instead, on the caller's thread.
//
// Network half: 61 simulated devices a = 0 to 60; odd a is a controller, even
// a a camera, d = a / 2.
//   MAC      camera "02-00-C0-A8-00-0<d+1>" (d 5 or more: "...-00-06"),
//            controller "02-00-C0-A8-0<d+1>-00" (d 5 or more: "...-06-00")
//   MODEL    "IPCARD" / "CONTROLLER"; SOFTVERSION "9.87"
//   IPADR    camera a=0 "192.168.0.1", 2 "100.169.0.210", 4 "192.168.1.230",
//            6 "192.168.1.220", 8 "192.168.0.225", 10 to 60 "192.168.0.<a>";
//            controller "192.168.0.<d+10>"
//   MASK     "255.255.255.255"
//   NAME     camera: "abc100" (a divisible by 3), else "Abc678" (by 4), else
//            "678" (by 5), else empty; controller "CTL00<d+1>" (d 5 or more:
//            "CTL006")
//   WRITE    camera "on"; controller "off" when a is divisible by 3, 4 or 5
//   GATEWAY  "0.0.0.0" for every device. Version 9.87 must report a gateway,
//            so without this field every simulated reply would be refused.
//            0.0.0.0 is the value that stands for "no gateway".
//
// Camera table half: one page per call for controller t, MAC address of the
// simulated controller d = t, "INFO:camtable1", 28 rows whose camera numbers
// come from the page counter (1 at start, shared by all controllers, back to
// 1 after a page that went past 112). The second row of every page is empty;
// every other row with number n is
//   CAM<n %03d>:00-00-00-00-00-<n %02X>:<n>.2.3.<t+1>0:cam<n>
#pragma once

#include <string>

namespace korvo {

class CReplyAnalysis;

// Number of simulated devices.
constexpr int kSimulatedDevices = 61;
// Gateway value the simulated network replies carry.
constexpr const char* kSimulatedGateway = "0.0.0.0";

// The network information reply of simulated device a (0 to 60).
std::string BuildSimulatedNetworkReply(int a);
// MAC address of simulated controller d (= controller index t).
std::string SimulatedControllerMac(int d);
// One simulated camera table page for controller t; counter gives the camera
// number of the first row and is advanced (and wrapped) as described above.
std::string BuildSimulatedCameraTablePage(int t, int& counter);

// The responder: keeps the page counter for the program's run. Create one
// and keep it as long as the program runs simulated.
class CSimulationResponder {
public:
    explicit CSimulationResponder(CReplyAnalysis* analysis);

    // Builds the replies of a = 0 to 60 in order and hands each to
    // AnalyzeNetworkInfo directly (no "Analyze start.", result not logged).
    void SimulateNetworkReplies();
    // Builds the next page for controller t and hands it to
    // AnalyzeCameraTable directly; returns its result code (-1 without an
    // analysis; the counter advances anyway).
    int SimulateCameraTablePage(int t);

    // Camera number of the first row of the next page.
    int PageCounter() const { return m_pageCounter; }

private:
    CReplyAnalysis* m_analysis;
    int m_pageCounter = 1;
};

}  // namespace korvo
