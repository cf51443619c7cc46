// The fliers' paths: a closed cubic B-spline through control points in the 1024 by 768 design
// space, flown segment by segment at a fixed number of ticks per segment, with a heading that turns
// linearly over each segment the shorter way round and picks one of 120 pre-rendered frames (one per
// 3 degrees). Positions and coefficients are 32-bit floats.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace Halcyra {

struct TFlightPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
};

// The four coefficients c0..c3 of one coordinate's cubic over a segment, t from 0 to 1.
using TSplineCoefficients = std::array<float, 4>;

struct TFlightPath {
    static constexpr int MaxPoints = 256;

    std::array<TFlightPoint, MaxPoints> Points{};
    std::int32_t Count = 0;
    std::int32_t Segment = 0;
    std::int32_t StepsPerSegment = 32;
    std::int32_t Step = 0;
    TSplineCoefficients CoefX{};
    TSplineCoefficients CoefY{};
    float PosX = 0;
    float PosY = 0;
    // Degrees: 0 points right, 90 down, 180 left, 270 up.
    std::int32_t Heading = 0;
    std::int32_t NextHeading = 0;
    std::int32_t Turn = 0;
    std::int32_t CurrentHeading = 0;
    // CurrentHeading / 3: the frame of the flier strip.
    std::int32_t Frame = 0;
};

// The loop both of the scene's fliers fly.
inline constexpr std::array<TFlightPoint, 23> FlightLoopB{{
    {439, 240}, {499, 268}, {590, 249}, {721, 275}, {756, 198}, {686, 180}, {630, 212}, {771, 243},
    {839, 265}, {912, 195}, {776, 200}, {823, 232}, {893, 222}, {953, 236}, {910, 277}, {806, 255},
    {791, 201}, {705, 212}, {789, 278}, {685, 280}, {636, 184}, {597, 277}, {498, 305},
}};

// The uniform cubic B-spline of four control values.
TSplineCoefficients SplineCoefficients(std::int32_t p0, std::int32_t p1, std::int32_t p2, std::int32_t p3);
// ((c3 t + c2) t + c1) t + c0.
float SplineValue(const TSplineCoefficients &coefficients, float t);
// The direction, in whole degrees 0 to 360, in which the curve (x, y) leaves its start, measured
// between the whole-unit points at t = 0 and t = 1/30.
std::int32_t DirectionOf(const TSplineCoefficients &x, const TSplineCoefficients &y);

// Loads a path: the control points (at most MaxPoints are taken), the segment to start at and the
// ticks per segment; sets the segment up.
void InitFlight(TFlightPath &path, std::span<const TFlightPoint> points, int startSegment, int stepsPerSegment);
// The current segment's curves, its heading, the next segment's heading and the turn between them.
void SetUpSegment(TFlightPath &path);
// Moves one tick along the path: position, heading and frame. A segment's junction with the next is
// reached once, as its last step.
void AdvanceFlight(TFlightPath &path);

} // namespace Halcyra
