// Request and reply frames, byte for byte, and reply frames read back by the
// analysis.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "protocol/Frames.h"
#include "tests/protocol/AnalysisHarness.h"

namespace korvo {
namespace {

const std::string kFF(1, '\xFF');

std::string Bytes(std::initializer_list<unsigned char> bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

TEST(RequestFrames, NetworkInquiryIsTheFourteenBytes)
{
    EXPECT_EQ(BuildNetworkInquiry(),
              Bytes({0x02, 0x45, 0x4E, 0x51, 0x3A, 0x6E, 0x65, 0x74, 0x77, 0x6F, 0x72, 0x6B, 0xFF, 0x03}));
}

TEST(RequestFrames, CameraTableInquiryPages)
{
    EXPECT_EQ(BuildCameraTableInquiry(1), Bytes({0x02, 0x45, 0x4E, 0x51, 0x3A, 0x63, 0x61, 0x6D, 0x74, 0x61, 0x62,
                                                 0x6C, 0x65, 0x31, 0xFF, 0x03}));
    for (int page = 2; page <= 4; ++page)
        EXPECT_EQ(BuildCameraTableInquiry(page), "\x02" "ENQ:camtable" + std::to_string(page) + kFF + "\x03");
}

TEST(RequestFrames, NetworkSettingCarriesFiveFieldsInOrder)
{
    EXPECT_EQ(BuildNetworkSetting("02-00-C0-A8-00-01", "192.168.0.20", "255.255.255.0", "0.0.0.0", "cam 1"),
              "\x02MAC:02-00-C0-A8-00-01" + kFF + "IPADR:192.168.0.20" + kFF + "MASK:255.255.255.0" + kFF +
                  "GATEWAY:0.0.0.0" + kFF + "NAME:cam 1" + kFF + "\x03");
    // Empty values are still sent.
    EXPECT_EQ(BuildNetworkSetting("m", "", "", "", ""),
              "\x02MAC:m" + kFF + "IPADR:" + kFF + "MASK:" + kFF + "GATEWAY:" + kFF + "NAME:" + kFF + "\x03");
}

TEST(RequestFrames, RowText)
{
    EXPECT_EQ(BuildCameraTableRowText(1, "00-00-00-00-00-01", "1.2.3.10", "cam1"),
              "CAM001:00-00-00-00-00-01:1.2.3.10:cam1");
    EXPECT_EQ(BuildCameraTableRowText(12, "", "", ""), "CAM012:::");
    EXPECT_EQ(BuildCameraTableRowText(112, "", "10.0.0.1", ""), "CAM112::10.0.0.1:");
}

std::vector<CameraTableSettingRow> SettingRows(int count)
{
    std::vector<CameraTableSettingRow> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back({i, "", "", "c" + std::to_string(i)});
    return rows;
}

// Frames split into (controller field, row texts).
std::vector<std::vector<std::string>> RowsOf(const std::vector<std::string>& frames, const std::string& mac)
{
    std::vector<std::vector<std::string>> out;
    for (const std::string& frame : frames) {
        const std::string head = "\x02MAC:" + mac + kFF;
        EXPECT_EQ(frame.compare(0, head.size(), head), 0) << "frame opens with the controller";
        EXPECT_EQ(frame.back(), '\x03');
        std::vector<std::string> rows;
        std::size_t pos = head.size();
        while (pos < frame.size() - 1) {
            const std::size_t end = frame.find('\xFF', pos);
            EXPECT_NE(end, std::string::npos);
            if (end == std::string::npos)
                break;
            rows.push_back(frame.substr(pos, end - pos));
            pos = end + 1;
        }
        out.push_back(rows);
    }
    return out;
}

struct SplitCase {
    int rows;
    std::vector<std::size_t> perFrame;
};

class SettingSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SettingSplit, AtMostTwentyEightRowsPerFrame)
{
    const SplitCase& c = GetParam();
    const auto frames = BuildCameraTableSettings("02-00-C0-A8-01-00", SettingRows(c.rows));
    const auto rows = RowsOf(frames, "02-00-C0-A8-01-00");
    ASSERT_EQ(rows.size(), c.perFrame.size());
    int next = 0;
    for (std::size_t f = 0; f < rows.size(); ++f) {
        EXPECT_EQ(rows[f].size(), c.perFrame[f]) << "frame " << f;
        for (const std::string& row : rows[f]) {
            char expected[32];
            std::snprintf(expected, sizeof expected, "CAM%03d:::c%d", next + 1, next);
            EXPECT_EQ(row, expected);
            ++next;
        }
    }
    EXPECT_EQ(next, c.rows);
}

INSTANTIATE_TEST_SUITE_P(Counts, SettingSplit,
                         ::testing::Values(SplitCase{0, {}}, SplitCase{1, {1}}, SplitCase{27, {27}},
                                           SplitCase{28, {28}}, SplitCase{29, {28, 1}}, SplitCase{56, {28, 28}},
                                           SplitCase{57, {28, 28, 1}}, SplitCase{112, {28, 28, 28, 28}}));

TEST(RequestFrames, SettingRowsGoOutInAscendingTableIndex)
{
    const std::vector<CameraTableSettingRow> rows = {
        {40, "00-00-00-00-00-29", "10.0.0.41", "b"},
        {3, "", "", ""},
        {11, "", "", ""},
        {112, "", "", "too far"},
        {-1, "", "", "negative"},
        {0, "AA-BB-CC-DD-EE-FF", "10.0.0.1", "a"},
    };
    const auto frames = BuildCameraTableSettings("02-00-C0-A8-01-00", rows);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], "\x02MAC:02-00-C0-A8-01-00" + kFF + "CAM001:AA-BB-CC-DD-EE-FF:10.0.0.1:a" + kFF +
                             "CAM004:::" + kFF + "CAM012:::" + kFF + "CAM041:00-00-00-00-00-29:10.0.0.41:b" + kFF +
                             "\x03");
    EXPECT_TRUE(BuildCameraTableSettings("m", {{200, "", "", ""}}).empty());
}

TEST(ReplyFrames, NetworkInfoReplyInSimulationOrder)
{
    NetworkInfoFields f{"02-00-C0-A8-00-01", "IPCARD", "9.87", "192.168.0.1", "255.255.255.255", "abc100", "on", {}};
    const std::string plain = BuildNetworkInfoReply(f);
    EXPECT_EQ(plain, "\x02MAC:02-00-C0-A8-00-01" + kFF + "INFO:network" + kFF + "MODEL:IPCARD" + kFF +
                         "SOFTVERSION:9.87" + kFF + "IPADR:192.168.0.1" + kFF + "MASK:255.255.255.255" + kFF +
                         "NAME:abc100" + kFF + "WRITE:on" + kFF + "\x03");
    EXPECT_EQ(plain.size(), 127u);
    f.gateway = "10.0.0.254";
    EXPECT_EQ(BuildNetworkInfoReply(f), plain.substr(0, 126) + "GATEWAY:10.0.0.254" + kFF + "\x03");
}

TEST(ReplyFrames, AnswersPutTheMacAtOffsetFive)
{
    EXPECT_EQ(BuildAcknowledgement("02-00-C0-A8-00-01"), "\x02" "ACK:02-00-C0-A8-00-01" + kFF + "\x03");
    EXPECT_EQ(BuildRefusal("02-00-C0-A8-00-01", "busy"),
              "\x02NAK:02-00-C0-A8-00-01" + kFF + "\"busy\"" + kFF + "\x03");
    EXPECT_EQ(BuildRefusal("02-00-C0-A8-00-01", "").substr(5, 17), "02-00-C0-A8-00-01");
}

TEST(ReplyFrames, CameraTableReply)
{
    const std::string frame =
        BuildCameraTableReply("02-00-C0-A8-01-00", 3, {{57, "", "", ""}, {58, "00-00-00-00-00-3A", "1.1.1.1", "x"}});
    EXPECT_EQ(frame, "\x02MAC:02-00-C0-A8-01-00" + kFF + "INFO:camtable3" + kFF + "CAM057:::" + kFF +
                         "CAM058:00-00-00-00-00-3A:1.1.1.1:x" + kFF + "\x03");
}

// The reply builders produce what the analysis accepts.
TEST(ReplyFrames, AcceptedByTheAnalysis)
{
    test::Harness h;
    h.AddDirectoryDevice(2, "CONTROLLER", "02-00-C0-A8-03-00");
    NetworkInfoFields f{"02-00-C0-A8-03-00", "CONTROLLER", "2.10", "10.0.0.3", "255.0.0.0", "ctl", "off",
                        std::string("10.0.0.254")};
    EXPECT_EQ(h.analysis.AnalyzeNetworkInfo(BuildNetworkInfoReply(f)), 0);

    std::vector<CameraTableReplyRow> rows;
    for (int n = 85; n <= 112; ++n)
        rows.push_back({n, "", "", ""});
    EXPECT_EQ(h.analysis.AnalyzeCameraTable(BuildCameraTableReply(f.mac, 4, rows)), 0);
    EXPECT_EQ(h.tables[2].rows[111].flag, 1);

    h.analysis.AnalyzeReply(BuildRefusal(f.mac, "no"));
    ASSERT_EQ(h.owner.answers.size(), 1u);
    EXPECT_EQ(h.owner.answers[0].message, UWM_NAK);
    EXPECT_EQ(h.owner.answers[0].entry.index, 2);
    EXPECT_EQ(h.owner.answers[0].text, "no");
}

}  // namespace
}  // namespace korvo
