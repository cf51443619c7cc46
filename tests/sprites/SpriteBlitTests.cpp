// Tests of the sprites' shared rules: the design-space conversion and the clipping table.
#include "sprites/SpriteBlit.h"

#include <gtest/gtest.h>

#include <climits>

namespace Halcyra {
namespace {

using Platform::TRect;

TEST(DesignToScreen, TruncatesTowardZero)
{
    EXPECT_EQ(DesignToScreen(300, 1024, 1024), 300);
    EXPECT_EQ(DesignToScreen(300, 800, 1024), 234);
    EXPECT_EQ(DesignToScreen(-5, 800, 1024), -3);
    EXPECT_EQ(DesignToScreen(698, 600, 768), 545);
    EXPECT_EQ(DesignToScreen(-1, 800, 1024), 0);
}

TEST(DesignToScreen, WrapsLike32BitArithmeticInsteadOfOverflowing)
{
    // 3,000,000 × 1024 leaves 32 bits; the product wraps, as the 32-bit arithmetic does.
    const auto wrapped = static_cast<std::int32_t>(static_cast<std::uint32_t>(3000000LL * 1024));
    EXPECT_EQ(DesignToScreen(3000000, 1024, 1024), wrapped / 1024);
    EXPECT_EQ(DesignToScreen(INT_MIN, 1, -1), INT_MIN);
}

constexpr int W = 1024;
constexpr int H = 768;

TEST(ClipToScreen, FullScreenPictureNeverWritesTheLastColumnOrRow)
{
    const auto blit = ClipToScreen(0, 0, W, H, 0, 0, W, H);
    ASSERT_TRUE(blit);
    EXPECT_EQ(blit->DestX, 0);
    EXPECT_EQ(blit->DestY, 0);
    EXPECT_EQ(blit->Source, (TRect{0, 0, W - 1, H - 1}));
}

TEST(ClipToScreen, InsideIsDrawnWhole)
{
    const auto blit = ClipToScreen(10, 20, 100, 50, 0, 0, W, H);
    ASSERT_TRUE(blit);
    EXPECT_EQ(blit->DestX, 10);
    EXPECT_EQ(blit->DestY, 20);
    EXPECT_EQ(blit->Source, (TRect{0, 0, 100, 50}));
}

TEST(ClipToScreen, LeftOfTheScreenIsDrawnFromTheHiddenColumn)
{
    const auto blit = ClipToScreen(-10, 20, 100, 50, 0, 0, W, H);
    ASSERT_TRUE(blit);
    EXPECT_EQ(blit->DestX, 0);
    EXPECT_EQ(blit->Source, (TRect{10, 0, 100, 50}));
}

TEST(ClipToScreen, AtTheLastColumnOrBeyondDrawsNothing)
{
    EXPECT_FALSE(ClipToScreen(W - 1, 20, 100, 50, 0, 0, W, H));
    EXPECT_FALSE(ClipToScreen(W, 20, 100, 50, 0, 0, W, H));
    EXPECT_FALSE(ClipToScreen(5000, 20, 100, 50, 0, 0, W, H));
    EXPECT_FALSE(ClipToScreen(20, H - 1, 100, 50, 0, 0, W, H));
}

TEST(ClipToScreen, OneColumnOrRowSliversAtTheLeftAndTopAreSkipped)
{
    EXPECT_FALSE(ClipToScreen(-99, 20, 100, 50, 0, 0, W, H));
    EXPECT_FALSE(ClipToScreen(-100, 20, 100, 50, 0, 0, W, H));
    EXPECT_FALSE(ClipToScreen(20, -49, 100, 50, 0, 0, W, H));
    // Two columns are drawn.
    const auto two = ClipToScreen(-98, 20, 100, 50, 0, 0, W, H);
    ASSERT_TRUE(two);
    EXPECT_EQ(two->Source, (TRect{98, 0, 100, 50}));
}

TEST(ClipToScreen, OneColumnAtTheRightEdgeIsDrawn)
{
    const auto blit = ClipToScreen(W - 2, 20, 100, 50, 0, 0, W, H);
    ASSERT_TRUE(blit);
    EXPECT_EQ(blit->DestX, W - 2);
    EXPECT_EQ(blit->Source, (TRect{0, 0, 1, 50}));
}

TEST(ClipToScreen, RightAndBottomEdgesCutBeforeTheLastColumnAndRow)
{
    const auto blit = ClipToScreen(1000, 700, 100, 100, 0, 0, W, H);
    ASSERT_TRUE(blit);
    EXPECT_EQ(blit->DestX, 1000);
    EXPECT_EQ(blit->DestY, 700);
    EXPECT_EQ(blit->Source, (TRect{0, 0, W - 1 - 1000, H - 1 - 700}));
}

TEST(ClipToScreen, AboveTheScreenIsDrawnFromTheHiddenRow)
{
    const auto blit = ClipToScreen(20, -30, 100, 50, 0, 0, W, H);
    ASSERT_TRUE(blit);
    EXPECT_EQ(blit->DestY, 0);
    EXPECT_EQ(blit->Source, (TRect{0, 30, 100, 50}));
}

TEST(ClipToScreen, ReachingPastBothEdgesIsClippedOnBothSides)
{
    const auto blit = ClipToScreen(-10, -5, W + 40, H + 40, 0, 0, W, H);
    ASSERT_TRUE(blit);
    EXPECT_EQ(blit->DestX, 0);
    EXPECT_EQ(blit->DestY, 0);
    EXPECT_EQ(blit->Source, (TRect{10, 5, W - 1 + 10, H - 1 + 5}));
    EXPECT_EQ(blit->Source.Width(), W - 1);
    EXPECT_EQ(blit->Source.Height(), H - 1);
}

TEST(ClipToScreen, PositionsFarOutsideDoNotOverflow)
{
    EXPECT_FALSE(ClipToScreen(INT_MAX, 0, INT_MAX, 10, 0, 0, W, H));
    EXPECT_FALSE(ClipToScreen(INT_MIN, 0, 100, 10, 0, 0, W, H));
    const auto huge = ClipToScreen(INT_MIN / 2, 10, INT_MAX, 10, 0, 0, W, H);
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->DestX, 0);
}

TEST(BltFastErrorName, NamesTheTableAndNothingElse)
{
    using namespace Platform;
    EXPECT_STREQ(BltFastErrorName(DDResult::Unsupported), "DDERR_UNSUPPORTED");
    EXPECT_STREQ(BltFastErrorName(DDResult::Generic), "DDERR_GENERIC");
    EXPECT_STREQ(BltFastErrorName(DDResult::InvalidParams), "DERR_INVALIDPARAMS");
    EXPECT_STREQ(BltFastErrorName(DDResult::Exception), "DDERR_EXCEPTION");
    EXPECT_STREQ(BltFastErrorName(DDResult::InvalidObject), "DDERR_INVALIDOBJECT");
    EXPECT_STREQ(BltFastErrorName(DDResult::InvalidRect), "DDERR_INVALIDRECT");
    EXPECT_STREQ(BltFastErrorName(DDResult::SurfaceBusy), "DDERR_SURFACEBUSY");
    EXPECT_STREQ(BltFastErrorName(DDResult::NoBltHw), "DDERR_NOBLTHW");
    EXPECT_STREQ(BltFastErrorName(DDResult::NoColorKey), "");
    EXPECT_STREQ(BltFastErrorName(DDResult::Ok), "");
}

} // namespace
} // namespace Halcyra
