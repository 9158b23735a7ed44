// The UDP client in the tool namespace against devsim in the device
// namespace (both made by scripts/netns.sh for this run). The program
// refuses to run anywhere else, so it never broadcasts on a real network.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <thread>

#include "mainwindow/Messages.h"
#include "protocol/Frames.h"
#include "tests/e2e/E2eSupport.h"
#include "validation/Judge.h"

using namespace std::chrono_literals;

namespace korvo::e2e {
namespace {

constexpr std::size_t kDefaultFleet = 117;  // 112 cameras, 5 controllers

std::string Mac(bool controller, int n)
{
    char text[20];
    std::snprintf(text, sizeof text, "02-4B-56-%02X-%02X-%02X", controller ? 1 : 0, (n >> 8) & 0xFF, n & 0xFF);
    return text;
}

std::string Dotted(const Address4& a)
{
    char text[20];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    return text;
}

const DeviceRecord* Find(const std::vector<DeviceRecord>& records, const std::string& mac)
{
    CJudge judge;
    for (const DeviceRecord& r : records)
        if (judge.IsSameMacAddress(r.mac, mac) == kJudgeSameMacAddress)
            return &r;
    return nullptr;
}

class E2eTest : public ::testing::Test {
protected:
    void SetUp() override { LogCapture::Instance().Clear(); }

    void StartDevsim(const std::vector<std::string>& arguments = {})
    {
        std::string why;
        ASSERT_TRUE(devsim.Start(arguments, why)) << why;
    }

    // Inquiry of the whole default fleet; fills lists and directory.
    void Discover(std::size_t expected = kDefaultFleet)
    {
        ASSERT_EQ(station.Inquire(expected, 5000ms, 200ms), expected);
        ASSERT_EQ(station.Directory().size(), expected);
    }

    DevsimProcess devsim;
    Station station;
};

TEST_F(E2eTest, BroadcastInquiryYieldsOneRecordPerEmulatedDevice)
{
    StartDevsim();
    EXPECT_EQ(station.client.HostAddress(), "10.231.0.1");
    ASSERT_EQ(station.Inquire(kDefaultFleet, 5000ms, 300ms), kDefaultFleet);
    const std::vector<DeviceRecord> queue = station.Queue();

    std::set<std::string> macs;
    int cameras = 0, controllers = 0;
    for (const DeviceRecord& r : queue) {
        macs.insert(r.mac);
        (r.model == "IPCARD" ? cameras : controllers)++;
    }
    EXPECT_EQ(macs.size(), kDefaultFleet);
    EXPECT_EQ(cameras, 112);
    EXPECT_EQ(controllers, 5);
    EXPECT_TRUE(LogCapture::Instance().Texts(CRLog::kSymptom).empty()) << "a reply was rejected";

    // Values as the generated fleet gives them; both sides of the gateway rule.
    struct Expect {
        std::string mac, model, version, ip, gateway, name;
        int writable;
    };
    const std::vector<Expect> expected = {
        {Mac(false, 1), "IPCARD", "2.10", "192.168.1.10", "192.168.0.1", "CAM001", 1},
        {Mac(false, 4), "IPCARD", "2.01", "192.168.1.13", "0.0.0.0", "CAM004", 1},
        {Mac(false, 112), "IPCARD", "2.01", "192.168.1.121", "0.0.0.0", "CAM112", 1},
        {Mac(true, 1), "CONTROLLER", "2.10", "192.168.100.10", "192.168.0.1", "CTL01", 1},
        {Mac(true, 2), "ST-HUB80", "2.10", "192.168.100.11", "192.168.0.1", "CTL02", 1},
        {Mac(true, 3), "CONTROLLER", "2.01", "192.168.100.12", "0.0.0.0", "CTL03", 1},
        {Mac(true, 4), "ST-HUB80", "2.10", "192.168.100.13", "192.168.0.1", "CTL04", 0},
    };
    for (const Expect& e : expected) {
        SCOPED_TRACE(e.mac);
        const DeviceRecord* r = Find(queue, e.mac);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->model, e.model);
        EXPECT_EQ(r->version, e.version);
        EXPECT_EQ(Dotted(r->ip), e.ip);
        EXPECT_EQ(Dotted(r->mask), "255.255.0.0");
        EXPECT_EQ(Dotted(r->gateway), e.gateway);
        EXPECT_EQ(r->name, e.name);
        EXPECT_EQ(r->writable, e.writable);
    }
}

TEST_F(E2eTest, NetworkSettingIsAcknowledgedAndTheDeviceReportsTheNewValues)
{
    StartDevsim();
    Discover();
    const std::string target = Mac(false, 2);
    station.client.SendNetworkSetting(
        BuildNetworkSetting(target, "192.168.5.77", "255.255.255.0", "192.168.5.1", "Lobby"));
    ASSERT_TRUE(station.WaitFor([&] { return !station.owner.Answers().empty(); }, 3000ms));
    std::this_thread::sleep_for(100ms);
    auto answers = station.owner.Answers();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].message, static_cast<unsigned>(UWM_ACK));
    EXPECT_EQ(answers[0].entry.mac, target);
    EXPECT_EQ(answers[0].entry.model, "IPCARD");
    EXPECT_EQ(answers[0].entry.index, 1);  // second camera of the list
    EXPECT_EQ(answers[0].text, "Network settings changed");

    {
        std::lock_guard<platform::SemaphoreLock> guard(station.lock);
        station.store.ClearReplyQueue();
    }
    ASSERT_EQ(station.Inquire(kDefaultFleet, 5000ms, 200ms), kDefaultFleet);
    const auto queue = station.Queue();
    const DeviceRecord* r = Find(queue, target);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(Dotted(r->ip), "192.168.5.77");
    EXPECT_EQ(Dotted(r->mask), "255.255.255.0");
    EXPECT_EQ(Dotted(r->gateway), "192.168.5.1");
    EXPECT_EQ(r->name, "Lobby");
    const DeviceRecord* other = Find(queue, Mac(false, 3));
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(Dotted(other->ip), "192.168.1.12");  // nobody else changed
}

TEST_F(E2eTest, AcknowledgementsAndRefusalsAreMatchedToDevicesByMacAddress)
{
    StartDevsim();
    Discover();
    struct Case {
        std::string requestMac;  // as sent
        std::string ip, mask, name;
        unsigned answer;         // 0: none expected
        std::string entryMac, model;
        int index;
        std::string text;
    };
    std::string lowerCamera = Mac(false, 7);
    std::transform(lowerCamera.begin(), lowerCamera.end(), lowerCamera.begin(), ::tolower);
    const std::vector<Case> cases = {
        {Mac(false, 5), "192.168.1.200", "255.255.0.0", "cam5", UWM_ACK, Mac(false, 5), "IPCARD", 4,
         "Network settings changed"},
        {lowerCamera, "192.168.1.201", "255.255.0.0", "cam7", UWM_ACK, Mac(false, 7), "IPCARD", 6,
         "Network settings changed"},
        {Mac(true, 4), "192.168.100.50", "255.255.0.0", "hub", UWM_NAK, Mac(true, 4), "ST-HUB80", 3,
         "Write protected"},
        {Mac(true, 1), "192.168.0.0", "255.255.255.0", "ctl", UWM_NAK, Mac(true, 1), "CONTROLLER", 0,
         "IP address not usable with this subnet mask"},
        {Mac(false, 9), "192.168.1.9", "255.0.255.0", "cam9", UWM_NAK, Mac(false, 9), "IPCARD", 8,
         "Invalid subnet mask"},
        {"02-4B-56-7F-7F-7F", "192.168.1.9", "255.255.0.0", "ghost", 0, "", "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.requestMac + " " + c.text);
        station.owner.ClearNotices();
        station.client.SendNetworkSetting(BuildNetworkSetting(c.requestMac, c.ip, c.mask, "192.168.0.1", c.name));
        if (c.answer == 0) {
            station.WaitFor([] { return false; }, 400ms);
            EXPECT_TRUE(station.owner.Answers().empty());
            continue;
        }
        ASSERT_TRUE(station.WaitFor([&] { return !station.owner.Answers().empty(); }, 3000ms));
        auto answers = station.owner.Answers();
        ASSERT_EQ(answers.size(), 1u);
        EXPECT_EQ(answers[0].message, c.answer);
        EXPECT_EQ(answers[0].entry.mac, c.entryMac);
        EXPECT_EQ(answers[0].entry.model, c.model);
        EXPECT_EQ(answers[0].entry.index, c.index);
        EXPECT_EQ(answers[0].text, c.text);
    }
}

TEST_F(E2eTest, CameraTableReadInFourPagesFillsTheReceptionTables)
{
    StartDevsim();
    Discover();
    station.client.ClearReceptionTables();
    for (int page = 1; page <= 4; ++page) {
        SCOPED_TRACE(page);
        station.owner.ClearNotices();
        station.client.SendCameraTableInquiry(BuildCameraTableInquiry(page));
        // Every controller answers every page.
        ASSERT_TRUE(station.WaitFor([&] { return station.owner.TableNotices().size() >= 5; }, 3000ms));
        auto notices = station.owner.TableNotices();
        std::sort(notices.begin(), notices.end());
        EXPECT_EQ(notices, (std::vector<int>{0, 1, 2, 3, 4}));
    }
    for (int k = 0; k < kTableControllers; ++k) {
        SCOPED_TRACE(k);
        const ReceptionTable* table = station.client.GetReceptionTable(k);
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->controllerMac, Mac(true, k + 1));
        for (int n = 1; n <= kCameraTableRows; ++n) {
            const CameraTableEntry& row = table->rows[n - 1];
            ASSERT_EQ(row.flag, 1) << "camera " << n;
            ASSERT_EQ(row.number, n);
            ASSERT_EQ(row.mac, Mac(false, n));
            char name[8];
            std::snprintf(name, sizeof name, "CAM%03d", n);
            ASSERT_EQ(row.name, name);
            ASSERT_EQ(Dotted(row.ip), "192.168.1." + std::to_string(9 + n));
        }
        // The owner's copy at the last notice is the complete table.
        EXPECT_EQ(station.owner.TableCopy(k).rows, table->rows);
    }
}

TEST_F(E2eTest, CameraTableSettingIsStoredByTheControllerAndRefusedWhenReadOnly)
{
    StartDevsim();
    Discover();
    const std::vector<CameraTableSettingRow> rows = {
        {0, "02-4B-56-00-00-63", "192.168.1.108", "Door"},
        {111, "", "", ""},
    };
    station.client.SendCameraTableSetting(BuildCameraTableSettings(Mac(true, 2), rows).at(0));
    ASSERT_TRUE(station.WaitFor([&] { return !station.owner.Answers().empty(); }, 3000ms));
    auto answers = station.owner.Answers();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].message, static_cast<unsigned>(UWM_ACK));
    EXPECT_EQ(answers[0].entry.mac, Mac(true, 2));
    EXPECT_EQ(answers[0].text, "Camera table stored");

    station.owner.ClearNotices();
    station.client.SendCameraTableSetting(BuildCameraTableSettings(Mac(true, 4), rows).at(0));
    ASSERT_TRUE(station.WaitFor([&] { return !station.owner.Answers().empty(); }, 3000ms));
    answers = station.owner.Answers();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].message, static_cast<unsigned>(UWM_NAK));
    EXPECT_EQ(answers[0].text, "Write protected");

    station.client.ClearReceptionTables();
    for (int page : {1, 4}) {
        station.owner.ClearNotices();
        station.client.SendCameraTableInquiry(BuildCameraTableInquiry(page));
        ASSERT_TRUE(station.WaitFor([&] { return station.owner.TableNotices().size() >= 5; }, 3000ms));
    }
    const ReceptionTable* changed = station.client.GetReceptionTable(1);
    EXPECT_EQ(changed->rows[0].mac, "02-4B-56-00-00-63");
    EXPECT_EQ(changed->rows[0].name, "Door");
    EXPECT_EQ(Dotted(changed->rows[0].ip), "192.168.1.108");
    EXPECT_EQ(changed->rows[111].flag, 1);
    EXPECT_EQ(changed->rows[111].mac, "");
    EXPECT_EQ(changed->rows[111].name, "");
    EXPECT_EQ(Dotted(changed->rows[111].ip), "0.0.0.0");
    const ReceptionTable* untouched = station.client.GetReceptionTable(3);
    EXPECT_EQ(untouched->rows[0].mac, Mac(false, 1));
    EXPECT_EQ(untouched->rows[111].mac, Mac(false, 112));
}

TEST_F(E2eTest, InjectedFaultsShowAsLateMissingDuplicatedRejectedAndRefusedAnswers)
{
    const std::string fleet =
        "camera mac=02-00-00-00-00-01 delay=400\n"
        "camera mac=02-00-00-00-00-02 drop=100\n"
        "camera mac=02-00-00-00-00-03 duplicate=yes\n"
        "camera mac=02-00-00-00-00-04 malformed=yes\n"
        "camera mac=02-00-00-00-00-05 refuse=yes\n"
        "controller mac=02-00-00-00-01-01\n";
    const std::string file = WriteTempFile(fleet);
    ASSERT_FALSE(file.empty());
    StartDevsim({"--fleet", file});

    auto sent = std::chrono::steady_clock::now();
    station.client.SendNetworkInquiry(BuildNetworkInquiry());
    // The late camera is the last to arrive.
    ASSERT_TRUE(station.WaitFor([&] { return Find(station.Queue(), "02-00-00-00-00-01") != nullptr; }, 3000ms));
    auto lateAfter = std::chrono::steady_clock::now() - sent;
    station.WaitFor([] { return false; }, 300ms);
    std::remove(file.c_str());

    EXPECT_GE(lateAfter, 400ms);
    const auto queue = station.Queue();
    std::map<std::string, int> seen;
    for (const DeviceRecord& r : queue)
        seen[r.mac]++;
    EXPECT_EQ(seen, (std::map<std::string, int>{{"02-00-00-00-00-01", 1},
                                                {"02-00-00-00-00-03", 2},
                                                {"02-00-00-00-00-05", 1},
                                                {"02-00-00-00-01-01", 1}}));
    // The duplicate is listed once; the malformed reply was rejected (result 1).
    EXPECT_EQ(station.Directory().size(), 4u);
    auto symptoms = LogCapture::Instance().Texts(CRLog::kSymptom);
    EXPECT_EQ(std::count(symptoms.begin(), symptoms.end(), "[RCV]Network inquiry recieve error:1"), 1);

    station.client.SendNetworkSetting(
        BuildNetworkSetting("02-00-00-00-00-05", "192.168.1.50", "255.255.0.0", "192.168.0.1", "x"));
    ASSERT_TRUE(station.WaitFor([&] { return !station.owner.Answers().empty(); }, 3000ms));
    EXPECT_EQ(station.owner.Answers().at(0).message, static_cast<unsigned>(UWM_NAK));
    EXPECT_EQ(station.owner.Answers().at(0).text, "Refused");
}

// Run in a tool namespace without routes: the limited broadcast address is
// unreachable, so sending fails.
TEST(NoRoute, SendFailureReturnsMinusOneLogsAndKeepsTheSocketAndTheProcess)
{
    LogCapture::Instance().Clear();
    Station station;
    ASSERT_TRUE(station.client.IsOpen());
    EXPECT_EQ(station.client.SendNetworkInquiry(BuildNetworkInquiry()), -1);
    auto errors = LogCapture::Instance().Texts(CRLog::kNetworkErr);
    ASSERT_EQ(errors, std::vector<std::string>{"Error : sendto\n"});
    EXPECT_EQ(LogCapture::Instance().Texts(CRLog::kSndNetInq), std::vector<std::string>{BuildNetworkInquiry()});
    EXPECT_EQ(station.client.SendNetworkSetting(
                  BuildNetworkSetting(Mac(false, 1), "192.168.1.50", "255.255.0.0", "192.168.0.1", "x")),
              -1);

    // The socket and the receive thread carry on: a datagram that has a way
    // out is sent and an answer is still received and analysed.
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(station.client.IsOpen());
    EXPECT_TRUE(station.client.IsReceiving());
    ASSERT_TRUE(station.client.SetDestinationForTesting("127.0.0.1", station.client.LocalPort()));
    NetworkInfoFields self;
    self.mac = Mac(false, 1);
    self.model = "IPCARD";
    self.version = "2.10";
    self.ip = "192.168.1.10";
    self.mask = "255.255.0.0";
    self.name = "self";
    self.write = "on";
    self.gateway = "192.168.0.1";
    EXPECT_EQ(station.client.SendFrame(BuildNetworkInfoReply(self)), 0);
    EXPECT_TRUE(station.WaitFor([&] { return station.QueueCount() == 1; }, 3000ms));
}

// devsim started by hand (by netns.sh, defaults) before this program.
TEST(ByHand, DevsimAnswersABroadcastInquiryWith117WellFormedReplies)
{
    LogCapture::Instance().Clear();
    Station station;
    EXPECT_EQ(station.Inquire(kDefaultFleet, 5000ms, 300ms), kDefaultFleet);
    EXPECT_EQ(LogCapture::Instance().Texts(CRLog::kReceive).size(), kDefaultFleet);
    EXPECT_TRUE(LogCapture::Instance().Texts(CRLog::kSymptom).empty());
    EXPECT_EQ(station.Directory().size(), kDefaultFleet);
}

}  // namespace
}  // namespace korvo::e2e

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    std::string why;
    if (!korvo::e2e::InToolNamespace(why)) {
        std::fprintf(stderr, "e2e: not started: %s\n", why.c_str());
        return 1;
    }
    korvo::e2e::LogCapture::Instance();  // listener registered before any thread
    return RUN_ALL_TESTS();
}
