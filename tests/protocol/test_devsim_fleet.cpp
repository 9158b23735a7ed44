// The device emulator's fleet file against the tool's reply analysis: every
// value a fleet file may give a device must come out in replies the tool
// takes; values that would break a reply are refused with the line named.
#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>

#include "protocol/Frames.h"
#include "tests/protocol/AnalysisHarness.h"
#include "tools/devsim/Emulator.h"
#include "tools/devsim/Fleet.h"

namespace {

struct VersionCase {
    const char* what;
    std::string version;
    bool accepted;
};

void PrintTo(const VersionCase& c, std::ostream* os)
{
    *os << c.what;
}

class FleetVersions : public ::testing::TestWithParam<VersionCase> {};

TEST_P(FleetVersions, AreTakenOnlyWhenEveryReplyStaysWhole)
{
    const VersionCase& c = GetParam();
    std::istringstream file("camera\ncamera version=" + c.version + " name=X\n");
    devsim::Fleet fleet;
    std::string error;
    ASSERT_EQ(devsim::ReadFleet(file, "fleet.txt", fleet, error), c.accepted) << c.what;
    if (!c.accepted) {
        EXPECT_EQ(error.rfind("fleet.txt:2: unusable software version", 0), 0u) << error;
        return;
    }
    // Each network reply of the fleet is stored by the tool.
    devsim::Emulator emulator(fleet, 1);
    korvo::test::Harness h;
    for (const devsim::Answer& answer : emulator.Handle(korvo::BuildNetworkInquiry()))
        EXPECT_EQ(h.analysis.AnalyzeNetworkInfo(answer.frame), korvo::kReplyAccepted) << c.what;
    EXPECT_EQ(h.store.ReplyQueueCount(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FleetVersions,
    ::testing::Values(VersionCase{"new version", "2.10", true}, VersionCase{"old version", "2.01", true},
                      VersionCase{"letters", "abcd", true}, VersionCase{"three characters", "2.1", false},
                      // A 0x00 ended every reply of the device early: the tool saw
                      // no address and refused it.
                      VersionCase{"zero byte", std::string("\x01\0" "0.", 4), false},
                      VersionCase{"field end", "2.1\xFF", false}, VersionCase{"control byte", "2.1\x7F", false},
                      VersionCase{"byte above ASCII", "2.1\xE9", false}));

}  // namespace
