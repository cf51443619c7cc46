// Tests of the bursts: when the first one starts, the frames it shows, the pause after it, and that
// two bursts in a row never use the same strip.
#include "scene/BurstScheduler.h"

#include <gtest/gtest.h>

#include <cstdint>
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
    // The wait after it is one of the two ranges; which one, and the wait itself, are pinned below.
    EXPECT_TRUE((bursts.FBurstWait >= 5 && bursts.FBurstWait <= 34) || (bursts.FBurstWait >= 100 && bursts.FBurstWait <= 499))
        << bursts.FBurstWait;
}

TEST(RuntimeRandom, DrawsBits16To30OfTheSeedTimes22695477PlusOne)
{
    // seed = seed × 22695477 + 1 (mod 2^32), draw = bits 16 to 30 of the new seed.
    const struct {
        std::uint32_t Seed;
        std::vector<int> Draws;
    } cases[] = {
        {0, {0, 346, 130, 10982, 1090, 11656}},
        {1, {346, 130, 10982, 1090}},
        {0xFFFFFFFFu, {32421, 561, 22046}},
        {2026, {13486, 22170, 31465}},
    };
    for (const auto &test : cases) {
        TRuntimeRandom random(test.Seed);
        std::vector<int> draws;
        for (std::size_t i = 0; i < test.Draws.size(); ++i)
            draws.push_back(random.Next());
        EXPECT_EQ(draws, test.Draws) << test.Seed;
    }
    TRuntimeRandom random(2026);
    EXPECT_EQ(random.Random(100), 86) << "a draw's remainder: 13486 mod 100";
}

// The end of a burst draws r = random mod 100, then the wait: 5 to 34 ticks when r > 30, else 100 to
// 499. Each seed's first two draws, by the generator's rule, are written beside it.
TEST(BurstScheduler, TheWaitAfterABurstIsShortWhenTheFirstDrawModHundredIsAboveThirty)
{
    const struct {
        std::uint32_t Seed;
        int Wait;
    } cases[] = {
        {1, 130 % 30 + 5},       // draws 346, 130: r = 46
        {5, 32036 % 30 + 5},     // draws 1731, 32036: r = 31
        {46, 23193 % 400 + 100}, // draws 15930, 23193: r = 30
        {7, 31604 % 400 + 100},  // draws 2424, 31604: r = 24
    };
    for (const auto &test : cases) {
        TRuntimeRandom random(test.Seed);
        TBurstScheduler bursts;
        bursts.FBurstOn = true;
        bursts.FBurstFrame = 8;
        bursts.FBurstLength = 8;
        EXPECT_FALSE(bursts.Tick(random)) << "the burst ended";
        EXPECT_EQ(bursts.FBurstWait, test.Wait) << test.Seed;
        EXPECT_EQ(bursts.FBurstIdle, 0);
    }
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
