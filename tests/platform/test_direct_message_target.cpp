#include "platform/DirectMessageTarget.h"

#include <gtest/gtest.h>

using platform::DirectMessageTarget;
using platform::QueuedMessage;
using platform::RecordingHandler;

TEST(DirectMessageTarget, SendCallsHandlerAtOnceAndReturnsItsAnswer)
{
    RecordingHandler handler([](unsigned m, platform::WParam w, platform::LParam l) {
        return static_cast<platform::LResult>(m + w + l);
    });
    DirectMessageTarget target(&handler);
    EXPECT_EQ(target.Send(100, 20, 3), 123);
    ASSERT_EQ(handler.Count(), 1u);
    EXPECT_EQ(handler.Received()[0], (QueuedMessage{100, 20, 3}));
}

TEST(DirectMessageTarget, PostQueuesUntilDrainedInOrder)
{
    RecordingHandler handler;
    DirectMessageTarget target(&handler);
    EXPECT_TRUE(target.Post(1, 10, -1));
    EXPECT_TRUE(target.Post(2, 20, -2));
    EXPECT_TRUE(target.Post(1, 30, -3));
    EXPECT_EQ(handler.Count(), 0u);
    const std::vector<QueuedMessage> expected{{1, 10, -1}, {2, 20, -2}, {1, 30, -3}};
    EXPECT_EQ(target.Posted(), expected);

    EXPECT_EQ(target.DrainPosted(), 3u);
    EXPECT_EQ(handler.Received(), expected);
    EXPECT_TRUE(target.Posted().empty());
    EXPECT_EQ(handler.ReceivedOf(1), (std::vector<QueuedMessage>{{1, 10, -1}, {1, 30, -3}}));
    EXPECT_EQ(target.DrainPosted(), 0u);
}

TEST(DirectMessageTarget, PostsMadeWhileDrainingAreDeliveredInTheSameDrain)
{
    DirectMessageTarget* self = nullptr;
    RecordingHandler handler([&](unsigned m, platform::WParam, platform::LParam) {
        if (m == 1)
            self->Post(2, 0, 0);
        return platform::LResult{0};
    });
    DirectMessageTarget target(&handler);
    self = &target;
    target.Post(1, 0, 0);
    target.Post(3, 0, 0);
    EXPECT_EQ(target.DrainPosted(), 3u);
    const auto got = handler.Received();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].message, 1u);
    EXPECT_EQ(got[1].message, 3u);
    EXPECT_EQ(got[2].message, 2u);
}

TEST(DirectMessageTarget, ClosedTargetRefusesAndDropsQueue)
{
    RecordingHandler handler([](unsigned, platform::WParam, platform::LParam) { return platform::LResult{7}; });
    DirectMessageTarget target(&handler);
    target.Post(1, 0, 0);
    target.Close();
    EXPECT_TRUE(target.IsClosed());
    EXPECT_FALSE(target.Post(2, 0, 0));
    EXPECT_EQ(target.Send(3, 0, 0), 0);
    EXPECT_EQ(target.DrainPosted(), 0u);
    EXPECT_EQ(handler.Count(), 0u);
}

TEST(DirectMessageTarget, NullHandlerRefuses)
{
    DirectMessageTarget target(nullptr);
    EXPECT_FALSE(target.Post(1, 0, 0));
    EXPECT_EQ(target.Send(1, 0, 0), 0);
}
