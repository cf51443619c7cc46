// Tests of the fliers' paths: the direction table, the turns across north-east and south-east, the
// heading frame, and points of the scene's loop.
#include "scene/FlightPath.h"

#include <gtest/gtest.h>

#include <vector>

namespace Halcyra {
namespace {

// A path over the given points, set up at segment 1 (control points 0 to 3).
TFlightPath PathOver(const std::vector<TFlightPoint> &points, int steps = 10)
{
    TFlightPath path;
    InitFlight(path, points, 1, steps);
    return path;
}

TEST(FlightDirection, FollowsTheQuadrantTable)
{
    struct TCase {
        int Dx;
        int Dy;
        int Direction;
    };
    // Straight lines of four points 60 units apart along (dx, dy) per point.
    for (const TCase c : {TCase{0, 0, 0}, TCase{0, 60, 90}, TCase{0, -60, 270}, TCase{60, 0, 0}, TCase{-60, 0, 180},
                          TCase{60, 60, 45}, TCase{60, -60, 315}, TCase{-60, 60, 135}, TCase{-60, -60, 225},
                          TCase{60, 30, 26}, TCase{-30, -60, 243}}) {
        std::vector<TFlightPoint> line;
        for (int i = 0; i < 4; ++i)
            line.push_back({500 + c.Dx * i, 400 + c.Dy * i});
        const TFlightPath path = PathOver(line);
        EXPECT_EQ(path.Heading, c.Direction) << c.Dx << "," << c.Dy;
    }
}

TEST(FlightDirection, ASlightRiseToTheRightReads360)
{
    // Over the first thirtieth of the segment x grows by 60 and y falls across a whole unit: q is 0.
    const TFlightPath path = PathOver({{0, 11}, {1800, 10}, {3600, 9}, {5400, 8}});
    EXPECT_EQ(path.Heading, 360);
    EXPECT_EQ(path.Heading / 3, 120) << "the strip's last frame";
}

// Four points whose segment leaves at `from` degrees and whose next segment leaves at `to`.
TFlightPath Turning(int fromDx, int fromDy, int toDx, int toDy, int steps)
{
    // P0..P2 on a line of the first direction, P3 and P4 continue in the second.
    std::vector<TFlightPoint> points{{400, 400}};
    for (int i = 1; i < 3; ++i)
        points.push_back({400 + fromDx * i, 400 + fromDy * i});
    for (int i = 1; i < 3; ++i)
        points.push_back({points[2].X + toDx * i, points[2].Y + toDy * i});
    return PathOver(points, steps);
}

TEST(FlightTurns, TakeTheShorterWayAcrossZero)
{
    // Up-right (about 350) to down-right (about 5) turns positively through 0.
    TFlightPath up = Turning(600, -100, 600, 200, 20);
    ASSERT_GT(up.Heading, 180);
    ASSERT_LT(up.NextHeading - 360, 180);
    EXPECT_EQ(up.NextHeading, up.Heading + up.Turn);
    EXPECT_GT(up.Turn, 0);
    EXPECT_LT(up.Turn, 90);
    // Down-right to up-right turns negatively, and the heading on the way never reads negative.
    TFlightPath down = Turning(600, 100, 600, -200, 20);
    ASSERT_LT(down.Heading, 180);
    ASSERT_GT(down.NextHeading, 180);
    EXPECT_LT(down.Turn, 0);
    EXPECT_GT(down.Turn, -90);
    for (TFlightPath *path : {&up, &down}) {
        for (int step = 0; step < path->StepsPerSegment; ++step) {
            AdvanceFlight(*path);
            EXPECT_GE(path->CurrentHeading, 0);
            EXPECT_LT(path->CurrentHeading, 360);
            EXPECT_EQ(path->Frame, path->CurrentHeading / 3);
        }
    }
}

TEST(FlightTurns, From350To10TurnsBy20AndEndsAt10)
{
    TFlightPath path;
    path.StepsPerSegment = 10;
    path.Count = 4;
    path.Heading = 350;
    path.NextHeading = 370;
    path.Turn = 20;
    for (int step = 1; step <= 10; ++step) {
        AdvanceFlight(path);
        ASSERT_EQ(path.Step, step);
        EXPECT_EQ(path.CurrentHeading, (350 + 2 * step) % 360);
    }
    EXPECT_EQ(path.CurrentHeading, 10);
    EXPECT_EQ(path.Frame, 3);
    TFlightPath back;
    back.StepsPerSegment = 10;
    back.Count = 4;
    back.Heading = 10;
    back.Turn = -20;
    std::vector<int> seen;
    for (int step = 1; step <= 10; ++step) {
        AdvanceFlight(back);
        seen.push_back(back.CurrentHeading);
    }
    EXPECT_EQ(seen, (std::vector<int>{8, 6, 4, 2, 0, 358, 356, 354, 352, 350}));
}

TEST(FlightLoop, KnownPointsOfTheScenesLoop)
{
    TFlightPath first;
    InitFlight(first, FlightLoopB, 0, 50);
    // Segment 0 is the curve of control points 22, 0, 1 and 2: from (P22 + 4 P0 + P1) / 6 to
    // (P0 + 4 P1 + P2) / 6.
    EXPECT_NEAR(SplineValue(first.CoefX, 0), (498 + 4 * 439 + 499) / 6.0, 0.01);
    AdvanceFlight(first);
    EXPECT_NEAR(first.PosX, SplineValue(SplineCoefficients(498, 439, 499, 590), 1.0f / 50), 0.001);
    for (int step = 1; step < 50; ++step)
        AdvanceFlight(first);
    EXPECT_NEAR(first.PosX, (439 + 4 * 499 + 590) / 6.0, 0.01);
    EXPECT_NEAR(first.PosY, (240 + 4 * 268 + 249) / 6.0, 0.01);
    // The next tick is the first of segment 1.
    AdvanceFlight(first);
    EXPECT_EQ(first.Segment, 1);
    EXPECT_EQ(first.Step, 1);

    TFlightPath second;
    InitFlight(second, FlightLoopB, 9, 50);
    for (int step = 0; step < 50; ++step)
        AdvanceFlight(second);
    EXPECT_NEAR(second.PosX, (912 + 4 * 776 + 823) / 6.0, 0.01);
    // A whole lap of 23 segments comes back to the same point.
    const float x = second.PosX, y = second.PosY;
    for (int step = 0; step < 23 * 50; ++step)
        AdvanceFlight(second);
    EXPECT_EQ(second.Segment, 9);
    EXPECT_FLOAT_EQ(second.PosX, x);
    EXPECT_FLOAT_EQ(second.PosY, y);
}

} // namespace
} // namespace Halcyra
