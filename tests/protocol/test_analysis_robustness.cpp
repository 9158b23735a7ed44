// Robustness of reply analysis against broken datagrams: a fixed-seed
// mutator (bit flips, inserted protocol keys, 0xFF and 0x00 bytes, deleted
// and repeated ranges, truncation, splicing of two frames) turns the seed
// frames into a bounded number of datagrams, delivered as the receive loop
// delivers them; after each one the stored data and the notifications must
// keep every invariant (reception rows only at their own position, at most
// 256 distinct devices in the reply queue, names of at most 8 and MAC
// addresses of 17 characters, the directory untouched, the lock released).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "tools/fuzz/AnalysisRig.h"

namespace korvo {
namespace {

using fuzz::AnalysisRig;
using fuzz::QueueFill;

// Rigs (each with a fresh store) and datagrams per rig.
constexpr int kRigs = 600;
constexpr int kDatagramsPerRig = 50;
constexpr std::uint32_t kSeed = 0x4B6F7276;

const std::vector<std::string> kKeys = {
    "MAC:", "INFO:", "network", "camtable", "CAM", ":", "\xFF", std::string(1, '\0'), "ACK:", "NAK:", "\"",
    "MODEL:", "IPCARD", "SOFTVERSION:", "IPADR:", "MASK:", "GATEWAY:", "NAME:", "WRITE:", "on", "CAM000:",
    "CAM112:", "CAM113:", "CAM-01:", "CAM 99:", "999", ".", "02-00-C0-A8-01-00", "02-00-C0-A8-06-00",
    "02-00-c0-a8-05-00", "02-00-C0-A8-00-01", "0a-00-00-00-01-00",
};

// Printable rendering of a datagram for a failure message.
std::string Show(const std::string& bytes)
{
    std::string shown;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && u != '<') {
            shown += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02X>", u);
            shown += hex;
        }
    }
    return shown;
}

class Mutator {
public:
    explicit Mutator(std::uint32_t seed) : m_random(seed) {}

    std::size_t Below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(m_random() % n); }

    std::string Mutate(const std::vector<std::string>& seeds)
    {
        std::string text = seeds[Below(seeds.size())];
        const std::size_t steps = 1 + Below(4);
        for (std::size_t s = 0; s < steps; ++s) {
            const std::size_t at = Below(text.size() + 1);
            switch (Below(7)) {
            case 0:  // flip one bit
                if (!text.empty())
                    text[Below(text.size())] ^= static_cast<char>(1u << Below(8));
                break;
            case 1:  // insert a key
                text.insert(at, kKeys[Below(kKeys.size())]);
                break;
            case 2:  // overwrite with a key
                text.replace(at, kKeys[Below(kKeys.size())].size(), kKeys[Below(kKeys.size())]);
                break;
            case 3:  // delete a range
                text.erase(at, 1 + Below(40));
                break;
            case 4:  // truncate
                text.resize(at);
                break;
            case 5: {  // splice: the head of this frame, the tail of another
                const std::string& other = seeds[Below(seeds.size())];
                text = text.substr(0, at) + other.substr(Below(other.size() + 1));
                break;
            }
            case 6: {  // repeat a range
                const std::string range = text.substr(at, 1 + Below(80));
                text.insert(at, range);
                break;
            }
            }
        }
        return text;
    }

private:
    std::mt19937 m_random;
};

TEST(AnalysisRobustness, SeedFramesKeepEveryInvariant)
{
    const std::vector<std::string> seeds = fuzz::AnalysisSeedFrames();
    for (int fill = 0; fill < fuzz::kQueueFills; ++fill) {
        AnalysisRig rig(static_cast<QueueFill>(fill));
        for (const std::string& seed : seeds)
            ASSERT_EQ(rig.Deliver(seed, fill % 2 == 1), "") << Show(seed);
    }
    // The seeds reach the stored data, so the mutations start from frames
    // that pass every check.
    AnalysisRig rig(QueueFill::kEmpty);
    for (const std::string& seed : seeds)
        rig.Deliver(seed);
    EXPECT_GT(rig.Store().ReplyQueueCount(), 0u);
    EXPECT_EQ(rig.Tables()[4].controllerMac, fuzz::DirectoryControllerMac(4));
    EXPECT_EQ(rig.Tables()[4].rows[111].flag, 1);
    EXPECT_EQ(rig.Owner().answers.size(), 3u);
}

TEST(AnalysisRobustness, MutatedDatagramsKeepEveryInvariant)
{
    const std::vector<std::string> seeds = fuzz::AnalysisSeedFrames();
    Mutator mutator(kSeed);
    std::size_t stored = 0;
    std::size_t unpacked = 0;
    for (int r = 0; r < kRigs; ++r) {
        AnalysisRig rig(static_cast<QueueFill>(r % fuzz::kQueueFills));
        const bool direct = (r / fuzz::kQueueFills) % 2 == 1;
        for (int d = 0; d < kDatagramsPerRig; ++d) {
            const std::string datagram = mutator.Mutate(seeds);
            const std::string broken = rig.Deliver(datagram, direct);
            ASSERT_EQ(broken, "") << "rig " << r << ", datagram " << d << (direct ? " (direct)" : "") << ": "
                                  << Show(datagram);
        }
        stored += rig.Store().ReplyQueueCount();
        for (const ReceptionTable& table : rig.Tables())
            for (const CameraTableEntry& row : table.rows)
                unpacked += row.flag;
    }
    // The mutations leave enough intact for data to be stored.
    EXPECT_GT(stored, 0u);
    EXPECT_GT(unpacked, 0u);
}

// The checks themselves find broken data.
struct PlantedFault {
    const char* what;
    std::function<void(AnalysisRig&)> plant;
};

void PrintTo(const PlantedFault& f, std::ostream* os)
{
    *os << f.what;
}

class PlantedFaults : public ::testing::TestWithParam<PlantedFault> {};

TEST_P(PlantedFaults, AreReported)
{
    // Planted before a datagram that the analysis only logs as unknown.
    AnalysisRig rig(QueueFill::kEmpty);
    ASSERT_EQ(rig.Deliver("not a reply"), "");
    GetParam().plant(rig);
    EXPECT_NE(rig.Deliver("not a reply"), "") << GetParam().what;
}

DeviceRecord ValidRecord()
{
    DeviceRecord r;
    r.mac = "02-00-C0-A8-00-09";
    r.model = "IPCARD";
    r.version = "2.10";
    r.pending = 1;
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Checks, PlantedFaults,
    ::testing::Values(
        PlantedFault{"row at another position", [](AnalysisRig& rig) { rig.Tables()[1].rows[5].number = 7; }},
        PlantedFault{"row name of 9 characters",
                     [](AnalysisRig& rig) {
                         auto& row = rig.Tables()[0].rows[0];
                         row.number = 1;
                         row.flag = 1;
                         row.name = "abcdefghi";
                     }},
        PlantedFault{"row MAC of 16 characters",
                     [](AnalysisRig& rig) {
                         auto& row = rig.Tables()[2].rows[111];
                         row.number = 112;
                         row.mac = "02-00-C0-A8-00-0";
                     }},
        PlantedFault{"table of an unlisted controller",
                     [](AnalysisRig& rig) { rig.Tables()[3].controllerMac = fuzz::DirectoryControllerMac(4); }},
        PlantedFault{"record without announcement",
                     [](AnalysisRig& rig) { rig.Store().AppendToReplyQueue(ValidRecord()); }},
        PlantedFault{"directory changed", [](AnalysisRig& rig) { rig.Store().FilterDirectory(1); }}));

struct RecordCase {
    const char* what;
    std::function<void(DeviceRecord&)> change;
    bool valid;
};

TEST(AnalysisRobustness, RecordAndRowChecksFindEachBrokenField)
{
    const std::vector<RecordCase> records = {
        {"valid", [](DeviceRecord&) {}, true},
        {"name of 8", [](DeviceRecord& r) { r.name = "abcdefgh"; }, true},
        {"write off", [](DeviceRecord& r) { r.writable = 0; }, true},
        {"MAC of 16", [](DeviceRecord& r) { r.mac = "02-00-C0-A8-00-0"; }, false},
        {"MAC of 18", [](DeviceRecord& r) { r.mac += "0"; }, false},
        {"name of 9", [](DeviceRecord& r) { r.name = "abcdefghi"; }, false},
        {"name with FF", [](DeviceRecord& r) { r.name = "ab\xFF"; }, false},
        {"unknown model", [](DeviceRecord& r) { r.model = "CAMERA"; }, false},
        {"version of 3", [](DeviceRecord& r) { r.version = "2.1"; }, false},
        {"not pending", [](DeviceRecord& r) { r.pending = 0; }, false},
        {"write 2", [](DeviceRecord& r) { r.writable = 2; }, false},
        {"index", [](DeviceRecord& r) { r.index = 3; }, false},
    };
    for (const RecordCase& c : records) {
        DeviceRecord r = ValidRecord();
        c.change(r);
        EXPECT_EQ(AnalysisRig::CheckRecord(r, 0).empty(), c.valid) << c.what;
    }

    CameraTableEntry row;
    EXPECT_EQ(AnalysisRig::CheckRow(row, 0, 9), "");
    row.number = 10;
    row.flag = 1;
    row.mac = "02-00-C0-A8-00-01";
    row.name = "a:b";
    EXPECT_EQ(AnalysisRig::CheckRow(row, 0, 9), "");
    EXPECT_NE(AnalysisRig::CheckRow(row, 0, 10), "");
    row.mask = Address4{255, 0, 0, 0};
    EXPECT_NE(AnalysisRig::CheckRow(row, 0, 9), "");
}

}  // namespace
}  // namespace korvo
