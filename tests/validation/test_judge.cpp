// Validation rules: result codes and the diagnostic line of each failure.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "files/DiagLog.h"
#include "validation/Judge.h"

using korvo::CJudge;

namespace {

struct Entry {
    int category;
    std::string text;
    std::string unit;
};

std::mutex g_mutex;
std::vector<Entry> g_entries;

class Capture : public CRLog::Listener {
public:
    void Log(int category, const std::string& text, const char* unit, int) override
    {
        std::lock_guard<std::mutex> guard(g_mutex);
        g_entries.push_back({category, text, unit ? unit : ""});
    }
};

class JudgeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CRLog::ClearListeners();
        g_entries.clear();
        ASSERT_TRUE(CRLog::AddListener(std::make_unique<Capture>()));
    }
    void TearDown() override { CRLog::ClearListeners(); }

    // Checks the result and that exactly the expected line (or none) was
    // logged, as a "[SYMPTOM]" entry of the unit "Judge".
    void Expect(int result, int expected, const char* log, const std::string& what)
    {
        SCOPED_TRACE(what);
        EXPECT_EQ(result, expected);
        if (log == nullptr) {
            EXPECT_TRUE(g_entries.empty()) << (g_entries.empty() ? "" : g_entries[0].text);
        } else {
            ASSERT_EQ(g_entries.size(), 1u);
            EXPECT_EQ(g_entries[0].text, log);
            EXPECT_EQ(g_entries[0].category, CRLog::kSymptom);
            EXPECT_EQ(g_entries[0].unit, "Judge");
        }
        g_entries.clear();
    }

    CJudge judge;
};

struct TextCase {
    std::string text;
    int expected;
    const char* log;
};

struct GroupCase {
    std::string text;
    int perGroup;
    int expected;
    const char* log;
};

TEST_F(JudgeTest, GroupText)
{
    const GroupCase cases[] = {
        {"Group1-1", 7, 0, nullptr},
        {"Group16-7", 7, 0, nullptr},
        {"Group16-7", 10, 1001, "[CHECK_GRPSTRING]Group number is range over:16-&d"},
        {"Group10-10", 10, 0, nullptr},
        {"Group11-1", 10, 1001, "[CHECK_GRPSTRING]Group number is range over:11-&d"},
        {"Group1-8", 7, 1001, "[CHECK_GRPSTRING]Group number is range over:1-&d"},
        {"Group17-1", 7, 1001, "[CHECK_GRPSTRING]Group number is range over:17-&d"},
        {"Group1-0", 10, 1001, "[CHECK_GRPSTRING]Group number is range over:1-&d"},
        {"Group-1", 7, 1001, "[CHECK_GRPSTRING]Group number is range over:0-&d"},
        {"Group-1", 10, 1001, "[CHECK_GRPSTRING]Group number is range over:0-&d"},
        {"Group-1", 5, 0, nullptr},
        {"Group-", 0, 0, nullptr},
        {"Group99-99", 12, 0, nullptr},
        {"Group99999999999999999999-1", 3, 0, nullptr},  // huge number, no range rule
        {"Grp1-1", 7, 1001, "[CHECK_GRPSTRING]Invalid string:str=Grp1-"},
        {"group1-1", 7, 1001, "[CHECK_GRPSTRING]Invalid string:str=group"},
        {"Gro", 7, 1001, "[CHECK_GRPSTRING]Invalid string:str=Gro"},
        {"", 7, 1001, "[CHECK_GRPSTRING]Invalid string:str="},
        {"Group", 7, 1001, "[CHECK_GRPSTRING]Separator less."},
        {"Group12", 7, 1001, "[CHECK_GRPSTRING]Separator less."},
        {"Group1a-1", 7, 1002, "[CHECK_GRPSTRING]Non-numeric:str=1a"},
        {"Group 1-1", 7, 1002, "[CHECK_GRPSTRING]Non-numeric:str= 1"},
        {"Group1-1x", 7, 1002, "[CHECK_GRPSTRING]Non-numeric:str=1x"},
        {"Group1-1-1", 7, 1002, "[CHECK_GRPSTRING]Non-numeric:str=1-1"},
    };
    for (const auto& c : cases)
        Expect(judge.CheckGroupText(c.text, c.perGroup), c.expected, c.log,
               c.text + " / " + std::to_string(c.perGroup));
}

TEST_F(JudgeTest, Name)
{
    const TextCase cases[] = {
        {"", 0, nullptr},
        {"CAM01", 0, nullptr},
        {"ABCDEFGH", 0, nullptr},
        {" ~!@#$%^", 0, nullptr},
        {"ABCDEFGHI", 1003, "[CHECK_STRING]Over length:length=9, str=ABCDEFGHI"},
        {"CAM:1", 1005, "[CHECK_STRING]Invalid string:len=4"},
        {"\"x", 1005, "[CHECK_STRING]Invalid string:len=1"},
        {"a,b", 1005, "[CHECK_STRING]Invalid string:len=2"},
        {"AB\tC", 1004, "[CHECK_STRING]Invalid string:len=3"},
        {"AB\x7f", 1004, "[CHECK_STRING]Invalid string:len=3"},
        {"\xe6\x97\xa5", 1004, "[CHECK_STRING]Invalid string:len=1"},
        {std::string("A\0B", 3), 1004, "[CHECK_STRING]Invalid string:len=2"},
        {"a:\t", 1005, "[CHECK_STRING]Invalid string:len=2"},  // first offender decides
        {"a\t:", 1004, "[CHECK_STRING]Invalid string:len=2"},
    };
    for (const auto& c : cases)
        Expect(judge.CheckName(c.text), c.expected, c.log, c.text);
}

TEST_F(JudgeTest, IpAddress)
{
    const TextCase cases[] = {
        {"192.168.0.1", 0, nullptr},
        {"1.0.0.0", 0, nullptr},
        {"223.255.255.255", 0, nullptr},
        {"10..20.30", 0, nullptr},
        {"1.2.3.4.5", 0, nullptr},
        {"1.2.3.4.x", 0, nullptr},  // after a fifth "." nothing counts
        {"10.20.30.", 0, nullptr},  // empty fourth part is 0
        {"0.1.2.3", 1008, "[CHECK_IPADDR]Invalid address number:0"},
        {"224.0.0.1", 1008, "[CHECK_IPADDR]Invalid address number:224"},
        {"1.256.0.1", 1008, "[CHECK_IPADDR]Invalid address number:256"},
        {"1.2.3.256", 1008, "[CHECK_IPADDR]Invalid address number:256"},
        {".1.2.3", 1009, "[CHECK_IPADDR]Over length."},
        {"...1234", 1008, "[CHECK_IPADDR]Invalid address number:0"},
        {"1.2.3", 1009, "[CHECK_IPADDR]Over length."},
        {"1.2.3456789012", 1006, "[CHECK_IPADDR]Octet less."},
        {"1234.1234.12345", 1008, "[CHECK_IPADDR]Invalid address number:1234"},
        {"1.2.345", 1006, "[CHECK_IPADDR]Octet less."},
        {"1234567", 1006, "[CHECK_IPADDR]Octet less."},
        {"192.168.100.1000", 1009, "[CHECK_IPADDR]Over length."},
        {" 1.2.3.4", 1007, "[CHECK_IPADDR]Non-numeric."},
        {"1.2.3.4 ", 1007, "[CHECK_IPADDR]Non-numeric."},
        {"1.2.-3.4", 1007, "[CHECK_IPADDR]Non-numeric."},
        // part 1 is judged completely before part 2 is looked at
        {"0.x.2.3", 1008, "[CHECK_IPADDR]Invalid address number:0"},
        {"1.x.300", 1007, "[CHECK_IPADDR]Non-numeric."},
        {"1.2.999999999999", 1009, "[CHECK_IPADDR]Over length."},
        {"1.2.3.999999999", 1008, "[CHECK_IPADDR]Invalid address number:999999999"},
    };
    for (const auto& c : cases)
        Expect(judge.CheckIpAddress(c.text), c.expected, c.log, c.text);
}

TEST_F(JudgeTest, SubnetMask)
{
    const TextCase cases[] = {
        {"255.255.255.0", 0, nullptr},
        {"224.0.0.0", 0, nullptr},
        {"255.255.255.255", 0, nullptr},
        {"255.255.255.252", 0, nullptr},
        {"255.128.0.0", 0, nullptr},
        {"254.0.0.0", 0, nullptr},
        {"192.0.0.0", 1008, "[CHECK_SUBNET]Invalid address number:192"},
        {"0.0.0.0", 1008, "[CHECK_SUBNET]Invalid address number:0"},
        {"255.0.255.0", 1008, "[CHECK_SUBNET]Invalid address number:255"},
        {"255.255.253.0", 1008, "[CHECK_SUBNET]Invalid address number:253"},
        {"255.255.128.128", 1008, "[CHECK_SUBNET]Invalid address number:128"},
        {"255.1.0.0", 1008, "[CHECK_SUBNET]Invalid address number:1"},
        {"255.255.0", 1006, "[CHECK_SUBNET]Octet less."},
        {"255.0.", 1009, "[CHECK_SUBNET]Over length."},
        {"255.255.255.0000000", 1009, "[CHECK_SUBNET]Over length."},
        {"255.255255.0", 1008, "[CHECK_SUBNET]Invalid address number:255255"},
        {"255.255255", 1006, "[CHECK_SUBNET]Octet less."},
        {"255.255.25a.0", 1007, "[CHECK_SUBNET]Non-numeric."},
    };
    for (const auto& c : cases)
        Expect(judge.CheckSubnetMask(c.text), c.expected, c.log, c.text);
}

TEST_F(JudgeTest, Gateway)
{
    const TextCase cases[] = {
        {"0.0.0.0", 0, nullptr},
        {"192.168.0.254", 0, nullptr},
        {"223.0.0.0", 0, nullptr},
        {"0..00.00", 0, nullptr},
        {"0.0.0.1", 1008, "[CHECK_IPADDR]Invalid address number:1"},
        {"0.5.0.0", 1008, "[CHECK_IPADDR]Invalid address number:5"},
        {"224.0.0.1", 1008, "[CHECK_IPADDR]Invalid address number:224"},
        {"10.0.0.256", 1008, "[CHECK_IPADDR]Invalid address number:256"},
        {"...999999999999", 1008, "[CHECK_IPADDR]Invalid address number:2147483647"},
        {"0.0.0", 1009, "[CHECK_IPADDR]Over length."},
        {"0.0.0x0", 1006, "[CHECK_IPADDR]Octet less."},
        {"0.0.0.0x", 1007, "[CHECK_IPADDR]Non-numeric."},
    };
    for (const auto& c : cases)
        Expect(judge.CheckGateway(c.text), c.expected, c.log, c.text);
}

TEST_F(JudgeTest, MacAddress)
{
    const TextCase cases[] = {
        {"AA-BB-CC-DD-EE-FF", 0, nullptr},
        {"aa-bb-cc-dd-ee-ff", 0, nullptr},
        {"00-1a-2B-3c-4D-5e", 0, nullptr},
        {"AA-BB-CC-DD-EE-F-", 1013, "[CHECK_MACADDR]Over length."},
        {"AABB-CC-DD-EE-FFF", 1013, "[CHECK_MACADDR]Over length."},
        {"AA-BB-CC-DD-EE-FF0", 1013, "[CHECK_MACADDR]Over length."},
        {"AA-BB-CC-DD-EE-F", 1013, "[CHECK_MACADDR]Over length."},
        {"", 1013, "[CHECK_MACADDR]Over length."},
        {"AA:BB:CC:DD:EE:FF", 1010, "[CHECK_MACADDR]Separator less."},
        {"AA-BB-CC-DD-EEFFF", 1010, "[CHECK_MACADDR]Separator less."},
        {"AG-BB-CC-DD-EE-FF", 1011, "[CHECK_MACADDR]Non-Hex:str=AG"},
        {"AA-BB-CC-DD-EE-F ", 1011, "[CHECK_MACADDR]Non-Hex:str=F "},
        {"AA-BB-CC-DD-EE-FF", 0, nullptr},
        {"A%-BB-CC-DD-EE-FF", 1011, "[CHECK_MACADDR]Non-Hex:str=A%"},
    };
    for (const auto& c : cases)
        Expect(judge.CheckMacAddress(c.text), c.expected, c.log, c.text);
}

TEST_F(JudgeTest, SameMacAddress)
{
    struct Case {
        std::string a, b;
        int expected;
    } const cases[] = {
        {"AA-BB-CC-DD-EE-FF", "aa-bb-cc-dd-ee-ff", 2002},
        {"aa-bb-cc-dd-ee-ff", "aa-bb-cc-dd-ee-ff", 2002},
        {"AA-BB-CC-DD-EE-FF", "AA-BB-CC-DD-EE-FE", 0},
        {"AA-BB-CC-DD-EE-FF", "AA-BB-CC-DD-EE-FF ", 0},
        {"", "", 0},
        {"", "aa", 0},
        {"aa", "", 0},
    };
    for (const auto& c : cases)
        Expect(judge.IsSameMacAddress(c.a, c.b), c.expected, nullptr, c.a + " / " + c.b);
}

TEST_F(JudgeTest, SameIpAddress)
{
    Expect(judge.IsSameIpAddress({192, 168, 0, 1}, {192, 168, 0, 1}), 2001, nullptr, "equal");
    Expect(judge.IsSameIpAddress({0, 0, 0, 0}, {0, 0, 0, 0}), 2001, nullptr, "zero");
    Expect(judge.IsSameIpAddress({192, 168, 0, 1}, {192, 168, 0, 2}), 0, nullptr, "last");
    Expect(judge.IsSameIpAddress({1, 168, 0, 1}, {192, 168, 0, 1}), 0, nullptr, "first");
    Expect(judge.IsSameIpAddress({1, 11, 1, 1}, {11, 1, 1, 1}), 0, nullptr, "shifted digits");
}

TEST_F(JudgeTest, SupportsNetworkSettings)
{
    struct Case {
        std::string version;
        int expected;
    } const cases[] = {
        {"2.01", 0}, {"2.02", 1}, {"2.00", 0}, {"2.1", 0},   {"2.10", 1},
        {"0.52", 0}, {"0.53", 1}, {"0.00", 0}, {"1.99", 0},  {"1", 0},
        {"2", 0},    {"3.00", 1}, {"0", 0},    {"", 1},      {"abc", 1},
        {"v2.01", 1}, {"-1.00", 1}, {"0.-1", 1}, {"0.521", 0}, {" 2.01", 0},
        {"99999999999.00", 1}, {"2.01x", 0},
    };
    for (const auto& c : cases)
        Expect(judge.SupportsNetworkSettings(c.version), c.expected, nullptr, "version " + c.version);
}

TEST_F(JudgeTest, HostPart)
{
    struct Case {
        std::string ip, mask;
        int expected;
    } const cases[] = {
        {"192.168.0.0", "255.255.255.0", 1008},
        {"192.168.0.255", "255.255.255.0", 1008},
        {"192.168.0.1", "255.255.255.0", 0},
        {"192.168.0.254", "255.255.255.0", 0},
        {"192.168.1.0", "255.255.254.0", 0},
        {"192.168.1.255", "255.255.254.0", 1008},
        {"192.168.0.255", "255.255.254.0", 0},
        {"192.168.0.0", "255.255.254.0", 1008},
        {"192.168.1.1", "255.255.255.255", 1008},
        {"10.0.0.1", "255.255.255.255", 1008},
        {"192.168.0.1", "255.255.255", 1006},
        {"192.168.1", "255.255.255.0", 1006},
        {"192.168.0.257", "255.255.255.0", 0},   // 257 keeps its low 8 bits: 1
        {"192.168.0.511", "255.255.255.0", 1008},  // low 8 bits: 255
    };
    for (const auto& c : cases)
        Expect(judge.CheckHostPart(c.ip, c.mask), c.expected, nullptr, c.ip + " / " + c.mask);
}

// Every rule is a virtual operation of the mix-in base, so pages can
// reach them through a CJudge reference.
TEST_F(JudgeTest, RulesAreOverridable)
{
    struct Lenient : CJudge {
        int CheckName(const std::string&) const override { return 0; }
    } lenient;
    const CJudge& base = lenient;
    Expect(base.CheckName("far too long"), 0, nullptr, "override");
    Expect(base.CheckIpAddress("0.0.0.0"), 1008, "[CHECK_IPADDR]Invalid address number:0", "base rule");
}

}  // namespace
