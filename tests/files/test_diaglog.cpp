// The diagnostic log entry point and its listener registry.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "files/DiagLog.h"

namespace {

struct Seen {
    std::string listener;
    int category;
    std::string text;
    std::string unit;
    int line;
};

std::vector<Seen> g_seen;
int g_destroyed = 0;

class Recorder : public CRLog::Listener {
public:
    explicit Recorder(std::string name, int id = -1) : m_name(std::move(name)), m_id(id) {}
    ~Recorder() override { ++g_destroyed; }
    void Log(int category, const std::string& text, const char* unit, int line) override
    {
        g_seen.push_back({m_name, category, text, unit ? unit : "", line});
    }
    int Id() const override { return m_id; }

private:
    std::string m_name;
    int m_id;
};

class DiagLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CRLog::ClearListeners();
        g_seen.clear();
        g_destroyed = 0;
    }
    void TearDown() override { CRLog::ClearListeners(); }
};

TEST_F(DiagLogTest, CategoryLabels)
{
    const char* const labels[] = {
        "[SND/NETINQ]", "[SND/NETSET]", "[SND/CAMINQ]", "[SND/CAMSET]", "[RCV/NETINQ]",
        "[RCV/CAMINQ]", "[RCV/ACK]",    "[RCV/NAK]",    "[RCV/UNKNOWN]", "[SUCCESS]",
        "[FAILURE]",    "[SYMPTOM]",    "[NETWORKERR]", "[RECIEVE]",
    };
    for (int i = 0; i < 14; ++i)
        EXPECT_STREQ(CRLog::CategoryLabel(i), labels[i]) << i;
    EXPECT_EQ(CRLog::CategoryLabel(-1), nullptr);
    EXPECT_EQ(CRLog::CategoryLabel(14), nullptr);
}

TEST_F(DiagLogTest, WithoutListenerNothingHappens)
{
    ASSERT_EQ(CRLog::ListenerCount(), 0u);
    WriteDiagnostic(KORVO_WHERE("Judge", CRLog::kSymptom), "lost %d", 1);
    ASSERT_TRUE(CRLog::AddListener(std::make_unique<Recorder>("a")));
    EXPECT_TRUE(g_seen.empty());
    WriteDiagnostic(KORVO_WHERE("Judge", CRLog::kSymptom), "kept %d", 2);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].text, "kept 2");
}

TEST_F(DiagLogTest, EveryListenerInRegistrationOrder)
{
    ASSERT_TRUE(CRLog::AddListener(std::make_unique<Recorder>("first")));
    ASSERT_TRUE(CRLog::AddListener(std::make_unique<Recorder>("second")));
    const int line = __LINE__ + 1;
    WriteDiagnostic(KORVO_WHERE("UdpClient", CRLog::kNetworkErr), "[%s]code=%d", "sendto", -1);
    WriteDiagnostic(KORVO_WHERE("KorvoIPSetup", CRLog::kSuccess), "Success!!");
    ASSERT_EQ(g_seen.size(), 4u);
    EXPECT_EQ(g_seen[0].listener, "first");
    EXPECT_EQ(g_seen[1].listener, "second");
    EXPECT_EQ(g_seen[2].listener, "first");
    EXPECT_EQ(g_seen[3].listener, "second");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(g_seen[i].text, "[sendto]code=-1");
        EXPECT_EQ(g_seen[i].category, CRLog::kNetworkErr);
        EXPECT_EQ(g_seen[i].unit, "UdpClient");
        EXPECT_EQ(g_seen[i].line, line);
    }
    EXPECT_EQ(g_seen[3].text, "Success!!");
    EXPECT_EQ(g_seen[3].category, CRLog::kSuccess);
}

TEST_F(DiagLogTest, IdentityRule)
{
    struct Step {
        int id;
        bool added;
    } const steps[] = {{-1, true}, {-1, true}, {5, true}, {5, false}, {7, true}, {-1, true}, {7, false}};
    std::size_t expectedCount = 0;
    int expectedDestroyed = 0;
    for (const auto& s : steps) {
        EXPECT_EQ(CRLog::AddListener(std::make_unique<Recorder>("id" + std::to_string(s.id), s.id)), s.added)
            << s.id;
        expectedCount += s.added ? 1 : 0;
        expectedDestroyed += s.added ? 0 : 1;  // a refused listener is not kept
        EXPECT_EQ(CRLog::ListenerCount(), expectedCount);
        EXPECT_EQ(g_destroyed, expectedDestroyed);
    }
    EXPECT_FALSE(CRLog::AddListener(nullptr));
    WriteDiagnostic(KORVO_WHERE("Judge", CRLog::kSymptom), "x");
    EXPECT_EQ(g_seen.size(), expectedCount);

    // the registry owns its listeners and destroys them
    CRLog::ClearListeners();
    EXPECT_EQ(CRLog::ListenerCount(), 0u);
    EXPECT_EQ(g_destroyed, 7);
}

TEST_F(DiagLogTest, PercentInAnArgumentIsKept)
{
    ASSERT_TRUE(CRLog::AddListener(std::make_unique<Recorder>("a")));
    const std::string frame = "\x02NAME:%s%d%n%%50\xff\x03";
    WriteDiagnostic(KORVO_WHERE("UdpClient", CRLog::kSndNetSet), "%s", frame.c_str());
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].text, frame);
}

TEST_F(DiagLogTest, LongMessagesArriveInPiecesOfAtMost8191)
{
    ASSERT_TRUE(CRLog::AddListener(std::make_unique<Recorder>("a")));
    struct Case {
        std::size_t length;
        std::vector<std::size_t> pieces;
    } const cases[] = {
        {0, {0}},
        {1, {1}},
        {8191, {8191}},
        {8192, {8191, 1}},
        {16382, {8191, 8191}},
        {16383, {8191, 8191, 1}},
        {204800, {}},  // largest datagram: 25 full pieces and the rest
    };
    for (const auto& c : cases) {
        g_seen.clear();
        std::string text;
        for (std::size_t i = 0; i < c.length; ++i)
            text.push_back(static_cast<char>('a' + i % 26));
        WriteDiagnostic(KORVO_WHERE("UdpClient", CRLog::kReceive), "%s", text.c_str());
        std::vector<std::size_t> expected = c.pieces;
        if (expected.empty()) {
            expected.assign(c.length / 8191, 8191);
            expected.push_back(c.length % 8191);
        }
        std::vector<std::size_t> lengths;
        std::string joined;
        for (const auto& s : g_seen) {
            lengths.push_back(s.text.size());
            joined += s.text;
            EXPECT_EQ(s.category, CRLog::kReceive);
        }
        EXPECT_EQ(lengths, expected) << c.length;
        EXPECT_EQ(joined, text) << c.length;
    }

    // the format's own text counts too, not only the arguments
    g_seen.clear();
    const std::string tail(9000, 'q');
    WriteDiagnostic(KORVO_WHERE("UdpClient", CRLog::kRcvUnknown), "head:%s:end", tail.c_str());
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].text + g_seen[1].text, "head:" + tail + ":end");
}

}  // namespace
