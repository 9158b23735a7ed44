// Simulated network replies and camera table pages, run through the analysis.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "protocol/Frames.h"
#include "protocol/Simulation.h"
#include "tests/protocol/AnalysisHarness.h"

namespace korvo {
namespace {

const std::string kFF(1, '\xFF');

TEST(SimulatedNetwork, FirstCameraReplyIsTheKnownFrameWithAGateway)
{
    const std::string known = "\x02MAC:02-00-C0-A8-00-01" + kFF + "INFO:network" + kFF + "MODEL:IPCARD" + kFF +
                              "SOFTVERSION:9.87" + kFF + "IPADR:192.168.0.1" + kFF + "MASK:255.255.255.255" + kFF +
                              "NAME:abc100" + kFF + "WRITE:on" + kFF;
    EXPECT_EQ(BuildSimulatedNetworkReply(0), known + "GATEWAY:0.0.0.0" + kFF + "\x03");
}

TEST(SimulatedNetwork, SixtyOneRepliesAreAllAccepted)
{
    test::Harness h;
    CSimulationResponder responder(&h.analysis);
    responder.SimulateNetworkReplies();

    std::vector<DeviceRecord> queue;
    h.store.CopyReplyQueue(queue);
    ASSERT_EQ(queue.size(), 61u);
    std::set<std::string> macs;
    for (const DeviceRecord& r : queue) {
        std::string lower = r.mac;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        macs.insert(lower);
        EXPECT_EQ(r.pending, 1);
        EXPECT_EQ(r.version, "9.87");
        EXPECT_EQ(r.gateway, (Address4{0, 0, 0, 0}));
        EXPECT_EQ(r.mask, (Address4{255, 255, 255, 255}));
    }
    EXPECT_EQ(macs.size(), 12u);  // six cameras and six controllers

    // Each reply asked for the queue and announced its record; nothing logged.
    EXPECT_EQ(h.owner.log.size(), 122u);
    for (std::size_t i = 0; i < h.owner.log.size(); ++i)
        EXPECT_EQ(h.owner.log[i].message, i % 2 == 0 ? UWM_GET_REPLY_QUEUE : UWM_NETWORK_INFO);
    EXPECT_TRUE(h.lines.empty());
}

struct DeviceCase {
    int a;
    const char* mac;
    const char* model;
    Address4 ip;
    const char* name;
    int writable;
};

class SimulatedDevices : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(SimulatedDevices, CarryTheirValues)
{
    const DeviceCase& c = GetParam();
    test::Harness h;
    ASSERT_EQ(h.analysis.AnalyzeNetworkInfo(BuildSimulatedNetworkReply(c.a)), 0);
    std::vector<DeviceRecord> queue;
    h.store.CopyReplyQueue(queue);
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_EQ(queue[0].mac, c.mac);
    EXPECT_EQ(queue[0].model, c.model);
    EXPECT_EQ(queue[0].ip, c.ip);
    EXPECT_EQ(queue[0].name, c.name);
    EXPECT_EQ(queue[0].writable, c.writable);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SimulatedDevices,
    ::testing::Values(DeviceCase{0, "02-00-C0-A8-00-01", "IPCARD", {192, 168, 0, 1}, "abc100", 1},
                      DeviceCase{2, "02-00-C0-A8-00-02", "IPCARD", {100, 169, 0, 210}, "", 1},
                      DeviceCase{4, "02-00-C0-A8-00-03", "IPCARD", {192, 168, 1, 230}, "Abc678", 1},
                      DeviceCase{6, "02-00-C0-A8-00-04", "IPCARD", {192, 168, 1, 220}, "abc100", 1},
                      DeviceCase{8, "02-00-C0-A8-00-05", "IPCARD", {192, 168, 0, 225}, "Abc678", 1},
                      DeviceCase{10, "02-00-C0-A8-00-06", "IPCARD", {192, 168, 0, 10}, "678", 1},
                      DeviceCase{14, "02-00-C0-A8-00-06", "IPCARD", {192, 168, 0, 14}, "", 1},
                      DeviceCase{60, "02-00-C0-A8-00-06", "IPCARD", {192, 168, 0, 60}, "abc100", 1},
                      DeviceCase{1, "02-00-C0-A8-01-00", "CONTROLLER", {192, 168, 0, 10}, "CTL001", 1},
                      DeviceCase{3, "02-00-C0-A8-02-00", "CONTROLLER", {192, 168, 0, 11}, "CTL002", 0},
                      DeviceCase{7, "02-00-C0-A8-04-00", "CONTROLLER", {192, 168, 0, 13}, "CTL004", 1},
                      DeviceCase{9, "02-00-C0-A8-05-00", "CONTROLLER", {192, 168, 0, 14}, "CTL005", 0},
                      DeviceCase{11, "02-00-C0-A8-06-00", "CONTROLLER", {192, 168, 0, 15}, "CTL006", 1},
                      DeviceCase{25, "02-00-C0-A8-06-00", "CONTROLLER", {192, 168, 0, 22}, "CTL006", 0},
                      DeviceCase{59, "02-00-C0-A8-06-00", "CONTROLLER", {192, 168, 0, 39}, "CTL006", 1}));

TEST(SimulatedCameraTable, FirstPageForControllerZero)
{
    int counter = 1;
    const std::string page = BuildSimulatedCameraTablePage(0, counter);
    const std::string head = "\x02MAC:02-00-C0-A8-01-00" + kFF + "INFO:camtable1" + kFF +
                             "CAM001:00-00-00-00-00-01:1.2.3.10:cam1" + kFF + "CAM002:::" + kFF +
                             "CAM003:00-00-00-00-00-03:3.2.3.10:cam3" + kFF;
    EXPECT_EQ(page.compare(0, head.size(), head), 0) << page;
    EXPECT_NE(page.find(kFF + "CAM010:00-00-00-00-00-0A:10.2.3.10:cam10" + kFF), std::string::npos);
    EXPECT_NE(page.find(kFF + "CAM028:00-00-00-00-00-1C:28.2.3.10:cam28" + kFF + "\x03"), std::string::npos);
    EXPECT_EQ(std::count(page.begin(), page.end(), '\xFF'), 30);
    EXPECT_EQ(counter, 29);
}

TEST(SimulatedCameraTable, SecondRowOfEveryPageIsEmptyAndControllerShapesTheAddress)
{
    int counter = 85;
    const std::string page = BuildSimulatedCameraTablePage(3, counter);
    EXPECT_EQ(page.compare(0, 22, "\x02MAC:02-00-C0-A8-04-00"), 0);
    EXPECT_NE(page.find(kFF + "CAM085:00-00-00-00-00-55:85.2.3.40:cam85" + kFF + "CAM086:::" + kFF),
              std::string::npos);
    EXPECT_NE(page.find("CAM112:00-00-00-00-00-70:112.2.3.40:cam112" + kFF + "\x03"), std::string::npos);
    EXPECT_EQ(counter, 1);  // wrapped after 112
    int other = 1;
    EXPECT_EQ(BuildSimulatedCameraTablePage(9, other).compare(0, 22, "\x02MAC:02-00-C0-A8-06-00"), 0);
}

TEST(SimulatedCameraTable, CounterContinuesAcrossReadsAndWraps)
{
    test::Harness h;
    h.AddDirectoryDevice(0, "CONTROLLER", "02-00-C0-A8-01-00");
    h.AddDirectoryDevice(1, "CONTROLLER", "02-00-C0-A8-02-00");
    CSimulationResponder responder(&h.analysis);
    EXPECT_EQ(responder.PageCounter(), 1);

    // First read: four pages fill controller 0's reception table.
    for (int page = 0; page < 4; ++page) {
        EXPECT_EQ(responder.SimulateCameraTablePage(0), 0);
        EXPECT_EQ(responder.PageCounter(), page == 3 ? 1 : 28 * (page + 1) + 1);
    }
    for (int i = 0; i < kCameraTableRows; ++i) {
        EXPECT_EQ(h.tables[0].rows[i].flag, 1) << i;
        EXPECT_EQ(h.tables[0].rows[i].number, i + 1);
    }
    EXPECT_EQ(h.tables[0].rows[29].name, "");  // second row of page 2 is empty
    EXPECT_EQ(h.tables[0].rows[30].name, "cam31");

    // Second read, another controller, stopped after two pages.
    EXPECT_EQ(responder.SimulateCameraTablePage(1), 0);
    EXPECT_EQ(responder.SimulateCameraTablePage(1), 0);
    EXPECT_EQ(responder.PageCounter(), 57);
    EXPECT_EQ(h.tables[1].rows[0].ip, (Address4{1, 2, 3, 20}));

    // Third read continues at 57 and wraps after 112.
    EXPECT_EQ(responder.SimulateCameraTablePage(0), 0);
    EXPECT_EQ(responder.SimulateCameraTablePage(0), 0);
    EXPECT_EQ(responder.PageCounter(), 1);
    EXPECT_EQ(responder.SimulateCameraTablePage(0), 0);
    EXPECT_EQ(responder.PageCounter(), 29);

    std::vector<platform::WParam> slots;
    for (const auto& d : h.owner.log) {
        EXPECT_EQ(d.message, UWM_CAMTABLE_REPLY);
        slots.push_back(d.wParam);
    }
    EXPECT_EQ(slots, (std::vector<platform::WParam>{0, 0, 0, 0, 1, 1, 0, 0, 0}));
}

TEST(SimulatedCameraTable, UnlistedControllerIsRefused)
{
    test::Harness h;
    CSimulationResponder responder(&h.analysis);
    EXPECT_EQ(responder.SimulateCameraTablePage(0), 10);
    EXPECT_EQ(responder.PageCounter(), 29);
    EXPECT_TRUE(h.owner.log.empty());
}

TEST(SimulatedCameraTable, NetworkHalfListsTheControllersTheTableHalfAnswersFor)
{
    // After the simulated inquiry, the controllers enter the directory in
    // order; the table page for each of the first five is then accepted.
    test::Harness h;
    CSimulationResponder responder(&h.analysis);
    responder.SimulateNetworkReplies();
    std::vector<DeviceRecord> queue;
    h.store.CopyReplyQueue(queue);
    for (const DeviceRecord& r : queue) {
        if (r.model == "CONTROLLER" && !h.store.HasController(r)) {
            h.store.AppendController(r);
            DeviceRecord listed;
            ASSERT_TRUE(h.store.FindController(static_cast<int>(h.store.ControllerCount()) - 1, listed));
            h.store.AddToDirectory(listed);
        }
    }
    ASSERT_EQ(h.store.ControllerCount(), 6u);
    for (int t = 0; t < 5; ++t)
        EXPECT_EQ(responder.SimulateCameraTablePage(t), 0) << t;
    EXPECT_EQ(responder.SimulateCameraTablePage(5), 10);
}

}  // namespace
}  // namespace korvo
