// Tests of the bursts: when the first one starts, the frames it shows, the pause after it, and that
// two bursts in a row never use the same strip.
#include "scene/BurstScheduler.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace Halcyra {
namespace {

TEST(BurstScheduler, AWaitOfOneStartsOnTheSecondTickAndShowsFramesZeroToEight)
{
    TRuntimeRandom random(7);
    TBurstScheduler bursts;
    bursts.Start(random);
    bursts.FBurstWait = 1;
    const int before = bursts.FBurstPick;
    EXPECT_FALSE(bursts.Tick(random)) << "tick 1";
    std::vector<int> frames;
    int strip = -1;
    for (int tick = 2; tick <= 10; ++tick) {
        const std::optional<TBurstFrame> shown = bursts.Tick(random);
        ASSERT_TRUE(shown) << "tick " << tick;
        frames.push_back(shown->Frame);
        strip = shown->Strip;
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_NE(strip, before);
    EXPECT_FALSE(bursts.Tick(random)) << "tick 11";
    EXPECT_TRUE((bursts.FBurstWait >= 5 && bursts.FBurstWait <= 34) || (bursts.FBurstWait >= 100 && bursts.FBurstWait <= 499))
        << bursts.FBurstWait;
}

TEST(BurstScheduler, ConsecutiveBurstsNeverRepeatAStripAndEveryStripPlays)
{
    TRuntimeRandom random(12345);
    TBurstScheduler bursts;
    bursts.Start(random);
    EXPECT_GE(bursts.FBurstWait, 1);
    EXPECT_LE(bursts.FBurstWait, 30);
    std::vector<int> played;
    bool inBurst = false;
    for (int tick = 0; tick < 200000; ++tick) {
        const auto shown = bursts.Tick(random);
        if (shown && !inBurst)
            played.push_back(shown->Strip);
        inBurst = shown.has_value();
    }
    ASSERT_GT(played.size(), 100u);
    int counts[3] = {};
    for (std::size_t i = 0; i < played.size(); ++i) {
        ++counts[played[i]];
        if (i > 0) {
            EXPECT_NE(played[i], played[i - 1]) << "burst " << i;
        }
    }
    for (int count : counts)
        EXPECT_GT(count, 0);
}

} // namespace
} // namespace Halcyra
