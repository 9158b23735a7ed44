// Reply analysis: network information replies, camera table replies,
// acknowledgements and refusals, dispatching and log lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "protocol/Frames.h"
#include "tests/protocol/AnalysisHarness.h"

namespace korvo {
namespace {

using test::Harness;
using test::LogLine;

const std::string kFF(1, '\xFF');

// A frame from (key+value, terminated) pieces.
struct Piece {
    std::string text;
    bool terminated = true;
};

std::string Frame(const std::vector<Piece>& pieces)
{
    std::string frame(1, '\x02');
    for (const Piece& p : pieces) {
        frame += p.text;
        if (p.terminated)
            frame += kFF;
    }
    frame += '\x03';
    return frame;
}

// A valid network information reply with one field replaced (value nullopt
// removes the field).
std::string NetworkReply(std::vector<std::pair<std::string, std::optional<std::string>>> changes = {})
{
    std::vector<std::pair<std::string, std::optional<std::string>>> fields = {
        {"MAC:", "02-00-C0-A8-00-01"}, {"INFO:", "network"},     {"MODEL:", "IPCARD"},
        {"SOFTVERSION:", "2.01"},      {"IPADR:", "192.168.0.1"}, {"MASK:", "255.255.255.0"},
        {"NAME:", "abc100"},           {"WRITE:", "on"},
    };
    for (auto& change : changes) {
        bool found = false;
        for (auto& field : fields) {
            if (field.first == change.first) {
                field.second = change.second;
                found = true;
            }
        }
        if (!found)
            fields.push_back(change);
    }
    std::vector<Piece> pieces;
    for (auto& field : fields) {
        if (field.second)
            pieces.push_back({field.first + *field.second});
    }
    return Frame(pieces);
}

// A valid network information reply without the given field, which is then
// appended as the last field without its terminating FF.
std::string NetworkReplyEndingUnterminated(const std::string& key, const std::string& value)
{
    std::string frame = NetworkReply({{key, std::nullopt}});
    frame.insert(frame.size() - 1, key + value);
    return frame;
}

// ---------------------------------------------------------------------------
// Network information replies

struct NetworkCase {
    const char* what;
    std::string frame;
    int result;
};

class NetworkInfoCases : public ::testing::TestWithParam<NetworkCase> {};

TEST_P(NetworkInfoCases, GivesResultAndStoresOnlyAccepted)
{
    const NetworkCase& c = GetParam();
    Harness h;
    EXPECT_EQ(h.analysis.AnalyzeNetworkInfo(c.frame), c.result) << c.what;

    // The reply queue copy is asked for first, whatever the outcome.
    ASSERT_FALSE(h.owner.log.empty());
    EXPECT_EQ(h.owner.log.front().message, UWM_GET_REPLY_QUEUE);
    EXPECT_FALSE(h.owner.log.front().posted);
    EXPECT_FALSE(h.owner.lockHeldDuringMessage);
    if (c.result == 0) {
        EXPECT_EQ(h.store.ReplyQueueCount(), 1u);
        EXPECT_EQ(h.owner.Messages(), (std::vector<unsigned>{UWM_GET_REPLY_QUEUE, UWM_NETWORK_INFO}));
        EXPECT_TRUE(h.owner.log.back().posted);
        EXPECT_EQ(h.owner.log.back().wParam, 0u);
        EXPECT_EQ(h.owner.log.back().lParam, 0);
    } else {
        EXPECT_EQ(h.store.ReplyQueueCount(), 0u);
        EXPECT_EQ(h.owner.Messages(), (std::vector<unsigned>{UWM_GET_REPLY_QUEUE}));
    }
    // The analysis itself writes no log line.
    EXPECT_TRUE(h.lines.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, NetworkInfoCases,
    ::testing::Values(
        NetworkCase{"valid", NetworkReply(), 0},
        NetworkCase{"MAC missing", NetworkReply({{"MAC:", std::nullopt}}), 1},
        NetworkCase{"MAC 16 characters", NetworkReply({{"MAC:", "02-00-C0-A8-00-0"}}), 1},
        NetworkCase{"MAC 18 characters", NetworkReply({{"MAC:", "02-00-C0-A8-00-011"}}), 1},
        NetworkCase{"MAC without FF", Frame({{"INFO:network"}, {"MODEL:IPCARD"}, {"MAC:02-00-C0-A8-00-01", false}}),
                    1},
        NetworkCase{"model missing", NetworkReply({{"MODEL:", std::nullopt}}), 2},
        NetworkCase{"model lower case", NetworkReply({{"MODEL:", "ipcard"}}), 2},
        NetworkCase{"model CONTROLLER", NetworkReply({{"MODEL:", "CONTROLLER"}}), 0},
        NetworkCase{"model ST-HUB80", NetworkReply({{"MODEL:", "ST-HUB80"}}), 0},
        NetworkCase{"version 3 characters", NetworkReply({{"SOFTVERSION:", "2.0"}}), 3},
        NetworkCase{"version 5 characters", NetworkReply({{"SOFTVERSION:", "2.011"}}), 3},
        NetworkCase{"version missing", NetworkReply({{"SOFTVERSION:", std::nullopt}}), 3},
        NetworkCase{"IP 6 characters", NetworkReply({{"IPADR:", "1.2.34"}}), 4},
        NetworkCase{"IP 16 characters", NetworkReply({{"IPADR:", "192.168.100.1000"}}), 4},
        NetworkCase{"IP two separators", NetworkReply({{"IPADR:", "1.2.34567"}}), 4},
        NetworkCase{"IP missing", NetworkReply({{"IPADR:", std::nullopt}}), 4},
        NetworkCase{"mask broken", NetworkReply({{"MASK:", "255.255"}}), 5},
        NetworkCase{"mask missing", NetworkReply({{"MASK:", std::nullopt}}), 5},
        NetworkCase{"no gateway, version 2.01", NetworkReply({{"SOFTVERSION:", "2.01"}}), 0},
        NetworkCase{"no gateway, version 2.02", NetworkReply({{"SOFTVERSION:", "2.02"}}), 6},
        NetworkCase{"no gateway, version 0.52", NetworkReply({{"SOFTVERSION:", "0.52"}}), 0},
        NetworkCase{"no gateway, version 0.53", NetworkReply({{"SOFTVERSION:", "0.53"}}), 6},
        NetworkCase{"no gateway, version 1.99", NetworkReply({{"SOFTVERSION:", "1.99"}}), 0},
        NetworkCase{"no gateway, version 9.87", NetworkReply({{"SOFTVERSION:", "9.87"}}), 6},
        NetworkCase{"no gateway, unreadable version", NetworkReply({{"SOFTVERSION:", "abcd"}}), 6},
        NetworkCase{"gateway with 2.02", NetworkReply({{"SOFTVERSION:", "2.02"}, {"GATEWAY:", "10.0.0.1"}}), 0},
        NetworkCase{"broken gateway", NetworkReply({{"SOFTVERSION:", "2.02"}, {"GATEWAY:", "10.0.0"}}), 6},
        NetworkCase{"broken gateway, old version", NetworkReply({{"GATEWAY:", "1.2.3"}}), 6},
        NetworkCase{"name 8 characters", NetworkReply({{"NAME:", "abcdefgh"}}), 0},
        NetworkCase{"name 9 characters", NetworkReply({{"NAME:", "abcdefghi"}}), 7},
        NetworkCase{"empty name", NetworkReply({{"NAME:", ""}}), 0},
        NetworkCase{"name missing", NetworkReply({{"NAME:", std::nullopt}}), 7},
        NetworkCase{"WRITE ON", NetworkReply({{"WRITE:", "ON"}}), 8},
        NetworkCase{"WRITE off", NetworkReply({{"WRITE:", "off"}}), 0},
        NetworkCase{"WRITE of", NetworkReply({{"WRITE:", "of"}}), 8},
        NetworkCase{"WRITE offf", NetworkReply({{"WRITE:", "offf"}}), 8},
        NetworkCase{"WRITE missing", NetworkReply({{"WRITE:", std::nullopt}}), 8},
        NetworkCase{"WRITE without FF",
                    Frame({{"MAC:02-00-C0-A8-00-01"}, {"INFO:network"}, {"MODEL:IPCARD"}, {"SOFTVERSION:2.01"},
                           {"IPADR:1.2.3.4"}, {"MASK:255.0.0.0"}, {"NAME:a"}, {"WRITE:on", false}}),
                    8},
        // Checks run in a fixed order: the first failing one decides.
        NetworkCase{"model before IP", NetworkReply({{"MODEL:", "X"}, {"IPADR:", "x"}}), 2},
        NetworkCase{"IP before mask", NetworkReply({{"IPADR:", "x"}, {"MASK:", "x"}}), 4},
        NetworkCase{"mask before version", NetworkReply({{"MASK:", "x"}, {"SOFTVERSION:", "x"}}), 5},
        NetworkCase{"version before name", NetworkReply({{"SOFTVERSION:", "x"}, {"NAME:", "123456789"}}), 3},
        NetworkCase{"name before write", NetworkReply({{"NAME:", "123456789"}, {"WRITE:", "x"}}), 7},
        NetworkCase{"write before gateway", NetworkReply({{"WRITE:", "x"}, {"SOFTVERSION:", "9.99"}}), 8},
        NetworkCase{"MAC before model", NetworkReply({{"MAC:", "x"}, {"MODEL:", "x"}}), 1},
        // A value without a following FF is empty and its length counts as
        // negative: only the "at most" rules (name, write) can pass.
        NetworkCase{"model without FF", NetworkReplyEndingUnterminated("MODEL:", "IPCARD"), 2},
        NetworkCase{"version without FF", NetworkReplyEndingUnterminated("SOFTVERSION:", "2.01"), 3},
        NetworkCase{"IP without FF", NetworkReplyEndingUnterminated("IPADR:", "192.168.0.1"), 4},
        NetworkCase{"mask without FF", NetworkReplyEndingUnterminated("MASK:", "255.255.255.0"), 5},
        NetworkCase{"gateway without FF, old version", NetworkReplyEndingUnterminated("GATEWAY:", "10.0.0.1"), 6},
        NetworkCase{"name without FF", NetworkReplyEndingUnterminated("NAME:", "abcdefghijk"), 0},
        NetworkCase{"write without FF", NetworkReplyEndingUnterminated("WRITE:", "on"), 8},
        // Address lengths and separators.
        NetworkCase{"IP 7 characters", NetworkReply({{"IPADR:", "1.2.3.4"}}), 0},
        NetworkCase{"IP 15 characters", NetworkReply({{"IPADR:", "192.168.100.200"}}), 0},
        NetworkCase{"IP empty fourth part", NetworkReply({{"IPADR:", "10.20.30."}}), 0},
        NetworkCase{"IP without digits", NetworkReply({{"IPADR:", "a.b.c.d"}}), 0},
        NetworkCase{"IP no separator", NetworkReply({{"IPADR:", "1234567"}}), 4},
        NetworkCase{"mask two separators", NetworkReply({{"MASK:", "255.255.2550"}}), 5},
        NetworkCase{"gateway 16 characters", NetworkReply({{"GATEWAY:", "192.168.100.1000"}}), 6},
        NetworkCase{"0x00 inside the name", NetworkReply({{"NAME:", std::string("ab\0cd", 5)}}), 8}));

TEST(NetworkInfo, StoresTheReceivedValues)
{
    Harness h;
    const std::string frame =
        NetworkReply({{"IPADR:", "300.1.2.-1"}, {"MASK:", "1.2.3.4.5"}, {"WRITE:", "off"}, {"NAME:", "n"},
                      {"SOFTVERSION:", "2.02"}, {"GATEWAY:", " +7.8.9.10"}, {"MODEL:", "ST-HUB80"}});
    ASSERT_EQ(h.analysis.AnalyzeNetworkInfo(frame), 0);
    std::vector<DeviceRecord> queue;
    h.store.CopyReplyQueue(queue);
    ASSERT_EQ(queue.size(), 1u);
    const DeviceRecord& r = queue[0];
    EXPECT_EQ(r.index, 0);
    EXPECT_EQ(r.pending, 1);
    EXPECT_EQ(r.mac, "02-00-C0-A8-00-01");
    EXPECT_EQ(r.model, "ST-HUB80");
    EXPECT_EQ(r.version, "2.02");
    EXPECT_EQ(r.name, "n");
    EXPECT_EQ(r.ip, (Address4{44, 1, 2, 255}));  // 300 keeps its low 8 bits; -1 is 255
    EXPECT_EQ(r.mask, (Address4{1, 2, 3, 4}));   // a fifth part is ignored
    EXPECT_EQ(r.gateway, (Address4{7, 8, 9, 10}));
    EXPECT_EQ(r.writable, 0);
    EXPECT_EQ(r.state, 0);
    EXPECT_EQ(r.message, "");
}

// Each address part is the number of its leading digits (after blanks and a
// sign), reduced to 8 bits; parts 1 to 3 end at the next ".", part 4 at the
// next "." or the end of the value.
struct SplitCase {
    const char* value;
    Address4 parts;
};

class AddressSplitCases : public ::testing::TestWithParam<SplitCase> {};

TEST_P(AddressSplitCases, NetworkReplyAndCameraTableRowReadTheSameParts)
{
    const SplitCase& c = GetParam();
    Harness h;
    ASSERT_EQ(h.analysis.AnalyzeNetworkInfo(NetworkReply({{"IPADR:", c.value}})), 0) << c.value;
    std::vector<DeviceRecord> queue;
    h.store.CopyReplyQueue(queue);
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_EQ(queue[0].ip, c.parts) << c.value;

    h.AddDirectoryDevice(0, "CONTROLLER", "02-00-C0-A8-01-00");
    std::vector<CameraTableReplyRow> rows;
    for (int n = 1; n <= 28; ++n)
        rows.push_back({n, "", n == 5 ? c.value : "", ""});
    ASSERT_EQ(h.analysis.AnalyzeCameraTable(BuildCameraTableReply("02-00-C0-A8-01-00", 1, rows)), 0) << c.value;
    EXPECT_EQ(h.tables[0].rows[4].ip, c.parts) << c.value;
}

INSTANTIATE_TEST_SUITE_P(Parts, AddressSplitCases,
                         ::testing::Values(SplitCase{"1.2.3.4", {1, 2, 3, 4}},
                                           SplitCase{"10.20.30.", {10, 20, 30, 0}},
                                           SplitCase{" 1. 2.\t3.+4", {1, 2, 3, 4}},
                                           SplitCase{"-1.-255.256.0", {255, 1, 0, 0}},
                                           SplitCase{"1a.2b.3c.4d", {1, 2, 3, 4}},
                                           SplitCase{"a.b.c.d", {0, 0, 0, 0}},
                                           SplitCase{"- 1.+-2.3.4", {0, 0, 3, 4}},
                                           SplitCase{"1...2345", {1, 0, 0, 41}},
                                           SplitCase{"1.2.3.4.5.6", {1, 2, 3, 4}},
                                           SplitCase{"300.1.2.3", {44, 1, 2, 3}}));

TEST(NetworkInfo, OldVersionWithoutGatewayStoresZeroGatewayAndWritable)
{
    Harness h;
    ASSERT_EQ(h.analysis.AnalyzeNetworkInfo(NetworkReply()), 0);
    std::vector<DeviceRecord> queue;
    h.store.CopyReplyQueue(queue);
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_EQ(queue[0].gateway, (Address4{0, 0, 0, 0}));
    EXPECT_EQ(queue[0].writable, 1);
    EXPECT_EQ(queue[0].ip, (Address4{192, 168, 0, 1}));
}

TEST(NetworkInfo, KeysInAnyOrder)
{
    Harness h;
    const std::string frame = Frame({{"NAME:cam"}, {"WRITE:on"}, {"GATEWAY:0.0.0.0"}, {"MASK:255.255.0.0"},
                                     {"IPADR:10.1.2.3"}, {"SOFTVERSION:3.00"}, {"MODEL:IPCARD"}, {"INFO:network"},
                                     {"MAC:aa-bb-cc-dd-ee-ff"}});
    ASSERT_EQ(h.analysis.AnalyzeNetworkInfo(frame), 0);
    std::vector<DeviceRecord> queue;
    h.store.CopyReplyQueue(queue);
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_EQ(queue[0].name, "cam");
    EXPECT_EQ(queue[0].mac, "aa-bb-cc-dd-ee-ff");
    EXPECT_EQ(queue[0].ip, (Address4{10, 1, 2, 3}));
}

TEST(NetworkInfo, NameAsLastFieldWithoutFFIsEmpty)
{
    Harness h;
    const std::string frame = Frame({{"MAC:02-00-C0-A8-00-01"}, {"INFO:network"}, {"MODEL:IPCARD"},
                                     {"SOFTVERSION:2.01"}, {"IPADR:1.2.3.4"}, {"MASK:255.0.0.0"}, {"WRITE:on"},
                                     {"NAME:abcdefghijk", false}});
    ASSERT_EQ(h.analysis.AnalyzeNetworkInfo(frame), 0);
    std::vector<DeviceRecord> queue;
    h.store.CopyReplyQueue(queue);
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_EQ(queue[0].name, "");
}

std::string MacOf(int i)
{
    char text[32];
    std::snprintf(text, sizeof text, "0a-00-00-00-%02x-%02x", i / 256, i % 256);
    return text;
}

TEST(NetworkInfo, ReplyQueueTakes256DistinctDevices)
{
    Harness h;
    for (int i = 0; i < 255; ++i) {
        DeviceRecord r;
        r.mac = MacOf(i);
        h.store.AppendToReplyQueue(r);
    }
    // The 256th distinct device is still taken.
    ASSERT_EQ(h.analysis.AnalyzeNetworkInfo(NetworkReply({{"MAC:", MacOf(255)}})), 0);
    ASSERT_EQ(h.store.ReplyQueueCount(), 256u);
    // A new one is refused.
    EXPECT_EQ(h.analysis.AnalyzeNetworkInfo(NetworkReply({{"MAC:", MacOf(256)}})), 1);
    EXPECT_EQ(h.store.ReplyQueueCount(), 256u);
    // One of those 256, in another letter case, is stored again.
    EXPECT_EQ(h.analysis.AnalyzeNetworkInfo(NetworkReply({{"MAC:", "0A-00-00-00-00-FF"}})), 0);
    EXPECT_EQ(h.analysis.AnalyzeNetworkInfo(NetworkReply({{"MAC:", MacOf(0)}})), 0);
    EXPECT_EQ(h.store.ReplyQueueCount(), 258u);
    EXPECT_EQ(h.analysis.AnalyzeNetworkInfo(NetworkReply({{"MAC:", MacOf(300)}})), 1);
}

TEST(NetworkInfo, WithoutOwnerNothingIsSentOrStored)
{
    CDataCommon store;
    platform::SemaphoreLock lock;
    std::array<ReceptionTable, kTableControllers> tables{};
    CReplyAnalysis analysis(nullptr, &store, &lock, &tables);
    EXPECT_EQ(analysis.AnalyzeNetworkInfo(NetworkReply()), 0);
    EXPECT_EQ(analysis.AnalyzeNetworkInfo(NetworkReply({{"WRITE:", "ON"}})), 8);
    EXPECT_EQ(store.ReplyQueueCount(), 0u);

    DeviceRecord controller;
    controller.mac = "02-00-C0-A8-01-00";
    controller.model = "CONTROLLER";
    store.AddToDirectory(controller);
    std::string page = Frame({{"MAC:02-00-C0-A8-01-00"}, {"INFO:camtable1"}});
    EXPECT_EQ(analysis.AnalyzeCameraTable(page), 1);
    EXPECT_EQ(analysis.AnalyzeAcknowledgement(BuildAcknowledgement("02-00-C0-A8-01-00", "x")), 0);
    EXPECT_EQ(tables[0].controllerMac, "");
}

// ---------------------------------------------------------------------------
// Camera table replies

const std::string kController = "02-00-C0-A8-01-00";

std::vector<CameraTableReplyRow> Rows(int first, int count)
{
    std::vector<CameraTableReplyRow> rows;
    for (int n = first; n < first + count; ++n) {
        char mac[32];
        std::snprintf(mac, sizeof mac, "00-00-00-00-00-%02X", n);
        rows.push_back({n, mac, std::to_string(n) + ".2.3.10", "cam" + std::to_string(n)});
    }
    return rows;
}

struct TableHarness : Harness {
    TableHarness()
    {
        AddDirectoryDevice(0, "IPCARD", "02-00-C0-A8-00-01");
        AddDirectoryDevice(0, "CONTROLLER", kController);
        AddDirectoryDevice(1, "ST-HUB80", "02-00-C0-A8-02-00");
        AddDirectoryDevice(5, "CONTROLLER", "02-00-C0-A8-06-00");
    }
};

TEST(CameraTable, TwentyEightRowsFillTheirPositions)
{
    TableHarness h;
    ASSERT_EQ(h.analysis.AnalyzeCameraTable(BuildCameraTableReply(kController, 1, Rows(29, 28))), 0);
    EXPECT_EQ(h.tables[0].controllerMac, kController);
    for (int i = 0; i < kCameraTableRows; ++i) {
        const CameraTableEntry& row = h.tables[0].rows[i];
        const bool onPage = i >= 28 && i < 56;
        EXPECT_EQ(row.flag, onPage ? 1 : 0) << i;
        EXPECT_EQ(row.number, onPage ? i + 1 : 0) << i;
    }
    const CameraTableEntry& row = h.tables[0].rows[28];
    EXPECT_EQ(row.mac, "00-00-00-00-00-1D");
    EXPECT_EQ(row.ip, (Address4{29, 2, 3, 10}));
    EXPECT_EQ(row.name, "cam29");
    EXPECT_EQ(row.mask, (Address4{0, 0, 0, 0}));
    EXPECT_EQ(h.owner.Messages(), (std::vector<unsigned>{UWM_CAMTABLE_REPLY}));
    EXPECT_EQ(h.owner.log[0].wParam, 0u);
    EXPECT_FALSE(h.owner.log[0].posted);
    // Other tables untouched.
    for (int k = 1; k < kTableControllers; ++k)
        EXPECT_EQ(h.tables[k].controllerMac, "");
}

TEST(CameraTable, ControllerMatchedWithoutRegardToCaseGivesItsIndex)
{
    TableHarness h;
    ASSERT_EQ(h.analysis.AnalyzeCameraTable(BuildCameraTableReply("02-00-c0-a8-02-00", 2, Rows(1, 28))), 0);
    EXPECT_EQ(h.tables[1].controllerMac, "02-00-c0-a8-02-00");
    EXPECT_EQ(h.tables[1].rows[0].flag, 1);
    ASSERT_EQ(h.owner.log.size(), 1u);
    EXPECT_EQ(h.owner.log[0].wParam, 1u);
}

TEST(CameraTable, TwentySevenRowsFailAndKeepTheUnpackedRows)
{
    TableHarness h;
    EXPECT_EQ(h.analysis.AnalyzeCameraTable(BuildCameraTableReply(kController, 1, Rows(1, 27))), 9);
    EXPECT_TRUE(h.owner.log.empty());
    for (int i = 0; i < 27; ++i)
        EXPECT_EQ(h.tables[0].rows[i].flag, 1) << i;
    EXPECT_EQ(h.tables[0].rows[27].flag, 0);
}

TEST(CameraTable, TwentyNineRowsTakeTheFirstTwentyEight)
{
    TableHarness h;
    EXPECT_EQ(h.analysis.AnalyzeCameraTable(BuildCameraTableReply(kController, 1, Rows(1, 29))), 0);
    EXPECT_EQ(h.tables[0].rows[27].flag, 1);
    EXPECT_EQ(h.tables[0].rows[28].flag, 0);
    EXPECT_EQ(h.owner.Messages(), (std::vector<unsigned>{UWM_CAMTABLE_REPLY}));
}

TEST(CameraTable, EmptyRowsStoreEmptyValues)
{
    TableHarness h;
    std::vector<CameraTableReplyRow> rows;
    for (int n = 1; n <= 28; ++n)
        rows.push_back({n, "", "", ""});
    h.tables[0].rows[0].name = "old";
    h.tables[0].rows[0].ip = {1, 2, 3, 4};
    h.tables[0].rows[0].mac = "00-00-00-00-00-01";
    ASSERT_EQ(h.analysis.AnalyzeCameraTable(BuildCameraTableReply(kController, 1, rows)), 0);
    EXPECT_EQ(h.tables[0].rows[0].name, "");
    EXPECT_EQ(h.tables[0].rows[0].mac, "");
    EXPECT_EQ(h.tables[0].rows[0].ip, (Address4{0, 0, 0, 0}));
    EXPECT_EQ(h.tables[0].rows[0].flag, 1);
}

struct TableCase {
    const char* what;
    std::string frame;
    int result;
};

// A page whose first row is replaced by the given text.
std::string PageWithFirstRow(const std::string& first, const std::string& controller = kController)
{
    std::string frame = "\x02MAC:" + controller + kFF + "INFO:camtable1" + kFF + first + kFF;
    for (const CameraTableReplyRow& r : Rows(2, 27))
        frame += BuildCameraTableRowText(r.number, r.mac, r.ip, r.name) + kFF;
    return frame + '\x03';
}

class CameraTableCases : public ::testing::TestWithParam<TableCase> {};

TEST_P(CameraTableCases, FailsWithoutNotificationAndWritesOnlyItsTable)
{
    const TableCase& c = GetParam();
    TableHarness h;
    std::array<ReceptionTable, kTableControllers> before = h.tables;
    EXPECT_EQ(h.analysis.AnalyzeCameraTable(c.frame), c.result) << c.what;
    EXPECT_TRUE(h.owner.log.empty()) << c.what;
    // The first row is broken, so nothing but the controller MAC address may
    // have changed.
    before[0].controllerMac = h.tables[0].controllerMac;
    for (int k = 0; k < kTableControllers; ++k) {
        EXPECT_EQ(h.tables[k].controllerMac, before[k].controllerMac) << c.what;
        for (int i = 0; i < kCameraTableRows; ++i)
            EXPECT_EQ(h.tables[k].rows[i].flag, 0) << c.what << " table " << k << " row " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CameraTableCases,
    ::testing::Values(
        TableCase{"no MAC", Frame({{"INFO:camtable1"}, {"CAM001:::"}}), 1},
        TableCase{"controller MAC 16", PageWithFirstRow("CAM001:::", "02-00-C0-A8-01-0"), 10},
        TableCase{"controller unknown", PageWithFirstRow("CAM001:::", "02-00-C0-A8-09-00"), 10},
        TableCase{"camera is no controller slot", PageWithFirstRow("CAM001:::", "02-00-C0-A8-06-00"), 10},
        TableCase{"no rows", Frame({{"MAC:" + kController}, {"INFO:camtable1"}}), 9},
        TableCase{"number 000", PageWithFirstRow("CAM000:::"), 9},
        TableCase{"number 113", PageWithFirstRow("CAM113:::"), 9},
        TableCase{"number 999", PageWithFirstRow("CAM999:::"), 9},
        TableCase{"number -01", PageWithFirstRow("CAM-01:::"), 9},
        TableCase{"number two digits", PageWithFirstRow("CAM01:::"), 9},
        TableCase{"number four digits", PageWithFirstRow("CAM0001:::"), 9},
        TableCase{"row MAC 16", PageWithFirstRow("CAM001:00-00-00-00-00-0::"), 10},
        TableCase{"row MAC 18", PageWithFirstRow("CAM001:00-00-00-00-00-011::"), 10},
        TableCase{"row IP 6", PageWithFirstRow("CAM001::1.2.34:"), 11},
        TableCase{"row IP 16", PageWithFirstRow("CAM001::192.168.100.1000:"), 11},
        TableCase{"row IP two separators", PageWithFirstRow("CAM001::1.2.34567:"), 11},
        TableCase{"row name 9", PageWithFirstRow("CAM001:::abcdefghi"), 12},
        TableCase{"controller MAC without FF",
                  "\x02INFO:camtable1" + kFF + "CAM001:::" + kFF + "MAC:" + kController + "\x03", 10},
        TableCase{"number without a colon", "\x02MAC:" + kController + kFF + "INFO:camtable1" + kFF + "CAM001" + kFF +
                                                "\x03", 9},
        // Row values run to the next ":" wherever it is, here in the next row.
        TableCase{"row MAC runs into the next row", PageWithFirstRow("CAM001:00-00-00-00-00-01"), 10},
        // The IP value "1.2.3.4" FF "CAM002" is 14 characters with four parts,
        // so the name after it, the rest of the next row, is what fails.
        TableCase{"row IP runs into the next row", PageWithFirstRow("CAM001::1.2.3.4"), 12},
        TableCase{"row IP without a colon anywhere after it",
                  "\x02MAC:" + kController + kFF + "INFO:camtable1" + kFF + "CAM001::1.2.3.4" + kFF + "\x03", 11},
        TableCase{"last row name without FF",
                  "\x02MAC:" + kController + kFF + "INFO:camtable1" + kFF + "CAM001:::abc\x03", 12}));

TEST(CameraTable, CameraNumberIsReadLikeAnAddressPart)
{
    // The three characters before ":" are read as a decimal number after
    // optional blanks and a sign; what follows the digits is ignored.
    TableHarness h;
    std::string frame = "\x02MAC:" + kController + kFF + "INFO:camtable1" + kFF;
    frame += "CAM 01:00-00-00-00-00-01:1.2.3.4:a" + kFF;
    frame += "CAM+02:::" + kFF;
    frame += "CAM3x9:::" + kFF;
    for (const CameraTableReplyRow& r : Rows(4, 25))
        frame += BuildCameraTableRowText(r.number, r.mac, r.ip, r.name) + kFF;
    frame += '\x03';
    ASSERT_EQ(h.analysis.AnalyzeCameraTable(frame), 0);
    EXPECT_EQ(h.tables[0].rows[0].number, 1);
    EXPECT_EQ(h.tables[0].rows[0].name, "a");
    EXPECT_EQ(h.tables[0].rows[1].number, 2);
    EXPECT_EQ(h.tables[0].rows[2].number, 3);
    EXPECT_EQ(h.tables[0].rows[2].flag, 1);
    EXPECT_EQ(h.tables[0].rows[28].flag, 0);
}

TEST(CameraTable, OutOfRangeNumberLaterInThePageKeepsEarlierRows)
{
    TableHarness h;
    std::string frame = "\x02MAC:" + kController + kFF + "INFO:camtable1" + kFF;
    for (const CameraTableReplyRow& r : Rows(1, 5))
        frame += BuildCameraTableRowText(r.number, r.mac, r.ip, r.name) + kFF;
    frame += "CAM113:00-00-00-00-00-71:1.2.3.4:x" + kFF + '\x03';
    EXPECT_EQ(h.analysis.AnalyzeCameraTable(frame), 9);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(h.tables[0].rows[i].flag, 1);
    for (int i = 5; i < kCameraTableRows; ++i) {
        EXPECT_EQ(h.tables[0].rows[i].flag, 0);
        EXPECT_EQ(h.tables[0].rows[i].number, 0);
    }
    EXPECT_TRUE(h.owner.log.empty());
}

TEST(CameraTable, ControllerAtIndexFiveLogsTheMappingError)
{
    TableHarness h;
    h.analysis.AnalyzeReply(BuildCameraTableReply("02-00-C0-A8-06-00", 1, Rows(1, 28)));
    const std::vector<LogLine> expected = {
        {CRLog::kRcvCamInq, "Analyze start.", "UdpClient"},
        {CRLog::kSymptom, "[ERROR]MACToNum error.", "UdpClient"},
        {CRLog::kSymptom, "[RCV]Cameratable inquiry recieve error:10", "UdpClient"},
    };
    EXPECT_EQ(h.lines, expected);
    EXPECT_TRUE(h.owner.log.empty());
}

TEST(CameraTable, CameraNamedNetworkIsTakenForANetworkReply)
{
    TableHarness h;
    std::vector<CameraTableReplyRow> rows = Rows(1, 28);
    rows[3].name = "network";
    h.analysis.AnalyzeReply(BuildCameraTableReply(kController, 1, rows));
    const std::vector<LogLine> expected = {
        {CRLog::kRcvNetInq, "Analyze start.", "UdpClient"},
        {CRLog::kSymptom, "[RCV]Network inquiry recieve error:2", "UdpClient"},
    };
    EXPECT_EQ(h.lines, expected);
    EXPECT_EQ(h.owner.Messages(), (std::vector<unsigned>{UWM_GET_REPLY_QUEUE}));
    EXPECT_EQ(h.tables[0].rows[0].flag, 0);
    EXPECT_EQ(h.store.ReplyQueueCount(), 0u);
}

// ---------------------------------------------------------------------------
// Acknowledgements and refusals

struct AnswerHarness : Harness {
    AnswerHarness()
    {
        AddDirectoryDevice(3, "IPCARD", "02-00-C0-A8-00-04");
        AddDirectoryDevice(1, "CONTROLLER", "02-00-C0-A8-02-00");
        AddDirectoryDevice(7, "IPCARD", "02-00-c0-a8-02-00");  // same device in other case: never added
    }
};

struct AnswerCase {
    const char* what;
    std::string frame;
    bool refusal;
    bool delivered;
    DeviceDirectoryEntry entry;
    std::string message;
};

class AnswerCases : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(AnswerCases, ReachTheOwnerWithEntryAndMessage)
{
    const AnswerCase& c = GetParam();
    AnswerHarness h;
    h.analysis.AnalyzeReply(c.frame);
    const int category = c.refusal ? CRLog::kRcvNak : CRLog::kRcvAck;
    EXPECT_EQ(h.lines, (std::vector<LogLine>{{category, "Analyze start.", "UdpClient"}})) << c.what;
    if (!c.delivered) {
        EXPECT_TRUE(h.owner.log.empty()) << c.what;
        return;
    }
    ASSERT_EQ(h.owner.answers.size(), 1u) << c.what;
    EXPECT_EQ(h.owner.answers[0].message, c.refusal ? UWM_NAK : UWM_ACK) << c.what;
    EXPECT_EQ(h.owner.answers[0].entry, c.entry) << c.what;
    EXPECT_EQ(h.owner.answers[0].text, c.message) << c.what;
    EXPECT_FALSE(h.owner.log[0].posted);
    EXPECT_FALSE(h.owner.lockHeldDuringMessage);
}

const DeviceDirectoryEntry kCamera{3, "IPCARD", "02-00-C0-A8-00-04"};
const DeviceDirectoryEntry kCtl{1, "CONTROLLER", "02-00-C0-A8-02-00"};

INSTANTIATE_TEST_SUITE_P(
    Frames, AnswerCases,
    ::testing::Values(
        AnswerCase{"ack with message", BuildAcknowledgement("02-00-C0-A8-00-04", "done"), false, true, kCamera,
                   "done"},
        AnswerCase{"ack without message", BuildAcknowledgement("02-00-C0-A8-00-04"), false, true, kCamera, ""},
        AnswerCase{"nak with message", BuildRefusal("02-00-C0-A8-02-00", "bad name"), true, true, kCtl, "bad name"},
        AnswerCase{"nak without message", BuildRefusal("02-00-C0-A8-02-00"), true, true, kCtl, ""},
        AnswerCase{"nak with one quote", "\x02NAK:02-00-C0-A8-02-00\xFF\"half\xFF\x03", true, true, kCtl, ""},
        AnswerCase{"message with three quotes", "\x02NAK:02-00-C0-A8-02-00\"a\"b\"\x03", true, true, kCtl, "a"},
        AnswerCase{"other case", BuildAcknowledgement("02-00-c0-a8-00-04", ""), false, true, kCamera, ""},
        AnswerCase{"unknown device", BuildAcknowledgement("02-00-C0-A8-00-09", "x"), false, false, {}, ""},
        AnswerCase{"no STX", "ACK:02-00-C0-A8-00-04\xFF\x03", false, false, {}, ""},
        AnswerCase{"too short", "\x02""ACK:02-00", false, false, {}, ""},
        AnswerCase{"key only", "ACK:", false, false, {}, ""}));

TEST(Answers, DirectoryEmptiedMeansNobodyIsTold)
{
    AnswerHarness h;
    h.store.FilterDirectory(0);
    EXPECT_EQ(h.analysis.AnalyzeAcknowledgement(BuildAcknowledgement("02-00-C0-A8-00-04")), 0);
    EXPECT_EQ(h.analysis.AnalyzeRefusal(BuildRefusal("02-00-C0-A8-00-04")), 0);
    EXPECT_TRUE(h.owner.log.empty());
}

// ---------------------------------------------------------------------------
// Dispatch

struct DispatchCase {
    const char* what;
    std::string text;
    std::vector<LogLine> lines;
    std::vector<unsigned> messages;
};

class DispatchCases : public ::testing::TestWithParam<DispatchCase> {};

TEST_P(DispatchCases, LogsAndRoutes)
{
    const DispatchCase& c = GetParam();
    AnswerHarness h;
    h.analysis.AnalyzeReply(c.text);
    EXPECT_EQ(h.lines, c.lines) << c.what;
    EXPECT_EQ(h.owner.Messages(), c.messages) << c.what;
}

const LogLine kUnknown{CRLog::kRcvUnknown, "Unknown message.", "UdpClient"};
const LogLine kNetStart{CRLog::kRcvNetInq, "Analyze start.", "UdpClient"};

std::string WithZeroAt(std::string text, std::size_t at)
{
    text.insert(at, 1, '\0');
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DispatchCases,
    ::testing::Values(
        DispatchCase{"accepted network reply", NetworkReply(), {kNetStart}, {UWM_GET_REPLY_QUEUE, UWM_NETWORK_INFO}},
        DispatchCase{"refused network reply",
                     NetworkReply({{"WRITE:", "ON"}}),
                     {kNetStart, {CRLog::kSymptom, "[RCV]Network inquiry recieve error:8", "UdpClient"}},
                     {UWM_GET_REPLY_QUEUE}},
        DispatchCase{"INFO: without a kind, holding ACK:",
                     "\x02INFO:other\xFF" "ACK:02-00-C0-A8-00-04\xFF\x03", {kUnknown}, {}},
        DispatchCase{"nothing known", "\x02HELLO\xFF\x03", {kUnknown}, {}},
        DispatchCase{"empty text", "", {kUnknown}, {}},
        DispatchCase{"zero byte before everything", WithZeroAt(NetworkReply(), 1), {kUnknown}, {}},
        DispatchCase{"zero byte in the middle",
                     WithZeroAt(NetworkReply(), NetworkReply().find("WRITE:")),
                     {kNetStart, {CRLog::kSymptom, "[RCV]Network inquiry recieve error:8", "UdpClient"}},
                     {UWM_GET_REPLY_QUEUE}},
        DispatchCase{"zero byte hides the ACK after NAK",
                     WithZeroAt("\x02NAK:02-00-C0-A8-00-04\xFF\x03", 22) + "ACK:", {{CRLog::kRcvNak, "Analyze start.",
                                                                                        "UdpClient"}},
                     {UWM_NAK}},
        DispatchCase{"ACK wins over NAK", "\x02""ACK:02-00-C0-A8-00-04 NAK:\xFF\x03",
                     {{CRLog::kRcvAck, "Analyze start.", "UdpClient"}}, {UWM_ACK}},
        DispatchCase{"format characters stay data", "\x02%s%n%d\xFF\x03", {kUnknown}, {}}));

TEST(Dispatch, ZeroByteEndsTheTextForDirectCallsToo)
{
    Harness h;
    std::string frame = NetworkReply();
    frame.insert(frame.find("NAME:"), 1, '\0');
    EXPECT_EQ(h.analysis.AnalyzeNetworkInfo(frame), 7);
    EXPECT_EQ(h.store.ReplyQueueCount(), 0u);
}

}  // namespace
}  // namespace korvo
